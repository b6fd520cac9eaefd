#include "masterdata/restore_window.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/current_operator.h"
#include "app/login_window.h"
#include "core/clock.h"
#include "core/date_text.h"
#include "data/backup.h"
#include "data/database.h"
#include "masterdata/backup_procedure.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("数据恢复");
const QString kDateHeading = QStringLiteral("备份日期");
const QString kSizeHeading = QStringLiteral("大小");
const QString kKindHeading = QStringLiteral("说明");
const QString kDaily = QStringLiteral("每日备份");
const QString kSafety = QStringLiteral("恢复前的数据");
const QString kRestore = QStringLiteral("恢复");
const QString kClose = QStringLiteral("关闭");
const QString kNothingSelected = QStringLiteral("请选择要恢复的备份！");
const QString kConfirm = QStringLiteral(
    "当前数据将被所选备份替换（恢复前会先另存一份），恢复后需要重新登录。是否恢复？");
const QString kProgress = QStringLiteral("正在恢复数据，请稍候......");
const QString kRestored = QStringLiteral("数据恢复成功，恢复前的数据已备份到:%1\n请重新登录。");
const QString kFailed = QStringLiteral("数据恢复失败：");

constexpr int kHeadingHeight = 25;
constexpr int kRowHeight = 20;

// "812 B", "96.0 KB", "1.2 GB": the same units on every desktop language.
QString SizeText(qint64 bytes) {
    const char* units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) {
        return QStringLiteral("%1 B").arg(bytes);
    }
    double size = double(bytes) / 1024;
    int unit = 0;
    while (size >= 1024 && unit < 3) {
        size /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(size, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

}  // namespace

RestoreWindow::RestoreWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, kTitle, QStringLiteral("Label1"), 12);
    grid1 = ui::Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kTitle);
    Command1 = ui::Named(new QPushButton(kRestore, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addSpacing(16);
    buttons->addWidget(Command2);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addWidget(grid1, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &RestoreWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &RestoreWindow::Command2_Click);
    connect(grid1, &ui::Grid::currentCellChanged, this, &RestoreWindow::grid1_CurrentCellChanged);

    Form_Load();
    Command2->setFocus(Qt::OtherFocusReason);
    resize(QSize(410, 360).expandedTo(sizeHint()));
}

void RestoreWindow::Form_Load() {
    grid1->applyStandardLook();
    grid1->setGridFont(QStringLiteral("Tahoma"), 8);
    grid1->setCols(4);
    grid1->setRows(1);
    grid1->setRowHeight(0, kHeadingHeight);
    grid1->setColumnWidth(0, 0);
    grid1->setColumnWidth(1, 150);
    grid1->setColumnWidth(2, 90);
    grid1->setColumnWidth(3, 120);
    grid1->setColumnAlignment(2, 14);  // right, centred vertically
    grid1->setCellText(0, 1, kDateHeading);
    grid1->setCellText(0, 2, kSizeHeading);
    grid1->setCellText(0, 3, kKindHeading);
    for (int col = 1; col <= 3; ++col) {
        grid1->setColumnLocked(col, true);
    }
    const QList<BackupFile> files = ListBackups(Database::DataDir());
    for (const BackupFile& file : files) {
        const int row = grid1->rows();
        grid1->setRows(row + 1);
        grid1->setRowHeight(row, kRowHeight);
        grid1->setCellText(row, 0, file.path);
        grid1->setCellText(row, 1,
                           file.safetyCopy
                               ? file.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                               : DateText(file.taken.date()));
        grid1->setCellText(row, 2, SizeText(file.size));
        grid1->setCellText(row, 3, file.safetyCopy ? kSafety : kDaily);
    }
    selectedRow_ = 0;
}

void RestoreWindow::grid1_CurrentCellChanged(int row, int /*col*/) {
    selectedRow_ = row;
}

void RestoreWindow::Command1_Click() {
    if (selectedRow_ <= 0 || selectedRow_ >= grid1->rows()) {
        ui::Stop(this, kNothingSelected);
        return;
    }
    if (!ui::Confirm(this, kConfirm)) {
        return;
    }
    const QString chosen = grid1->cellText(selectedRow_, 0);
    const QString dir = Database::DataDir();
    const QDateTime stamp = Now();
    DbResult<RestorePlan> plan = DbResult<RestorePlan>::failure(QString());
    const DbStatus prepared = RunWithProgress(this, kProgress, [&](const BackupOptions& options) {
        plan = PrepareRestore(dir, chosen, stamp, options);
        return plan ? DbOk() : DbStatus::failure(plan.error());
    });
    if (!prepared) {
        ui::Stop(this, kFailed + prepared.error());
        return;
    }
    if (const DbStatus finished = FinishRestore(*plan); !finished) {
        ui::Stop(this, kFailed + finished.error());
        Form_Load();
        return;
    }
    ui::Information(this, kRestored.arg(QDir::toNativeSeparators(plan->safety)));
    logInAgain();
}

void RestoreWindow::Command2_Click() {
    close();
}

void RestoreWindow::logInAgain() {
    SetCurrentOperator(QString());
    auto* login = new LoginWindow;
    login->show();
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != login && !window->parentWidget() && window->isVisible()) {
            windows << window;
        }
    }
    for (const QPointer<QWidget>& window : windows) {
        if (window) {
            window->close();
        }
    }
}
