#include "customers/customer_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/field_limits.h"
#include "ui/date_picker.h"
#include "ui/heading_label.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

using ui::Named;

const QString kPlateCaption = QStringLiteral("车牌号：");
const QString kOwnerCaption = QStringLiteral("车主姓名：");
const QString kSexCaption = QStringLiteral("性别：");
const QString kMale = QStringLiteral("先生");
const QString kFemale = QStringLiteral("女士");
const QString kTelephoneCaption = QStringLiteral("联系电话：");
const QString kEntryDateCaption = QStringLiteral("登记日期：");
const QString kReminderDateCaption = QStringLiteral("提醒日期：");
const QString kIdentityCaption = QStringLiteral("身份证号：");
const QString kModelCaption = QStringLiteral("车型：");
const QString kSave = QStringLiteral("保 存");
const QString kCancel = QStringLiteral("取 消");
const QString kStar = QStringLiteral("*");
const QString kDiscardTyped = QStringLiteral("是否放弃已填写的客户信息？");

constexpr int kFieldWidth = 190;

}  // namespace

CustomerForm::CustomerForm(const Captions& captions, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QLatin1String(captions.formName));
    setWindowTitle(captions.heading);

    Label11 = ui::HeadingLabel(this, captions.heading, QStringLiteral("Label11"), 16);
    Label12 = Named(new QLabel(captions.note, this), QStringLiteral("Label12"));

    constexpr TextField kFields[] = {TextField::Plate, TextField::Owner, TextField::Telephone,
                                     TextField::Identity, TextField::Model};
    for (int i = 0; i < int(Text.size()); ++i) {
        Text[i] = Named(new ui::TextBox(this), QStringLiteral("Text(%1)").arg(i));
        Text[i]->setMinimumWidth(kFieldWidth);
        Text[i]->setMaxLength(FieldLimit(kFields[i]));
    }
    Option1 = Named(new ui::OptionButton(kMale, this), QStringLiteral("Option1"));
    Option2 = Named(new ui::OptionButton(kFemale, this), QStringLiteral("Option2"));
    DTPicker1 = Named(new ui::DatePicker(this), QStringLiteral("DTPicker1"));
    DTPicker2 = Named(new ui::DatePicker(this), QStringLiteral("DTPicker2"));
    for (ui::DatePicker* picker : {DTPicker1, DTPicker2}) {
        picker->setMinimumWidth(kFieldWidth);
    }
    Command1 = Named(new QPushButton(kSave, this), QStringLiteral("Command1"));
    Command2 = Named(new QPushButton(kCancel, this), QStringLiteral("Command2"));
    // These windows are not dialogs, so a button presses on Enter only when asked to.
    for (QPushButton* button : {Command1, Command2}) {
        button->setAutoDefault(true);
        button->setMinimumWidth(90);
    }

    auto* sexButtons = new QWidget(this);
    auto* sexRow = new QHBoxLayout(sexButtons);
    sexRow->setContentsMargins(0, 0, 0, 0);
    sexRow->setSpacing(18);
    sexRow->addWidget(Option1);
    sexRow->addWidget(Option2);
    sexRow->addStretch();

    // Two columns in the order Enter walks through them: the owner on the left, the dates,
    // papers and car on the right.
    struct Field {
        QString caption;
        QWidget* input;
        QWidget* buddy;
        int textIndex;
    };
    const Field left[] = {{kPlateCaption, Text[0], Text[0], 0},
                          {kOwnerCaption, Text[1], Text[1], 1},
                          {kSexCaption, sexButtons, Option1, -1},
                          {kTelephoneCaption, Text[2], Text[2], 2}};
    const Field right[] = {{kEntryDateCaption, DTPicker1, DTPicker1, -1},
                           {kReminderDateCaption, DTPicker2, DTPicker2, -1},
                           {kIdentityCaption, Text[3], Text[3], 3},
                           {kModelCaption, Text[4], Text[4], 4}};

    auto* frame = new QGroupBox(this);
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(20, 18, 20, 18);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(14);
    grid->setColumnMinimumWidth(3, 28);
    auto place = [&](const Field& field, int row, int column) {
        auto* label = new QLabel(field.caption, frame);
        label->setBuddy(field.buddy);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, column);
        grid->addWidget(field.input, row, column + 1);
        if (captions.starred.contains(field.textIndex)) {
            auto* star = new QLabel(kStar, frame);
            star->setStyleSheet(QStringLiteral("color: #c00000;"));
            grid->addWidget(star, row, column + 2);
        }
    };
    for (int row = 0; row < 4; ++row) {
        place(left[row], row, 0);
        place(right[row], row, 4);
    }
    grid->setColumnMinimumWidth(2, 12);

    auto* buttons = new QHBoxLayout;
    buttons_ = buttons;
    buttons->addWidget(Label12);
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addSpacing(12);
    buttons->addWidget(Command2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(14);
    layout->addWidget(Label11);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    QWidget* order[] = {Text[0],   Text[1], Option1, Option2,  Text[2], DTPicker1,
                        DTPicker2, Text[3], Text[4], Command1, Command2};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void CustomerForm::addButtonBeforeSave(QPushButton* button) {
    button->setAutoDefault(true);
    button->setMinimumWidth(Command1->minimumWidth());
    const int at = buttons_->indexOf(Command1);
    buttons_->insertWidget(at, button);
    buttons_->insertSpacing(at + 1, 12);
    setTabOrder(Text[4], button);
    setTabOrder(button, Command1);
    setFixedSize(sizeHint());
}

QString CustomerForm::sex() const {
    if (Option1->isChecked()) {
        return kMale;
    }
    if (Option2->isChecked()) {
        return kFemale;
    }
    return QString();
}

QStringList CustomerForm::fieldValues() const {
    QStringList values;
    for (const ui::TextBox* box : Text)
        values << box->text();
    values << sex() << DTPicker1->value().toString(Qt::ISODate)
           << DTPicker2->value().toString(Qt::ISODate);
    return values;
}

bool CustomerForm::hasTypedData() const {
    return fieldValues() != untyped_;
}

void CustomerForm::rememberUntyped() {
    untyped_ = fieldValues();
}

void CustomerForm::closeOnEscapeAskingFirst(std::function<void()> close) {
    ui::CloseOnEscape(this, [this, close = std::move(close)] {
        if (!hasTypedData() || ui::Confirm(this, kDiscardTyped))
            close();
    });
}
