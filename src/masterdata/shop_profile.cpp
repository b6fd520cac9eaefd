#include "masterdata/shop_profile.h"

#include "data/run_sql.h"
#include "data/transaction.h"
#include "session/roles.h"

namespace {

const QString kNoName = QStringLiteral("请在系统管理中填写店铺名称");

}  // namespace

DbResult<ShopProfile> ReadShopProfile() {
    Recordset shop = RunSql(QStringLiteral(
        "select re_name, re_address, re_tele from regedit_table order by rowid limit 1"));
    if (shop.isNull()) {
        return DbResult<ShopProfile>::failure(shop.error());
    }
    ShopProfile profile;
    if (!shop.Eof()) {
        profile = {shop.Text(0), shop.Text(1), shop.Text(2)};
    }
    shop.Close();
    return profile;
}

DbStatus SaveShopProfile(const ShopProfile& profile) {
    if (const QString refusal = RefusalFor(Guarded::ShopProfile); !refusal.isEmpty()) {
        return DbStatus::failure(refusal);
    }
    Transaction transaction;
    if (!transaction.isActive()) {
        return DbStatus::failure(transaction.error());
    }
    const QVariantList values = {profile.name, profile.address, profile.telephone};
    const Recordset updated =
        RunSql(QStringLiteral("update regedit_table set re_name = ?, re_address = ?, re_tele = ? "
                              "where rowid = (select min(rowid) from regedit_table)"),
               values);
    if (updated.isNull()) {
        return DbStatus::failure(updated.error());
    }
    const Recordset added =
        RunSql(QStringLiteral("insert into regedit_table (re_name, re_address, re_tele) "
                              "select ?, ?, ? where not exists (select 1 from regedit_table)"),
               values);
    if (added.isNull()) {
        return DbStatus::failure(added.error());
    }
    return transaction.commit();
}

QString ShopNameOnPaper(const QString& name) {
    return name.trimmed().isEmpty() ? kNoName : name;
}

bool ShopNameMissing(const ShopProfile& profile) {
    return profile.name.trimmed().isEmpty();
}
