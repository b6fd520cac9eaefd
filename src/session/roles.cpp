#include "session/roles.h"

#include "data/run_sql.h"
#include "session/current_operator.h"

namespace {

const QString kAdministrator = QStringLiteral("管理员");
const QString kClerk = QStringLiteral("店员");
const QString kOnlyAdministrators = QStringLiteral("只有管理员可以%1，当前用户“%2”是店员。");
const QString kDisabled = QStringLiteral("当前用户“%1”已被停用，不能%2。");
const QString kUnknown = QStringLiteral("当前用户“%1”已不在用户列表中，不能%2。");
const QString kUnreadable = QStringLiteral("无法确认当前用户的权限，不能%1：%2");

QString ActionText(Guarded action) {
    switch (action) {
        case Guarded::Operators:
            return QStringLiteral("管理用户");
        case Guarded::Restore:
            return QStringLiteral("恢复数据");
        case Guarded::DatabaseConnection:
            return QStringLiteral("更改数据库连接");
        case Guarded::ShopProfile:
            return QStringLiteral("修改店铺信息");
        case Guarded::PriceList:
            return QStringLiteral("修改维修项目");
        case Guarded::Technicians:
            return QStringLiteral("修改维修技师");
        case Guarded::CorrectOrder:
            return QStringLiteral("修改维修单");
        case Guarded::VoidOrder:
            return QStringLiteral("作废维修单");
        case Guarded::CorrectPlate:
            return QStringLiteral("更正车牌");
    }
    return {};
}

}  // namespace

QString RoleName(Role role) {
    return role == Role::Administrator ? kAdministrator : kClerk;
}

Role RoleFromName(const QString& name) {
    return name == kAdministrator ? Role::Administrator : Role::Clerk;
}

QString RefusalFor(Guarded action) {
    const QString name = CurrentOperator();
    if (name.isEmpty()) {
        return {};
    }
    // The login checks the first row of a name, so its role is the one that counts.
    Recordset user = RunSql(QStringLiteral("select user_role, user_enabled from user_table "
                                           "where user_name = ? order by rowid limit 1"),
                            {name});
    if (user.isNull()) {
        return kUnreadable.arg(ActionText(action), user.error());
    }
    if (user.Eof()) {
        return kUnknown.arg(name, ActionText(action));
    }
    const bool enabled = user.Field(QStringLiteral("user_enabled")).toInt() != 0;
    const Role role = RoleFromName(user.Text(QStringLiteral("user_role")));
    user.Close();
    if (!enabled) {
        return kDisabled.arg(name, ActionText(action));
    }
    if (role != Role::Administrator) {
        return kOnlyAdministrators.arg(ActionText(action), name);
    }
    return {};
}
