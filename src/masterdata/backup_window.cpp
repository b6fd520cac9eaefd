#include "masterdata/backup_window.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/date_text.h"
#include "data/backup.h"
#include "data/database.h"
#include "masterdata/backup_folder.h"
#include "masterdata/backup_grid.h"
#include "masterdata/backup_procedure.h"
#include "ui/button_row.h"
#include "ui/file_dialog.h"
#include "ui/heading_label.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("数据备份");
const QString kDataFolder = QStringLiteral("每次备份都保存在数据文件夹：\n%1");
const QString kFolderCaption = QStringLiteral("同时备份到(&F)：");
const QString kNoFolder = QStringLiteral("（未设置）");
const QString kChoose = QStringLiteral("选择文件夹...");
const QString kForget = QStringLiteral("不再另存");
const QString kBackUp = QStringLiteral("开始备份");
const QString kClose = QStringLiteral("关闭");
const QString kAdvice =
    QStringLiteral("建议选择U盘或网络文件夹：电脑硬盘损坏时，那里的备份仍然可以恢复。");
const QString kNewest = QStringLiteral("该文件夹中最近的备份：%1");
const QString kEmpty = QStringLiteral("该文件夹中还没有备份。");
const QString kAbsent = QStringLiteral("现在找不到这个文件夹（U盘或网络文件夹是否已连接？）");
const QString kLastCopy = QStringLiteral("最近一次复制到该文件夹：%1");
const QString kPickCaption = QStringLiteral("选择备份文件夹");
const QString kCannotUse = QStringLiteral("不能使用文件夹“%1”：%2");
const QString kSameDisk = QStringLiteral(
    "文件夹“%1”与数据文件夹在同一个磁盘上，磁盘损坏时两处的备份会一起丢失。\n"
    "是否仍然使用这个文件夹？");

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// What the owner should know about the backup folder before backing up.
QString FolderState(const QString& dataDir, const QString& folder) {
    if (folder.isEmpty()) {
        return kAdvice;
    }
    if (!QFileInfo(folder).isDir()) {
        const QDate last = LastBackupFolderCopy(dataDir);
        return last.isValid() ? kAbsent + QLatin1Char('\n') + kLastCopy.arg(DateText(last))
                              : kAbsent;
    }
    for (const BackupFile& file : ListBackups(folder, CurrentBackupKind())) {
        if (!file.safetyCopy) {
            return kNewest.arg(BackupTakenText(file));
        }
    }
    return kEmpty;
}

}  // namespace

BackupWindow::BackupWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmBackup"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, kTitle, QStringLiteral("Label1"), 12);
    Label2 = ui::Named(new QLabel(this), QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label3 = ui::Named(new QLabel(kFolderCaption, this), QStringLiteral("Label3"));
    Text1 = ui::Named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setPlaceholderText(kNoFolder);
    Text1->setMinimumWidth(240);
    Label3->setBuddy(Text1);
    Command3 = ui::Named(new QPushButton(kChoose, this), QStringLiteral("Command3"));
    Command4 = ui::Named(new QPushButton(kForget, this), QStringLiteral("Command4"));
    Label4 = ui::Named(new QLabel(this), QStringLiteral("Label4"));
    Label4->setWordWrap(true);
    Command1 = ui::Named(new QPushButton(kBackUp, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command2"));

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(Label3);
    folderRow->addWidget(Text1, 1);
    folderRow->addWidget(Command3);
    folderRow->addWidget(Command4);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addLayout(folderRow);
    layout->addWidget(Label4);
    layout->addStretch(1);
    layout->addLayout(ui::CenteredButtons({Command1, Command2}));

    connect(Command1, &QPushButton::clicked, this, &BackupWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &BackupWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &BackupWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &BackupWindow::Command4_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });

    Form_Load();
    Command1->setDefault(true);
    Command1->setFocus(Qt::OtherFocusReason);
    resize(QSize(560, 240).expandedTo(sizeHint()));
}

void BackupWindow::Form_Load() {
    const QString dir = Database::DataDir();
    const QString folder = BackupFolder(dir);
    Label2->setText(kDataFolder.arg(Native(dir)));
    Text1->setText(Native(folder));
    Text1->setToolTip(Native(folder));
    Command4->setEnabled(!folder.isEmpty());
    Label4->setText(FolderState(dir, folder));
}

void BackupWindow::Command1_Click() {
    database_modu::Backup(this);
    Form_Load();
}

void BackupWindow::Command2_Click() {
    close();
}

void BackupWindow::Command3_Click() {
    const QString dir = Database::DataDir();
    const QString current = BackupFolder(dir);
    const QString chosen = ui::FileDialog::folderName(
        this, kPickCaption, QFileInfo(current).isDir() ? current : QDir::homePath());
    if (chosen.isEmpty()) {
        return;
    }
    const QString folder = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    QString problem = UnsuitableBackupFolder(dir, folder);
    if (problem.isEmpty()) {
        problem = CheckBackupFolder(folder, 0).reason;
    }
    if (!problem.isEmpty()) {
        ui::Stop(this, kCannotUse.arg(Native(folder), problem));
        return;
    }
    if (OnSameDisk(dir, folder) && !ui::Confirm(this, kSameDisk.arg(Native(folder)))) {
        return;
    }
    SetBackupFolder(dir, folder);
    Form_Load();
}

void BackupWindow::Command4_Click() {
    SetBackupFolder(Database::DataDir(), QString());
    Form_Load();
}
