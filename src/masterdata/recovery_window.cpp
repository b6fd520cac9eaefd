#include "masterdata/recovery_window.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/clock.h"
#include "data/database.h"
#include "masterdata/backup_grid.h"
#include "masterdata/backup_procedure.h"
#include "ui/button_row.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("数据库文件已损坏");
const QString kHint = QStringLiteral(
    "可以从下列检查无误的备份中选择一个恢复。已损坏的数据库文件不会删除，"
    "将原样保留在数据文件夹中，文件名以“damaged-”开头。");
const QString kRejected = QStringLiteral("另有 %1 个备份文件未通过检查，没有列出。");
const QString kRestore = QStringLiteral("从备份恢复");
const QString kQuit = QStringLiteral("退出");
const QString kLater = QStringLiteral("暂不恢复");
const QString kNothingSelected = QStringLiteral("请选择要恢复的备份！");
const QString kConfirm = QStringLiteral("将用 %1 的备份替换已损坏的数据库文件。是否恢复？");
const QString kProgress = QStringLiteral("正在恢复数据，请稍候......");
const QString kRestored = QStringLiteral("数据恢复成功。已损坏的数据库文件已原样保留为:%1");
const QString kFailed = QStringLiteral("数据恢复失败：");

}  // namespace

RecoveryWindow::RecoveryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmRecover"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, kTitle, QStringLiteral("Label1"), 12);
    Label2 = ui::Named(new QLabel(this), QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3 = ui::Named(new QLabel(this), QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    grid1 = ui::Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kRestore);
    Label3->setBuddy(grid1);
    Command1 = ui::Named(new QPushButton(kRestore, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kQuit, this), QStringLiteral("Command2"));

    QHBoxLayout* buttons = ui::CenteredButtons({Command1, Command2});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    layout->addWidget(grid1, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &RecoveryWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &RecoveryWindow::Command2_Click);
    connect(grid1, &ui::Grid::currentCellChanged, this, &RecoveryWindow::grid1_CurrentCellChanged);

    FillBackupGrid(grid1, {}, QString());
    resize(QSize(500, 400).expandedTo(sizeHint()));
}

void RecoveryWindow::load(const Recovery& recovery) {
    recovery_ = recovery;
    Label2->setText(recovery.problem);
    Label3->setText(recovery.rejected > 0
                        ? kHint + QLatin1Char('\n') + kRejected.arg(recovery.rejected)
                        : kHint);
    Command2->setText(recovery.databaseOpen ? kLater : kQuit);
    FillBackupGrid(grid1, recovery.backups, recovery.dataDir);
    selectedRow_ = 0;
    Command2->setFocus(Qt::OtherFocusReason);
}

void RecoveryWindow::grid1_CurrentCellChanged(int row, int /*col*/) {
    selectedRow_ = row;
}

void RecoveryWindow::Command1_Click() {
    const QString chosen = BackupPathAt(grid1, selectedRow_);
    if (chosen.isEmpty()) {
        ui::Stop(this, kNothingSelected);
        return;
    }
    if (!ui::Confirm(this, kConfirm.arg(grid1->cellText(selectedRow_, 1)))) {
        return;
    }
    const QString dir = recovery_.dataDir;
    const QDateTime stamp = Now();
    DbResult<RestorePlan> plan = DbResult<RestorePlan>::failure(QString());
    const DbStatus prepared = RunWithProgress(this, kProgress, [&](const BackupOptions& options) {
        // The file is known to be damaged: keep it as it is rather than try to copy it.
        plan = PrepareRestore(dir, chosen, stamp, options, true);
        return plan ? DbOk() : DbStatus::failure(plan.error());
    });
    if (!prepared) {
        ui::Stop(this, kFailed + prepared.error());
        return;
    }
    if (const DbStatus finished = FinishRestore(*plan); !finished) {
        ui::Stop(this, kFailed + finished.error());
        return;
    }
    ui::Information(this, kRestored.arg(QDir::toNativeSeparators(plan->damaged)));
    Q_EMIT recovered();
    close();
}

void RecoveryWindow::Command2_Click() {
    close();
}
