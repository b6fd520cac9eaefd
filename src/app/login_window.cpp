#include "app/login_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/main_window.h"
#include "data/database.h"
#include "masterdata/password_change_window.h"
#include "masterdata/shop_profile.h"
#include "masterdata/shop_profile_window.h"
#include "session/current_operator.h"
#include "session/last_operator.h"
#include "session/operators.h"
#include "session/roles.h"
#include "ui/elided_text.h"
#include "ui/key_controls.h"
#include "ui/message_box.h"
#include "ui/named.h"
#include "ui/window_host.h"
#include "ui/window_placement.h"
#include "version.h"

namespace {

const QString kTitle = QStringLiteral("用户登录");
const QString kUserCaption = QStringLiteral("用户名:");
const QString kPasswordCaption = QStringLiteral("密  码:");
const QString kLogin = QStringLiteral("登录");
const QString kClose = QStringLiteral("关闭");
const QString kVersion = QStringLiteral("version " RUVASO_VERSION);
const QString kDefaultPassword = QStringLiteral("系统默认密码：");
const QString kDatabase = QStringLiteral("数据库：");
const QString kChooseUser = QStringLiteral("请选择用户名称！");
const QString kWrongPassword = QStringLiteral("密码错误！");
const QString kUnknownOperator = QStringLiteral("用户名或密码错误！");
const QString kNameTheShop =
    QStringLiteral("请填写店铺名称、地址和电话，维修单和报表上将打印这些信息。");
const QString kSetPasswordFirst =
    QStringLiteral("您使用的是系统默认密码，任何人都知道它。请先设置一个新密码，然后再进入系统。");
const QString kPasswordWasReset =
    QStringLiteral("您的密码已由管理员重置。请先设置一个新密码，然后再进入系统。");

constexpr int kNarrowest = 360;
constexpr int kWidest = 520;

}  // namespace

LoginWindow::LoginWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label3 = ui::Named(new QLabel(kUserCaption, this), QStringLiteral("Label3"));
    Combo1 = ui::Named(new QComboBox(this), QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setMinimumWidth(180);
    Label4 = ui::Named(new QLabel(kPasswordCaption, this), QStringLiteral("Label4"));
    Text1 = ui::Named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setEchoMode(QLineEdit::Password);
    Command1 = ui::Named(new QPushButton(kLogin, this), QStringLiteral("Command1"));
    Command2 = ui::Named(new QPushButton(kClose, this), QStringLiteral("Command2"));
    Label5 = ui::Named(new QLabel(kVersion, this), QStringLiteral("Label5"));
    Label1 = ui::Named(new QLabel(kDefaultPassword + Database::DefaultPassword(), this),
                       QStringLiteral("Label1"));
    databaseLabel = ui::Named(new QLabel(this), QStringLiteral("databaseLabel"));
    // A long path must not widen the window: it is shortened in the middle, whole in the tip.
    databaseLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    databaseLabel->setForegroundRole(QPalette::PlaceholderText);
    Label3->setBuddy(Combo1);
    Label4->setBuddy(Text1);

    auto* fields = new QGridLayout;
    fields->addWidget(Label3, 0, 0);
    fields->addWidget(Combo1, 0, 1);
    fields->addWidget(Label4, 1, 0);
    fields->addWidget(Text1, 1, 1);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();

    auto* footer = new QHBoxLayout;
    footer->addWidget(Label1);
    footer->addStretch();
    footer->addWidget(Label5);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 14);
    layout->setSpacing(16);
    layout->addLayout(fields);
    layout->addWidget(databaseLabel);
    layout->addLayout(buttons);
    layout->addLayout(footer);
    // Wide enough for the usual path of the database; a longer one is shortened.
    const QString location = kDatabase + Database::Location();
    const QMargins margins = layout->contentsMargins();
    const int sides = margins.left() + margins.right();
    const int wanted = databaseLabel->fontMetrics().horizontalAdvance(location) + sides;
    setFixedSize(sizeHint().expandedTo(QSize(std::clamp(wanted, kNarrowest, kWidest), 0)));
    ui::SetElidedText(databaseLabel, location, width() - sides);

    setTabOrder(Combo1, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);

    connect(Command1, &QPushButton::clicked, this, &LoginWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &LoginWindow::Command2_Click);
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    // Enter in the name box moves on to the password; Enter in the password logs in.
    connect(Combo1->lineEdit(), &QLineEdit::returnPressed, Text1,
            [this] { Text1->setFocus(Qt::OtherFocusReason); });
    connect(Text1, &QLineEdit::returnPressed, this, &LoginWindow::Command1_Click);

    Form_Load();
}

void LoginWindow::Form_Load() {
    const DbResult<QStringList> names = OperatorNames();
    if (!names) {
        ui::ShowDatabaseError(this, names.error());
        return;
    }
    Combo1->addItems(*names);
    // The operator who logged in last on this shop's data most likely logs in again: their name
    // is offered and the cursor waits in the password box.
    const int last = int(names->indexOf(LastOperator(Database::DataDir())));
    Combo1->setCurrentIndex(last);
    if (last < 0) {
        Combo1->setEditText(QString());
    } else {
        Text1->setFocus(Qt::OtherFocusReason);
    }
    // The hint only helps while the seed password still opens an account.
    const DbResult<bool> seedPassword = SomeOperatorHasPassword(Database::DefaultPassword());
    Label1->setVisible(!seedPassword || *seedPassword);
}

bool LoginWindow::replacePassword(const QString& name, const QString& why) {
    ui::Exclamation(this, why);
    bool changed = false;
    auto* change = ui::WindowHost::instance<PasswordChangeWindow>();
    change->loadAfterLogin(name, Text1->text());
    connect(change, &PasswordChangeWindow::passwordChanged, this, [&changed] { changed = true; });
    ui::WindowHost::show(change, ui::WindowHost::Mode::Modal);
    return changed;
}

void LoginWindow::askForShopName() {
    const DbResult<ShopProfile> shop = ReadShopProfile();
    // A profile that cannot be read is no reason to keep the operator out; the paper then says
    // where to fill the name in.
    if (!shop || !ShopNameMissing(*shop)) {
        return;
    }
    ui::Information(this, kNameTheShop);
    ui::WindowHost::show(ui::WindowHost::instance<ShopProfileWindow>(),
                         ui::WindowHost::Mode::Modal);
}

void LoginWindow::Command1_Click() {
    const QString name = Combo1->currentText();
    if (name.isEmpty()) {
        ui::Stop(this, kChooseUser);
        Combo1->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (const int wait = throttle_.secondsToWait(name); wait > 0) {
        ui::Stop(this, LoginThrottle::WaitText(wait));
        Text1->setFocus(Qt::OtherFocusReason);
        return;
    }
    const DbResult<Login> login = CheckLogin(name, Text1->text());
    if (!login) {
        ui::ShowDatabaseError(this, login.error());
        return;
    }
    if (*login == Login::UnknownOperator || *login == Login::WrongPassword) {
        throttle_.failed(name);
    } else {
        throttle_.succeeded(name);
    }
    if (*login == Login::UnknownOperator) {
        ui::Stop(this, kUnknownOperator);
        Combo1->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (*login == Login::WrongPassword) {
        ui::Stop(this, kWrongPassword);
        Text1->setFocus(Qt::OtherFocusReason);
        Text1->selectAll();
        return;
    }
    if (*login == Login::Disabled) {
        ui::Stop(this, DisabledText());
        Combo1->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Nobody works on under the password every installation shares, nor under one an
    // administrator handed out.
    const bool firstLogin = Text1->text() == Database::DefaultPassword();
    const bool due = firstLogin || *login == Login::PasswordDue;
    if (due && !replacePassword(name, firstLogin ? kSetPasswordFirst : kPasswordWasReset)) {
        Text1->clear();
        Text1->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Whatever is asked from here on is asked of this operator's role.
    SetCurrentOperator(name);
    if (firstLogin && RefusalFor(Guarded::ShopProfile).isEmpty()) {
        askForShopName();
    }

    RememberLastOperator(Database::DataDir(), name);
    auto* main = new MainWindow;
    main->setOperatorName(name);
    ui::PlaceWindow(main, nullptr);
    main->show();
    Q_EMIT loggedIn(name);
    close();
}

void LoginWindow::Command2_Click() {
    close();
}
