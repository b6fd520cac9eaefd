#include "app/operators.h"

#include "data/password.h"
#include "data/run_sql.h"

DbResult<QStringList> OperatorNames() {
    return ColumnTexts(QStringLiteral("select user_name from user_table order by rowid"));
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
