#include "app/operators.h"

#include <algorithm>

#include "core/clock.h"
#include "data/database.h"
#include "data/password.h"
#include "data/run_sql.h"

DbResult<QStringList> OperatorNames() {
    return ColumnTexts(QStringLiteral("select user_name from user_table order by rowid"));
}

DbResult<bool> SomeOperatorHasPassword(const QString& password) {
    const DbResult<QStringList> stored =
        ColumnTexts(QStringLiteral("select user_pass from user_table"));
    if (!stored) {
        return DbResult<bool>::failure(stored.error());
    }
    return std::any_of(stored->begin(), stored->end(), [&password](const QString& hash) {
        return CheckPassword(hash, password) != PasswordCheck::NoMatch;
    });
}

DbResult<Login> CheckLogin(const QString& name, const QString& password) {
    Recordset user =
        RunSql(QStringLiteral("select * from user_table where user_name=? order by rowid limit 1"),
               {name});
    if (user.isNull()) {
        return DbResult<Login>::failure(user.error());
    }
    if (user.Eof()) {
        return Login::UnknownOperator;
    }
    const PasswordCheck check = CheckPassword(user.Text(QStringLiteral("user_pass")), password);
    if (check == PasswordCheck::NoMatch) {
        user.Close();
        return Login::WrongPassword;
    }
    if (check == PasswordCheck::MatchNeedsRehash) {
        // The login goes on even if the hash cannot be written; the next login tries again.
        const QString hash = HashPassword(password);
        if (!hash.isEmpty()) {
            user.SetField(QStringLiteral("user_pass"), hash);
            user.Update();
        }
    }
    user.Close();
    return Login::Accepted;
}

QString NewPasswordProblem(const QString& password) {
    if (password.size() < kMinimumPasswordLength) {
        return QStringLiteral("密码至少要有 %1 个字符，请重新输入！").arg(kMinimumPasswordLength);
    }
    if (password == Database::DefaultPassword()) {
        return QStringLiteral("不能使用系统默认密码，请换一个密码！");
    }
    return {};
}

QString SamePasswordText() {
    return QStringLiteral("新密码不能与原密码相同！");
}

int LoginThrottle::secondsToWait(const QString& name) const {
    const auto found = failures_.constFind(name);
    if (found == failures_.constEnd() || found->count == 0) {
        return 0;
    }
    int pause = kFirstPauseSeconds;
    for (int i = 1; i < found->count && pause < kLongestPauseSeconds; ++i) {
        pause *= 2;
    }
    pause = std::min(pause, kLongestPauseSeconds);
    const qint64 waited = found->last.secsTo(Now());
    // A clock set back counts as no time waited, never as the pause served.
    return int(std::max<qint64>(0, pause - std::max<qint64>(0, waited)));
}

void LoginThrottle::failed(const QString& name) {
    Failures& failures = failures_[name];
    ++failures.count;
    failures.last = Now();
}

void LoginThrottle::succeeded(const QString& name) {
    failures_.remove(name);
}

QString LoginThrottle::WaitText(int seconds) {
    return QStringLiteral("登录失败次数过多，请 %1 秒后再试。").arg(seconds);
}

DbResult<OperatorAdd> AddOperator(const QString& name, const QString& password,
                                  const QString& confirmation) {
    using Result = DbResult<OperatorAdd>;
    if (name.trimmed().isEmpty()) {
        return OperatorAdd::NameEmpty;
    }
    Recordset taken =
        RunSql(QStringLiteral("select 1 from user_table where user_name = ? limit 1"), {name});
    if (taken.isNull()) {
        return Result::failure(taken.error());
    }
    if (!taken.Eof()) {
        return OperatorAdd::NameTaken;
    }
    taken.Close();
    if (password.isEmpty()) {
        return OperatorAdd::PasswordEmpty;
    }
    if (confirmation.isEmpty()) {
        return OperatorAdd::ConfirmationEmpty;
    }
    if (password != confirmation) {
        return OperatorAdd::Mismatch;
    }
    if (!NewPasswordProblem(password).isEmpty()) {
        return OperatorAdd::Refused;
    }
    const QString hash = HashPassword(password);
    if (hash.isEmpty()) {
        return Result::failure(QStringLiteral("无法生成密码散列"));
    }
    // The check is repeated in the insert itself, so a name stored meanwhile is not doubled.
    const Recordset added =
        RunSql(QStringLiteral("insert into user_table (user_name, user_pass) select ?, ? "
                              "where not exists (select 1 from user_table where user_name = ?)"),
               {name, hash, name});
    if (added.isNull()) {
        return Result::failure(added.error());
    }
    return added.rowsAffected() == 1 ? OperatorAdd::Added : OperatorAdd::NameTaken;
}

DbResult<PasswordChange> ChangePassword(const QString& name, const QString& password,
                                        const QString& confirmation) {
    using Result = DbResult<PasswordChange>;
    if (password.isEmpty()) {
        return PasswordChange::PasswordEmpty;
    }
    if (confirmation.isEmpty()) {
        return PasswordChange::ConfirmationEmpty;
    }
    Recordset user =
        RunSql(QStringLiteral("select * from user_table where user_name=? order by rowid limit 1"),
               {name});
    if (user.isNull()) {
        return Result::failure(user.error());
    }
    if (user.Eof()) {
        return PasswordChange::UnknownOperator;
    }
    if (password != confirmation) {
        return PasswordChange::Mismatch;
    }
    if (!NewPasswordProblem(password).isEmpty()) {
        return PasswordChange::Refused;
    }
    if (CheckPassword(user.Text(QStringLiteral("user_pass")), password) != PasswordCheck::NoMatch) {
        return PasswordChange::SameAsBefore;
    }
    const QString hash = HashPassword(password);
    if (hash.isEmpty()) {
        return Result::failure(QStringLiteral("无法生成密码散列"));
    }
    user.SetField(QStringLiteral("user_pass"), hash);
    if (!user.Update()) {
        return Result::failure(user.error());
    }
    user.Close();
    return PasswordChange::Changed;
}
