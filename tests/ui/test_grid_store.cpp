#include <QRandomGenerator>
#include <QTest>

#include "ui/grid_store.h"

// The sparse store must behave exactly like a plain table of texts whatever is done to it.
class TestGridStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matchesAPlainTable_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 7u, 42u, 2026u}) {
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
        }
    }
    void matchesAPlainTable() {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        ui::GridStore store;
        std::vector<std::vector<QString>> plain(6, std::vector<QString>(5));
        store.setRows(6);
        store.setCols(5);
        const QStringList samples = {QString(),
                                     QStringLiteral("京A12345"),
                                     QStringLiteral("1"),
                                     QStringLiteral("张三丰"),
                                     QStringLiteral("O'Brien \"x\""),
                                     QStringLiteral("2026-12-07")};
        for (int step = 0; step < 2000; ++step) {
            const int rows = int(plain.size());
            const int cols = int(plain[0].size());
            switch (rng.bounded(8)) {
                case 0:
                    if (cols < 12) {
                        const int at = int(rng.bounded(cols + 1));
                        store.insertColumn(at);
                        for (auto& row : plain) {
                            row.insert(row.begin() + at, QString());
                        }
                    }
                    break;
                case 1:
                    if (cols > 1) {
                        const int at = int(rng.bounded(cols));
                        store.removeColumn(at);
                        for (auto& row : plain) {
                            row.erase(row.begin() + at);
                        }
                    }
                    break;
                case 2:
                    if (rows < 30) {
                        const int at = int(rng.bounded(rows + 1));
                        store.insertRow(at);
                        plain.insert(plain.begin() + at, std::vector<QString>(cols));
                    }
                    break;
                case 3:
                    if (rows > 1) {
                        const int at = int(rng.bounded(rows));
                        store.removeRow(at);
                        plain.erase(plain.begin() + at);
                    }
                    break;
                default: {
                    const int row = int(rng.bounded(rows));
                    const int col = int(rng.bounded(cols));
                    const QString& text = samples[int(rng.bounded(samples.size()))];
                    // Lists fill from the database's UTF-8; windows set texts. Both must agree.
                    if (step % 2) {
                        store.setUtf8(row, col, text.toUtf8());
                    } else {
                        store.setText(row, col, text);
                    }
                    plain[row][col] = text;
                }
            }
            QCOMPARE(store.rows(), int(plain.size()));
            QCOMPARE(store.cols(), int(plain[0].size()));
        }
        for (int r = 0; r < int(plain.size()); ++r) {
            for (int c = 0; c < int(plain[0].size()); ++c) {
                QCOMPARE(store.text(r, c), plain[r][c]);
            }
        }
        // Blank rows hold no entry.
        int stored = 0;
        for (const auto& row : plain) {
            stored +=
                std::any_of(row.begin(), row.end(), [](const QString& t) { return !t.isEmpty(); });
        }
        QCOMPARE(store.storedRowCount(), stored);
    }
};

QTEST_GUILESS_MAIN(TestGridStore)
#include "test_grid_store.moc"
