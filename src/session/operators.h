#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include "data/db_result.h"
#include "session/roles.h"

// Operator accounts (user_table): the names the login offers, in stored order; a disabled
// operator is not offered.
DbResult<QStringList> OperatorNames();

// One operator as "用户管理" lists them.
struct OperatorAccount {
    QString name;
    Role role = Role::Clerk;
    bool enabled = true;
    QString lastLogin;  // "yyyy-MM-dd HH:mm:ss", empty when they never logged in
};
// Every operator, disabled ones too, in stored order. Refused unless an administrator asks.
DbResult<QList<OperatorAccount>> ListOperators();

// PasswordDue: the password matched, but an administrator reset it, so the operator sets a new
// one before working. Disabled: the password matched, but the operator may no longer log in.
enum class Login { UnknownOperator, WrongPassword, Disabled, PasswordDue, Accepted };
// "该用户已被停用，请与管理员联系！"
QString DisabledText();

// Whether some operator's password is still `password` (the seed operator's, say).
DbResult<bool> SomeOperatorHasPassword(const QString& password);

// The shortest password an operator may be given.
constexpr int kMinimumPasswordLength = 6;
// Why `password` may not become an operator's password, for the shop to read: shorter than
// kMinimumPasswordLength, or the seed password every installation shares. Empty when it may.
QString NewPasswordProblem(const QString& password);
// "新密码不能与原密码相同！"
QString SamePasswordText();

// Slows down guessing at the login: each failed attempt for a name doubles the pause before
// the next attempt for that name is checked (1 s, 2 s, 4 s ... up to a minute); a success ends
// it. Timed by the program's clock (core/clock.h).
class LoginThrottle {
public:
    static constexpr int kFirstPauseSeconds = 1;
    static constexpr int kLongestPauseSeconds = 60;

    // Seconds left before the name may try again; 0 when it may now.
    int secondsToWait(const QString& name) const;
    void failed(const QString& name);
    void succeeded(const QString& name);
    // "登录失败次数过多，请 5 秒后再试。"
    static QString WaitText(int seconds);

private:
    struct Failures {
        int count = 0;
        QDateTime last;
    };
    QHash<QString, Failures> failures_;
};

// Checks a typed password against the operator's stored one. With two operators of one name
// the first row's password counts. A password still kept as plain text is replaced by its hash
// once it has matched. A login let in is kept as the operator's last login.
DbResult<Login> CheckLogin(const QString& name, const QString& password);

// Why an operator was not added, in the order the checks run: a blank name, a name already
// stored (matched exactly), an empty password or confirmation, or two passwords that differ
// (letter case counts). A password of blanks is a password.
// Refused: the password breaks a rule NewPasswordProblem tells. Only an administrator may add
// operators: otherwise the result is a failure carrying RefusalFor's reason.
enum class OperatorAdd {
    Added,
    NameEmpty,
    NameTaken,
    PasswordEmpty,
    ConfirmationEmpty,
    Mismatch,
    Refused
};
DbResult<OperatorAdd> AddOperator(const QString& name, const QString& password,
                                  const QString& confirmation, Role role = Role::Clerk);

// Sets a new password for the operator of that name (the first row of the name, the one the
// login checks), in the order the checks run. ChangePassword is the operator's own change: the
// current password must match (WrongCurrent), and a reset's demand for a new one is met.
// ResetPassword is an administrator's: no current password is asked, and the operator must set
// a new one at the next login; anyone else is refused (a failure carrying RefusalFor's reason).
// Refused: the password breaks a rule NewPasswordProblem tells; SameAsBefore: it is the
// operator's password already, so nothing would change.
enum class PasswordChange {
    Changed,
    PasswordEmpty,
    ConfirmationEmpty,
    UnknownOperator,
    WrongCurrent,
    Mismatch,
    Refused,
    SameAsBefore
};
DbResult<PasswordChange> ChangePassword(const QString& name, const QString& current,
                                        const QString& password, const QString& confirmation);
DbResult<PasswordChange> ResetPassword(const QString& name, const QString& password,
                                       const QString& confirmation);

// Why a change to who may log in or what they may do was not made. LastAdministrator: it would
// leave no enabled administrator; the count is taken in the change's own transaction, so two
// stations cannot each take away one of the last two.
enum class OperatorChange { Changed, UnknownOperator, LastAdministrator };
// "至少要保留一个可以登录的管理员！"
QString LastAdministratorText();
// Disables or enables again the operator of that name (every row of the name: the login
// offers the name once). A disabled operator keeps their name on orders and calls.
DbResult<OperatorChange> SetOperatorEnabled(const QString& name, bool enabled);
DbResult<OperatorChange> SetOperatorRole(const QString& name, Role role);
