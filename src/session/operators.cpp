#include "session/operators.h"

#include <algorithm>
#include <optional>

#include "core/clock.h"
#include "data/database.h"
#include "data/password.h"
#include "data/run_sql.h"
#include "data/transaction.h"
#include "session/roles.h"

namespace {

// A stored last login: seconds are enough to tell one morning's logins apart.
const QString kLoginFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

}  // namespace

DbResult<QStringList> OperatorNames() {
    return ColumnTexts(
        QStringLiteral("select user_name from user_table where user_enabled <> 0 order by rowid"));
}

DbResult<QList<OperatorAccount>> ListOperators() {
    using Result = DbResult<QList<OperatorAccount>>;
    if (const QString refusal = RefusalFor(Guarded::Operators); !refusal.isEmpty()) {
        return Result::failure(refusal);
    }
    Recordset rows =
        RunSql(QStringLiteral("select user_name, user_role, user_enabled, user_login "
                              "from user_table order by rowid"));
    if (rows.isNull()) {
        return Result::failure(rows.error());
    }
    QList<OperatorAccount> accounts;
    for (; !rows.Eof(); rows.MoveNext()) {
        accounts.append({rows.Text(QStringLiteral("user_name")),
                         RoleFromName(rows.Text(QStringLiteral("user_role"))),
                         rows.Field(QStringLiteral("user_enabled")).toInt() != 0,
                         rows.Text(QStringLiteral("user_login"))});
    }
    if (!rows.error().isEmpty()) {
        return Result::failure(rows.error());
    }
    return accounts;
}

QString DisabledText() {
    return QStringLiteral("该用户已被停用，请与管理员联系！");
}

QString LastAdministratorText() {
    return QStringLiteral("至少要保留一个可以登录的管理员！");
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
    if (user.Field(QStringLiteral("user_enabled")).toInt() == 0) {
        user.Close();
        return Login::Disabled;
    }
    const bool due = user.Field(QStringLiteral("user_reset")).toInt() != 0;
    // The login goes on even if nothing can be written (a read-only file, say): a hash still to
    // be renewed is tried again next time, and the last login is only a record.
    if (check == PasswordCheck::MatchNeedsRehash) {
        const QString hash = HashPassword(password);
        if (!hash.isEmpty()) {
            user.SetField(QStringLiteral("user_pass"), hash);
        }
    }
    user.SetField(QStringLiteral("user_login"), Now().toString(kLoginFormat));
    user.Update();
    user.Close();
    return due ? Login::PasswordDue : Login::Accepted;
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
                                  const QString& confirmation, Role role) {
    using Result = DbResult<OperatorAdd>;
    if (const QString refusal = RefusalFor(Guarded::Operators); !refusal.isEmpty()) {
        return Result::failure(refusal);
    }
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
        RunSql(QStringLiteral("insert into user_table (user_name, user_pass, user_role) "
                              "select ?, ?, ? where not exists "
                              "(select 1 from user_table where user_name = ?)"),
               {name, hash, RoleName(role), name});
    if (added.isNull()) {
        return Result::failure(added.error());
    }
    return added.rowsAffected() == 1 ? OperatorAdd::Added : OperatorAdd::NameTaken;
}

namespace {

// Both password changes: `current` is checked unless it is null (a reset), and `due` is what
// the operator's demand for a new password becomes.
DbResult<PasswordChange> StorePassword(const QString& name, const std::optional<QString>& current,
                                       const QString& password, const QString& confirmation,
                                       bool due) {
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
    const QString stored = user.Text(QStringLiteral("user_pass"));
    if (current && CheckPassword(stored, *current) == PasswordCheck::NoMatch) {
        return PasswordChange::WrongCurrent;
    }
    if (password != confirmation) {
        return PasswordChange::Mismatch;
    }
    if (!NewPasswordProblem(password).isEmpty()) {
        return PasswordChange::Refused;
    }
    if (CheckPassword(stored, password) != PasswordCheck::NoMatch) {
        return PasswordChange::SameAsBefore;
    }
    const QString hash = HashPassword(password);
    if (hash.isEmpty()) {
        return Result::failure(QStringLiteral("无法生成密码散列"));
    }
    user.SetField(QStringLiteral("user_pass"), hash);
    user.SetField(QStringLiteral("user_reset"), due ? 1 : 0);
    if (!user.Update()) {
        return Result::failure(user.error());
    }
    user.Close();
    return PasswordChange::Changed;
}

// Runs `change` (an update of every row of the name) and keeps it only while an enabled
// administrator remains, counted after the change in the same transaction.
DbResult<OperatorChange> ChangeOperator(const QString& name, const QString& change,
                                        const QVariant& value) {
    using Result = DbResult<OperatorChange>;
    Transaction transaction;
    if (!transaction.isActive()) {
        return Result::failure(transaction.error());
    }
    // Asked inside the transaction, so a role taken away meanwhile counts.
    if (const QString refusal = RefusalFor(Guarded::Operators); !refusal.isEmpty()) {
        return Result::failure(refusal);
    }
    const Recordset changed = RunSql(change, {value, name});
    if (changed.isNull()) {
        return Result::failure(changed.error());
    }
    if (changed.rowsAffected() == 0) {
        return OperatorChange::UnknownOperator;
    }
    // The login reads the first row of a name, so only such rows count.
    const Recordset left = RunSql(QStringLiteral(
        "select count(*) from user_table u where u.user_role = '管理员' and u.user_enabled <> 0 "
        "and u.rowid = (select min(v.rowid) from user_table v where v.user_name = u.user_name)"));
    if (left.isNull()) {
        return Result::failure(left.error());
    }
    if (left.Text(0).toInt() == 0) {
        transaction.rollback();
        return OperatorChange::LastAdministrator;
    }
    if (const DbStatus kept = transaction.commit(); !kept) {
        return Result::failure(kept.error());
    }
    return OperatorChange::Changed;
}

}  // namespace

DbResult<PasswordChange> ChangePassword(const QString& name, const QString& current,
                                        const QString& password, const QString& confirmation) {
    return StorePassword(name, current, password, confirmation, false);
}

DbResult<PasswordChange> ResetPassword(const QString& name, const QString& password,
                                       const QString& confirmation) {
    if (const QString refusal = RefusalFor(Guarded::Operators); !refusal.isEmpty()) {
        return DbResult<PasswordChange>::failure(refusal);
    }
    return StorePassword(name, std::nullopt, password, confirmation, true);
}

DbResult<OperatorChange> SetOperatorEnabled(const QString& name, bool enabled) {
    return ChangeOperator(
        name, QStringLiteral("update user_table set user_enabled = ? where user_name = ?"),
        enabled ? 1 : 0);
}

DbResult<OperatorChange> SetOperatorRole(const QString& name, Role role) {
    return ChangeOperator(name,
                          QStringLiteral("update user_table set user_role = ? where user_name = ?"),
                          RoleName(role));
}
