#include "masterdata/database_connection_window.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "data/database.h"
#include "data/server_copy.h"
#include "session/connection_settings.h"
#include "ui/elided_text.h"
#include "ui/heading_label.h"
#include "ui/message_box.h"
#include "ui/named.h"

namespace {

const QString kTitle = QStringLiteral("数据库连接");
const QString kInUseFile = QStringLiteral("正在使用：数据库文件 %1");
const QString kInUseServer = QStringLiteral("正在使用：数据库服务器 %1");
const QString kNextFile = QStringLiteral("下次启动：数据文件夹中的数据库文件");
const QString kNextServer = QStringLiteral("下次启动：数据库服务器 %1");
const QString kHostCaption = QStringLiteral("主机:");
const QString kPortCaption = QStringLiteral("端口:");
const QString kDatabaseCaption = QStringLiteral("数据库:");
const QString kUserCaption = QStringLiteral("用户名:");
const QString kPasswordCaption = QStringLiteral("密码:");
const QString kHostHint = QStringLiteral("服务器名称、IP地址或套接字文件夹");
const QString kPortHint = QStringLiteral("5432");
const QString kPasswordKept = QStringLiteral("已保存，不修改请留空");
const QString kTest = QStringLiteral("测试连接");
const QString kSave = QStringLiteral("保 存");
const QString kUseFile = QStringLiteral("使用本机数据文件");
const QString kCancel = QStringLiteral("取 消");
const QString kNextStartNote = QStringLiteral("修改在下次启动程序时生效。");
const QString kConnected = QStringLiteral("连接成功");
const QString kNotConnected = QStringLiteral("连接失败：");
const QString kStored = QStringLiteral("已保存。下次启动程序时将使用这个数据库服务器。");
const QString kAskUseFile = QStringLiteral("下次启动程序时改用数据文件夹中的数据库文件吗？");
const QString kUsingFile = QStringLiteral("已改回数据文件夹中的数据库文件，下次启动程序时生效。");
const QString kCopy = QStringLiteral("迁移到服务器");
const QString kAlreadyOnServer = QStringLiteral("现在使用的已经是数据库服务器，不需要迁移。");
const QString kAskCopy = QStringLiteral(
    "将把本机数据库中的全部数据复制到数据库服务器 %1 上的空数据库中，复制后核对行数和金额。"
    "复制期间请不要在本程序中录入数据。\n是否继续？");
const QString kCopying = QStringLiteral("正在复制 %1：%2 / %3 行");
const QString kCopyFailed = QStringLiteral("迁移失败，服务器上没有留下任何数据：");
const QString kAskSwitch = QStringLiteral(
    "迁移完成，已核对 %1 个客户、%2 张维修单。\n是否在下次启动程序时改用这个数据库服务器？");

constexpr int kBoxWidth = 260;
constexpr int kPortWidth = 80;

}  // namespace

DatabaseConnectionWindow::DatabaseConnectionWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmDatabaseConnection"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = ui::HeadingLabel(this, kTitle, QStringLiteral("Label1"), 14);
    Label2 = ui::Named(new QLabel(this), QStringLiteral("Label2"));
    Label3 = ui::Named(new QLabel(this), QStringLiteral("Label3"));
    for (QLabel* label : {Label2, Label3}) {
        // A long path must not widen the window; the text gets its height, not its width.
        label->setText(kTitle);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    Text1 = ui::Named(new ui::TextBox(this), QStringLiteral("Text1"));
    Text2 = ui::Named(new ui::TextBox(this), QStringLiteral("Text2"));
    Text3 = ui::Named(new ui::TextBox(this), QStringLiteral("Text3"));
    Text4 = ui::Named(new ui::TextBox(this), QStringLiteral("Text4"));
    Text5 = ui::Named(new ui::TextBox(this), QStringLiteral("Text5"));
    Text1->setPlaceholderText(kHostHint);
    Text2->setPlaceholderText(kPortHint);
    Text2->setMaxLength(5);
    Text5->setEchoMode(QLineEdit::Password);
    const std::array<std::pair<QString, ui::TextBox*>, 5> rows{{{kHostCaption, Text1},
                                                                {kPortCaption, Text2},
                                                                {kDatabaseCaption, Text3},
                                                                {kUserCaption, Text4},
                                                                {kPasswordCaption, Text5}}};
    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);
    for (int row = 0; row < int(rows.size()); ++row) {
        auto* caption = new QLabel(rows[row].first, this);
        caption->setBuddy(rows[row].second);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        rows[row].second->setMinimumWidth(rows[row].second == Text2 ? kPortWidth : kBoxWidth);
        fields->addWidget(caption, row, 0);
        fields->addWidget(rows[row].second, row, 1,
                          rows[row].second == Text2 ? Qt::AlignLeft : Qt::Alignment());
    }

    Command3 = ui::Named(new QPushButton(kTest, this), QStringLiteral("Command3"));
    Command1 = ui::Named(new QPushButton(kSave, this), QStringLiteral("Command1"));
    Command4 = ui::Named(new QPushButton(kUseFile, this), QStringLiteral("Command4"));
    Command5 = ui::Named(new QPushButton(kCopy, this), QStringLiteral("Command5"));
    Command2 = ui::Named(new QPushButton(kCancel, this), QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {Command3, Command1, Command4, Command5, Command2}) {
        // Not a dialog: a button presses on Enter only when it has the focus.
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* note = new QLabel(kNextStartNote, this);
    note->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 18, 28, 18);
    layout->setSpacing(14);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    layout->addLayout(fields);
    layout->addWidget(note);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &DatabaseConnectionWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &DatabaseConnectionWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &DatabaseConnectionWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &DatabaseConnectionWindow::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &DatabaseConnectionWindow::Command5_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter walks the boxes; in the last one it tries the connection, which stores nothing.
    for (int row = 0; row < int(rows.size()); ++row) {
        connect(rows[row].second, &ui::TextBox::KeyDown, this, [this, rows, row](int key) {
            if (!ui::IsEnterKey(key)) {
                return;
            }
            if (row + 1 < int(rows.size())) {
                rows[row + 1].second->setFocus(Qt::OtherFocusReason);
            } else {
                Command3_Click();
            }
        });
    }

    setFixedSize(sizeHint());
    Form_Load();
    Text1->setFocus(Qt::OtherFocusReason);
}

void DatabaseConnectionWindow::Form_Load() {
    ui::SetElidedText(Label2,
                      (Database::Engine() == sql::Engine::Postgres ? kInUseServer : kInUseFile)
                          .arg(Database::Location()),
                      textWidth());
    if (const std::optional<ServerAddress> stored = StoredServer(Database::DataDir())) {
        Text1->setText(stored->host);
        Text2->setText(stored->port);
        Text3->setText(stored->database);
        Text4->setText(stored->user);
    }
    showNextStart();
}

void DatabaseConnectionWindow::showNextStart() {
    const std::optional<ServerAddress> stored = StoredServer(Database::DataDir());
    ui::SetElidedText(Label3, stored ? kNextServer.arg(AddressText(*stored)) : kNextFile,
                      textWidth());
    Command4->setEnabled(stored.has_value());
    Text5->setPlaceholderText(stored && HasStoredPassword(*stored) ? kPasswordKept : QString());
}

int DatabaseConnectionWindow::textWidth() const {
    const QMargins margins = layout()->contentsMargins();
    return width() - margins.left() - margins.right();
}

ServerAddress DatabaseConnectionWindow::entered() const {
    return ServerAddress{Text1->text().trimmed(), Text2->text().trimmed(), Text3->text().trimmed(),
                         Text4->text().trimmed()};
}

bool DatabaseConnectionWindow::checkEntered() {
    const QString problem = AddressProblem(entered());
    if (problem.isEmpty()) {
        return true;
    }
    ui::Stop(this, problem);
    (entered().database.isEmpty() ? Text3 : Text2)->setFocus(Qt::OtherFocusReason);
    return false;
}

void DatabaseConnectionWindow::setTesting(bool testing) {
    testing_ = testing;
    Command3->setEnabled(!testing);
    if (testing) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void DatabaseConnectionWindow::Command3_Click() {
    if (testing_ || !checkEntered()) {
        return;
    }
    // A typed password is tried as typed; otherwise the stored one, from its file.
    const QString uri = ConnectionUri(entered(), PasswordFilePath(), Text5->text());
    auto reason = std::make_shared<QString>();
    QThread* trial = QThread::create([uri, reason] { *reason = TryConnection(uri); });
    // The thread ends on its own even when the window has closed meanwhile.
    connect(trial, &QThread::finished, trial, &QObject::deleteLater);
    connect(trial, &QThread::finished, this, [this, reason] {
        setTesting(false);
        if (reason->isEmpty()) {
            ui::Information(this, kConnected);
        } else {
            ui::Stop(this, kNotConnected + *reason);
        }
        Q_EMIT connectionTested();
    });
    setTesting(true);
    trial->start();
}

void DatabaseConnectionWindow::Command1_Click() {
    if (!checkEntered()) {
        return;
    }
    const DbStatus stored = StoreServer(Database::DataDir(), entered(), Text5->text());
    if (!stored) {
        ui::Stop(this, stored.error());
        return;
    }
    Text5->clear();
    showNextStart();
    ui::Information(this, kStored);
}

void DatabaseConnectionWindow::Command4_Click() {
    if (!ui::Confirm(this, kAskUseFile)) {
        return;
    }
    if (const DbStatus forgotten = ForgetServer(Database::DataDir()); !forgotten) {
        ui::Stop(this, forgotten.error());
        return;
    }
    for (ui::TextBox* box : {Text1, Text2, Text3, Text4, Text5}) {
        box->clear();
    }
    showNextStart();
    ui::Information(this, kUsingFile);
}

void DatabaseConnectionWindow::Command5_Click() {
    if (testing_ || !checkEntered()) {
        return;
    }
    if (Database::Engine() != sql::Engine::Sqlite) {
        ui::Stop(this, kAlreadyOnServer);
        return;
    }
    if (!ui::Confirm(this, kAskCopy.arg(AddressText(entered())))) {
        return;
    }
    const QString uri = ConnectionUri(entered(), PasswordFilePath(), Text5->text());
    setTesting(true);
    Command5->setEnabled(false);
    // The copy reads this program's own connection, so it runs here; the window shows how far
    // it is and stays painted, and takes no input meanwhile.
    const CopyReport report = CopyShopToServer(uri, [this](const CopyProgress& step) {
        Label3->setText(kCopying.arg(step.table).arg(step.copied).arg(step.total));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    Command5->setEnabled(true);
    setTesting(false);
    showNextStart();
    if (!report.ok) {
        ui::Stop(this, kCopyFailed + report.message);
        return;
    }
    qint64 customers = 0;
    qint64 orders = 0;
    for (const CopiedTable& table : report.tables) {
        if (table.table == QLatin1String("kh_table")) {
            customers = table.serverRows;
        } else if (table.table == QLatin1String("kh_wx_table")) {
            orders = table.serverRows;
        }
    }
    if (ui::Confirm(this, kAskSwitch.arg(customers).arg(orders))) {
        Command1_Click();
    }
}

void DatabaseConnectionWindow::Command2_Click() {
    close();
}
