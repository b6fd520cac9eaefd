#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include "data/db_result.h"

// Operator accounts (user_table): the names the login offers, in stored order.
DbResult<QStringList> OperatorNames();

enum class Login { UnknownOperator, WrongPassword, Accepted };

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
// once it has matched.
DbResult<Login> CheckLogin(const QString& name, const QString& password);

// Why an operator was not added, in the order the checks run: a blank name, a name already
// stored (matched exactly), an empty password or confirmation, or two passwords that differ
// (letter case counts). A password of blanks is a password.
// Refused: the password breaks a rule NewPasswordProblem tells.
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
                                  const QString& confirmation);

// Sets a new password for the operator of that name (the first row of the name, the one the
// login checks), in the order the checks run. No old password is asked for.
// Refused: the password breaks a rule NewPasswordProblem tells; SameAsBefore: it is the
// operator's password already, so nothing would change.
enum class PasswordChange {
    Changed,
    PasswordEmpty,
    ConfirmationEmpty,
    UnknownOperator,
    Mismatch,
    Refused,
    SameAsBefore
};
DbResult<PasswordChange> ChangePassword(const QString& name, const QString& password,
                                        const QString& confirmation);
