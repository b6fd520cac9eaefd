#include "masterdata/restore_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/clock.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/server_backup.h"
#include "masterdata/backup_folder.h"
#include "masterdata/backup_grid.h"
#include "masterdata/backup_procedure.h"
#include "masterdata/restore_rights.h"
#include "session/current_operator.h"
#include "session/roles.h"
#include "ui/button_row.h"
#include "ui/file_dialog.h"
#include "ui/grid.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("数据恢复");
const QString kRestore = QStringLiteral("恢复");
const QString kClose = QStringLiteral("关闭");
const QString kNothingSelected = QStringLiteral("请选择要恢复的备份！");
const QString kConfirm = QStringLiteral(
    "当前数据将被所选备份替换（恢复前会先另存一份），恢复后需要重新登录。是否恢复？");
const QString kProgress = QStringLiteral("正在恢复数据，请稍候......");
const QString kRestored = QStringLiteral("数据恢复成功，恢复前的数据已备份到:%1\n请重新登录。");
const QString kRestoredDamaged =
    QStringLiteral("数据恢复成功。恢复前的数据库文件已损坏，已原样保留为:%1\n请重新登录。");
const QString kFailed = QStringLiteral("数据恢复失败：");
const QString kFromFile = QStringLiteral("从文件恢复...");
const QString kPickCaption = QStringLiteral("选择要恢复的备份文件");
const QString kPickFilter = QStringLiteral("备份文件 (%1);;所有文件 (*)");
const QString kConfirmFile = QStringLiteral(
    "当前数据将被备份文件“%1”替换（恢复前会先另存一份），恢复后需要重新登录。是否恢复？");
const QString kInUse = QStringLiteral("“%1”是正在使用的数据库，不能用来恢复。请选择备份文件。");
const QString kFolderLine = QStringLiteral("备份文件夹：%1");
const QString kFolderAbsent = QStringLiteral("备份文件夹：%1（现在找不到，其中的备份没有列出）");
const QString kReopenFailed = QStringLiteral("无法重新打开数据库：%1");

}  // namespace

RestoreWindow::RestoreWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, kTitle, QStringLiteral("Label1"), 12);
    grid1 = ui::Named(new ui::Grid(this), QStringLiteral("grid1"));
    grid1->setAccessibleName(kTitle);
    Label2 = ui::Named(new QLabel(this), QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Command1 = ui::Named(new QPushButton(kRestore, this), QStringLiteral("Command1"));
    Command3 = ui::Named(new QPushButton(kFromFile, this), QStringLiteral("Command3"));
    Command2 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command2"));

    QHBoxLayout* buttons = ui::CenteredButtons({Command1, Command3, Command2});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addWidget(grid1, 1);
    layout->addWidget(Label2);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &RestoreWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &RestoreWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &RestoreWindow::Command3_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    connect(grid1, &ui::Grid::currentCellChanged, this, &RestoreWindow::grid1_CurrentCellChanged);

    Form_Load();
    Command2->setFocus(Qt::OtherFocusReason);
    resize(QSize(500, 380).expandedTo(sizeHint()));
}

void RestoreWindow::Form_Load() {
    const QString dir = Database::DataDir();
    const BackupKind kind = CurrentBackupKind();
    const QList<BackupFile> files = ListBackups(dir, kind);
    const QString folder = BackupFolder(dir);
    const bool folderThere = !folder.isEmpty() && QFileInfo(folder).isDir();
    FillBackupGrid(grid1, folderThere ? MergeBackups(files, ListBackups(folder, kind)) : files,
                   dir);
    QString text = BackupSpaceText(SumBackups(files));
    if (!folder.isEmpty()) {
        text += QLatin1Char('\n') +
                (folderThere ? kFolderLine : kFolderAbsent).arg(QDir::toNativeSeparators(folder));
    }
    Label2->setText(text);
    selectedRow_ = 0;
}

void RestoreWindow::grid1_CurrentCellChanged(int row, int /*col*/) {
    selectedRow_ = row;
}

void RestoreWindow::Command1_Click() {
    const QString chosen = BackupPathAt(grid1, selectedRow_);
    if (chosen.isEmpty()) {
        ui::Stop(this, kNothingSelected);
        return;
    }
    restoreFrom(chosen, kConfirm);
}

void RestoreWindow::Command3_Click() {
    const QString dir = Database::DataDir();
    const QString folder = BackupFolder(dir);
    const QString chosen =
        ui::FileDialog::openFileName(this, kPickCaption, QFileInfo(folder).isDir() ? folder : dir,
                                     kPickFilter.arg(BackupPickPattern(CurrentBackupKind())));
    if (chosen.isEmpty()) {
        return;
    }
    // Replacing the database with itself would only lose what its log still holds.
    if (QFileInfo(chosen).canonicalFilePath() ==
        QFileInfo(Database::FilePath()).canonicalFilePath()) {
        ui::Stop(this, kInUse.arg(QDir::toNativeSeparators(chosen)));
        return;
    }
    restoreFrom(chosen, kConfirmFile.arg(QDir::toNativeSeparators(chosen)));
}

void RestoreWindow::restoreFrom(const QString& chosen, const QString& question) {
    // Said before the long preparation; the restore itself asks again.
    if (const QString refusal = RefusalFor(Guarded::Restore); !refusal.isEmpty()) {
        ui::Stop(this, refusal);
        return;
    }
    if (!ui::Confirm(this, question)) {
        return;
    }
    if (CurrentBackupKind() == BackupKind::Dump) {
        restoreOnServer(chosen);
        return;
    }
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
    if (const DbStatus finished = FinishRestoreAsOperator(*plan); !finished) {
        ui::Stop(this, kFailed + finished.error());
        Form_Load();
        return;
    }
    ui::Information(this, (plan->damaged.isEmpty() ? kRestored : kRestoredDamaged)
                              .arg(QDir::toNativeSeparators(plan->kept())));
    logInAgain();
}

void RestoreWindow::restoreOnServer(const QString& chosen) {
    const ServerBackupSource source = CurrentServerBackupSource();
    const QDateTime stamp = Now();
    // This program's own connection lets go first: a list still being read would hold the tables
    // the restore replaces, and the restore would wait for itself.
    if (const DbStatus closed = CloseForServerRestore(); !closed) {
        ui::Stop(this, kFailed + closed.error());
        return;
    }
    DbResult<QString> safety = DbResult<QString>::failure(QString());
    RunWithProgress(this, kProgress, [&](const BackupOptions& options) {
        const DbResult<ServerBackupTarget> target = ServerBackupTargetFor(source);
        safety = target ? RestoreServerDatabase(*target, chosen, stamp, options)
                        : DbResult<QString>::failure(target.error());
        return DbOk();
    });
    const Database::OpenResult reopened = Database::OpenServer(source.uri, source.dataDir);
    if (!safety) {
        ui::Stop(this,
                 kFailed + safety.error() +
                     (reopened.ok ? QString()
                                  : QStringLiteral("\n") + kReopenFailed.arg(reopened.message)));
        if (reopened.ok) {
            Form_Load();
        }
        return;
    }
    ui::Information(this, kRestored.arg(QDir::toNativeSeparators(*safety)));
    if (!reopened.ok) {
        ui::Stop(this, kReopenFailed.arg(reopened.message));
    }
    logInAgain();
}

void RestoreWindow::Command2_Click() {
    close();
}

void RestoreWindow::logInAgain() {
    close();
    EndSession();
}
