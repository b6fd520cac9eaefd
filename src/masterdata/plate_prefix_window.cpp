#include "masterdata/plate_prefix_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "masterdata/plate_prefix.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("车牌前缀");
const QString kCaption = QStringLiteral("车牌前缀");
const QString kSave = QStringLiteral("保存");
const QString kCancel = QStringLiteral("取消");
const QString kSaved = QStringLiteral("保存成功！");
// Typing replaces a prefix of up to this many characters.
constexpr int kSelected = 20;

}  // namespace

PlatePrefixWindow::PlatePrefixWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::Named(new QLabel(kCaption, this), QStringLiteral("Label1"));
    Text1 = ui::Named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setMinimumWidth(160);
    Label1->setBuddy(Text1);
    Command1 = ui::Named(new QPushButton(kSave, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kCancel, this), QStringLiteral("Command2"));
    // Not a dialog: a button presses on Enter only when it has the focus.
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(true);

    auto* field = new QHBoxLayout;
    field->addWidget(Label1);
    field->addWidget(Text1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(18);
    layout->addLayout(field);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(300, 0)));

    connect(Command1, &QPushButton::clicked, this, &PlatePrefixWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &PlatePrefixWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });

    Form_Load();
}

void PlatePrefixWindow::Form_Load() {
    const DbResult<QString> prefix = PlatePrefix();
    if (!prefix) {
        ui::ShowDatabaseError(this, prefix.error());
        return;
    }
    Text1->setText(*prefix);
    Text1->setSelection(0, qMin(kSelected, int(Text1->text().size())));
}

void PlatePrefixWindow::Command1_Click() {
    if (const DbStatus saved = SavePlatePrefix(Text1->text()); !saved) {
        ui::ShowDatabaseError(this, saved.error());
        return;
    }
    ui::Information(this, kSaved);
    close();
}

void PlatePrefixWindow::Command2_Click() {
    close();
}
