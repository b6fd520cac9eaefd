#include <QtTest>

#include "core/order_number_text.h"

class TestOrderNumberText : public QObject {
    Q_OBJECT

private slots:
    void shownForm_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("date and sequence") << " 202612070001"
                                           << "20261207-0001";
        QTest::newRow("short sequence") << " 202612071"
                                        << "20261207-1";
        QTest::newRow("long sequence") << " 2026120712345"
                                       << "20261207-12345";
        QTest::newRow("date part only") << " 20261207"
                                        << "20261207";
        QTest::newRow("no leading blank") << "202612070001"
                                          << "202612070001";
        QTest::newRow("letters") << " 20261207AB01"
                                 << "20261207AB01";
        QTest::newRow("hand-typed") << "  A-17 "
                                    << "A-17";
        QTest::newRow("empty") << ""
                               << "";
    }
    void shownForm() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(OrderNumberText(stored), shown);
    }
};

QTEST_GUILESS_MAIN(TestOrderNumberText)
#include "test_order_number_text.moc"
