#include <QRandomGenerator>
#include <QTest>

#include "ui/grid_store.h"

namespace {

// A plain table the store is compared with, and the texts the steps write.
using Table = std::vector<std::vector<QString>>;

QString SampleText(QRandomGenerator& rng, int longest) {
    static const QStringList samples = {QString(),
                                        QStringLiteral("京A12345"),
                                        QStringLiteral("1"),
                                        QStringLiteral("张三丰"),
                                        QStringLiteral("O'Brien \"x\""),
                                        QStringLiteral("2026-12-07"),
                                        QStringLiteral("é\u0301🚗")};
    if (longest > 0 && rng.bounded(10) == 0) {
        // Long enough to need a varying number of length bytes, or a block of its own.
        return QString(int(rng.bounded(quint32(longest))) + 1, QChar(u'车'));
    }
    return samples[int(rng.bounded(quint32(samples.size())))];
}

void CompareWithTable(const ui::GridStore& store, const Table& plain) {
    QCOMPARE(store.rows(), int(plain.size()));
    QCOMPARE(store.cols(), int(plain[0].size()));
    int stored = 0;
    for (int r = 0; r < int(plain.size()); ++r) {
        bool any = false;
        for (int c = 0; c < int(plain[0].size()); ++c) {
            QCOMPARE(store.text(r, c), plain[size_t(r)][size_t(c)]);
            any = any || !plain[size_t(r)][size_t(c)].isEmpty();
        }
        stored += any;
    }
    QCOMPARE(store.storedRowCount(), stored);
    // The visits see every text once, row by row, and nothing else.
    int visited = 0;
    int lastRow = -1;
    store.forEachStoredText([&](int row, int col, QByteArrayView utf8, int format) {
        QVERIFY(row >= lastRow);
        lastRow = row;
        QCOMPARE(QString::fromUtf8(utf8), plain[size_t(row)][size_t(col)]);
        QCOMPARE(format, 0);
        ++visited;
    });
    int texts = 0;
    for (const auto& row : plain) {
        texts += int(std::count_if(row.begin(), row.end(),
                                   [](const QString& text) { return !text.isEmpty(); }));
    }
    QCOMPARE(visited, texts);
}

qsizetype TextBytes(const ui::GridStore& store) {
    qsizetype bytes = 0;
    store.forEachStoredText([&](int, int, QByteArrayView utf8, int) { bytes += utf8.size(); });
    return bytes;
}

}  // namespace

// Rows are packed into shared blocks, edited rows are written again and the waste compacted:
// whatever is done, the store reads like a plain table and holds little more than its texts.
class TestGridStoreLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matchesAPlainTableWhileEdited_data() {
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("longest");
        QTest::newRow("a list") << 10 << 300 << 0;
        QTest::newRow("long texts, compacted as they change") << 6 << 120 << 20000;
        QTest::newRow("many columns") << 300 << 20 << 200;
    }
    void matchesAPlainTableWhileEdited() {
        QFETCH(int, cols);
        QFETCH(int, rows);
        QFETCH(int, longest);
        QRandomGenerator rng(20261207);
        ui::GridStore store;
        store.setRows(rows);
        store.setCols(cols);
        Table plain(size_t(rows), std::vector<QString>(static_cast<size_t>(cols)));
        for (int step = 0; step < 6000; ++step) {
            const int rowCount = int(plain.size());
            const int colCount = int(plain[0].size());
            const quint32 kind = rng.bounded(40);
            if (kind == 0) {
                const int at = int(rng.bounded(quint32(colCount) + 1));
                const int count = 1 + int(rng.bounded(3));
                store.insertColumn(at, count);
                for (auto& row : plain) {
                    row.insert(row.begin() + at, size_t(count), QString());
                }
            } else if (kind == 1 && colCount > 3) {
                const int at = int(rng.bounded(quint32(colCount)));
                const int count = std::min(colCount - at, 1 + int(rng.bounded(2)));
                store.removeColumn(at, count);
                for (auto& row : plain) {
                    row.erase(row.begin() + at, row.begin() + at + count);
                }
            } else if (kind == 2) {
                const int at = int(rng.bounded(quint32(rowCount) + 1));
                store.insertRow(at, 2);
                plain.insert(plain.begin() + at, 2, std::vector<QString>(size_t(colCount)));
            } else if (kind == 3 && rowCount > 3) {
                const int at = int(rng.bounded(quint32(rowCount)));
                const int count = std::min(rowCount - at, 2);
                store.removeRow(at, count);
                plain.erase(plain.begin() + at, plain.begin() + at + count);
            } else if (kind == 4 && colCount > 3) {
                store.setCols(colCount - 1);
                for (auto& row : plain) {
                    row.pop_back();
                }
            } else if (kind == 5 && rowCount > 3) {
                store.setRows(rowCount - 1);
                plain.pop_back();
            } else {
                // Mostly writes, each row filled cell after cell a while, as lists fill.
                const int row = int(rng.bounded(quint32(rowCount)));
                for (int n = 0; n < 4; ++n) {
                    const int col = int(rng.bounded(quint32(colCount)));
                    const QString text = SampleText(rng, longest);
                    store.setUtf8(row, col, text.toUtf8());
                    plain[size_t(row)][size_t(col)] = text;
                }
            }
            if (step % 500 == 0) {
                CompareWithTable(store, plain);
            }
        }
        CompareWithTable(store, plain);
        // Edited rows leave waste behind until it is compacted away.
        QVERIFY2(store.heldBytes() <= 2 * TextBytes(store) + 128 * 1024,
                 qPrintable(QStringLiteral("%1 bytes held for %2 bytes of text")
                                .arg(store.heldBytes())
                                .arg(TextBytes(store))));
    }

    void listHoldsLittleMoreThanItsText() {
        ui::GridStore store;
        const int rows = 50000;
        store.setRows(rows + 1);
        store.setCols(10);
        for (int row = 1; row <= rows; ++row) {
            const QByteArray number = QByteArray::number(row);
            store.setUtf8(row, 0, "{6F9619FF-8B86-D011-B42D-00CF4FC9" + number + "}");
            store.setUtf8(row, 1, "2026-12-07");
            store.setUtf8(row, 2, "京A" + number);
            store.setUtf8(row, 3, "张三丰");
            store.setUtf8(row, 5, "1390000" + number);
            store.setUtf8(row, 7, "128.50");
            store.setUtf8(row, 9, "刘师傅");
        }
        QCOMPARE(store.text(rows, 2), QStringLiteral("京A%1").arg(rows));
        QCOMPARE(store.text(rows, 4), QString());
        const qsizetype text = TextBytes(store);
        QVERIFY2(store.heldBytes() <= text * 3 / 2,
                 qPrintable(QStringLiteral("%1 bytes held for %2 bytes of text")
                                .arg(store.heldBytes())
                                .arg(text)));
    }

    void editedRowsAreCompacted() {
        ui::GridStore store;
        const int rows = 20000;
        store.setRows(rows);
        store.setCols(3);
        for (int row = 0; row < rows; ++row) {
            store.setText(row, 0, QStringLiteral("行%1").arg(row));
            store.setText(row, 2, QStringLiteral("尾%1").arg(row));
        }
        for (int round = 0; round < 5; ++round) {
            for (int n = 0; n < rows; ++n) {
                // Every row once a round, in an order of its own.
                const int row = int((qint64(n) * 7919 + round * 13) % rows);
                store.setText(row, 1, QStringLiteral("第%1轮修改%2").arg(round).arg(row));
            }
        }
        for (int row = 0; row < rows; row += 97) {
            QCOMPARE(store.text(row, 0), QStringLiteral("行%1").arg(row));
            QCOMPARE(store.text(row, 2), QStringLiteral("尾%1").arg(row));
            QVERIFY(store.text(row, 1).endsWith(QString::number(row)));
        }
        QVERIFY2(store.heldBytes() <= 2 * TextBytes(store),
                 qPrintable(QStringLiteral("%1 bytes held for %2 bytes of text")
                                .arg(store.heldBytes())
                                .arg(TextBytes(store))));
        // Emptying the list gives its blocks back, whatever the heading row keeps.
        store.setRows(1);
        QCOMPARE(store.text(0, 0), QStringLiteral("行0"));
        QVERIFY(store.heldBytes() < 64 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestGridStoreLayout)
#include "test_grid_store_layout.moc"
