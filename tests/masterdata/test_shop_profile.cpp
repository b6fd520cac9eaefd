#include <QTest>

#include "masterdata/shop_profile.h"
#include "support/database_fixture.h"
#include "support/rule_test.h"

class TestShopProfile : public RuleTest {
    Q_OBJECT

    static QString Rows() {
        return TestDatabase::rowsText(
            QStringLiteral("select re_name, re_address, re_tele from regedit_table order by rowid"),
            {}, QStringLiteral("/"), QStringLiteral(";"));
    }

private Q_SLOTS:
    void aNewDatabaseHasAShopWithoutAName() {
        const DbResult<ShopProfile> shop = ReadShopProfile();
        QVERIFY(shop.ok());
        QCOMPARE(shop->name, QString());
        QVERIFY(ShopNameMissing(*shop));
        QCOMPARE(ShopNameOnPaper(shop->name), QStringLiteral("请在系统管理中填写店铺名称"));
        QCOMPARE(ShopNameOnPaper(QStringLiteral(" ")),
                 QStringLiteral("请在系统管理中填写店铺名称"));
        QCOMPARE(ShopNameOnPaper(QStringLiteral("蓝天")), QStringLiteral("蓝天"));
    }

    // The three fields go into the first row together; other rows are not the shop's.
    void savesIntoTheFirstRow_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("the seeded row") << QStringList{""} << "蓝天'汽修/人民路1号/0512-1234";
        QTest::newRow("no row") << QStringList() << "蓝天'汽修/人民路1号/0512-1234";
        QTest::newRow("two rows") << QStringList{"旧名", "别家"}
                                  << "蓝天'汽修/人民路1号/0512-1234;别家//";
    }
    void savesIntoTheFirstRow() {
        QFETCH(QStringList, before);
        QFETCH(QString, after);
        TestDatabase::exec(QStringLiteral("delete from regedit_table"));
        for (const QString& name : before) {
            TestDatabase::exec(QStringLiteral("insert into regedit_table (re_name) values (?)"),
                               {name});
        }
        const ShopProfile profile{QStringLiteral("蓝天'汽修"), QStringLiteral("人民路1号"),
                                  QStringLiteral("0512-1234")};
        QVERIFY(SaveShopProfile(profile).ok());
        QCOMPARE(Rows(), after);
        const DbResult<ShopProfile> read = ReadShopProfile();
        QVERIFY(read.ok());
        QCOMPARE(read->name, profile.name);
        QCOMPARE(read->address, profile.address);
        QCOMPARE(read->telephone, profile.telephone);
    }

    void aRefusedSaveIsToldAndKeepsNothing() {
        TestDatabase::exec(QStringLiteral("update regedit_table set re_name = '旧名'"));
        // The engine refuses the write: the save says so and the stored profile stays.
        TestDatabase::refuse(QStringLiteral("update on regedit_table"), QString(),
                             QStringLiteral("refused"));
        const DbStatus saved = SaveShopProfile({QStringLiteral("新名"), QString(), QString()});
        QVERIFY(!saved.ok());
        QVERIFY(!saved.error().isEmpty());
        QCOMPARE(Rows(), QStringLiteral("旧名//"));
    }
};

QTEST_GUILESS_MAIN(TestShopProfile)
#include "test_shop_profile.moc"
