#include "data/seed.h"

#include <QFile>

#include "data/database.h"
#include "data/password.h"

QString SchemaSql() {
    QFile file(QStringLiteral(":/data/schema.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QList<SeedStatement> SeedStatements() {
    const QString hash = HashPassword(Database::DefaultPassword());
    if (hash.isEmpty()) {
        return {};
    }
    return {
        {QStringLiteral("insert into meta (version) values (?)"),
         {QString::number(Database::kSchemaVersion)}},
        {QStringLiteral("insert into user_table (user_name, user_pass, user_role) values (?, ?, "
                        "'管理员')"),
         {Database::DefaultOperatorName(), hash}},
        {QStringLiteral("insert into cp_table (cp_name) values (?)"), {QStringLiteral("京A")}},
        // The shop's row, without a name: the first login asks for it, and until then the
        // paper says where to fill it in rather than printing a name nobody chose.
        {QStringLiteral("insert into regedit_table (re_name) values ('')"), {}},
    };
}
