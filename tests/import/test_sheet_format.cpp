#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "import/sheet_format.h"

namespace {

SheetDocument Sample() {
    SheetDocument doc;
    doc.rows = 10000000;
    doc.cols = 12;
    SheetDocument::Format every;
    every.bold = every.italic = every.underline = every.wrap = every.locked = true;
    every.textColor = 0xFF0000;
    every.backColor = 0;
    every.alignment = 15;
    every.left = SheetDocument::kThin;
    every.top = SheetDocument::kThick;
    every.right = SheetDocument::kThin;
    every.bottom = SheetDocument::kThick;
    every.fontTenths = 360;
    every.fontName = QStringLiteral("Noto Sans CJK SC");
    SheetDocument::Format grey;
    grey.backColor = 0xE0E0E0;
    grey.alignment = 5;
    doc.formats = {SheetDocument::Format{}, every, grey};
    doc.columns = {{0, 24, false}, {3, 0, true}, {11, 300, false}};
    doc.lines = {
        {0, 30, {{1, 0, QStringLiteral("提醒日期")}, {2, 1, QStringLiteral("车牌号")}}},
        {1, 0, {{2, 2, QStringLiteral("京A10001")}, {8, 0, QStringLiteral("丰田卡罗拉, 1.6L")}}},
        {7, 0, {{5, 1, QString()}}},
        {9999999, 45, {{11, 0, QStringLiteral("最后一行 \"'%\\\n")}}},
    };
    return doc;
}

// A file around `payload` that the header and checksum accept, so the reader's own checks of
// the content are what the test reaches.
QByteArray Signed(const QByteArray& payload, quint32 version = SheetDocument::kVersion) {
    QByteArray file = QByteArrayLiteral("RVSHEET\x1A");
    quint32 le = qToLittleEndian(version);
    file.append(reinterpret_cast<const char*>(&le), 4);
    le = qToLittleEndian(quint32(payload.size()));
    file.append(reinterpret_cast<const char*>(&le), 4);
    file += QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    return file + payload;
}

QByteArray Payload(const QByteArray& file) {
    return file.mid(48);
}

void PutU32(QByteArray& bytes, qsizetype at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

}  // namespace

class TestSheetFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void documentRoundTrips() {
        const SheetDocument doc = Sample();
        const SheetDocumentRead read = ReadSheetDocument(WriteSheetDocument(doc));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QVERIFY(read.document == doc);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("表格.rvs"));
        QCOMPARE(SaveSheetDocument(path, doc), QString());
        QVERIFY(LoadSheetDocument(path).document == doc);
        QCOMPARE(LoadSheetDocument(dir.filePath(QStringLiteral("missing"))).error,
                 sheet_format_error::kCannotOpen);
    }

    void filesAreRefusedWhole_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray good = WriteSheetDocument(Sample());
        const QByteArray payload = Payload(good);
        using namespace sheet_format_error;

        QTest::newRow("empty") << QByteArray() << kNotASheet;
        QTest::newRow("workbook") << QByteArray("PK\x03\x04 not ours") << kNotASheet;
        QTest::newRow("newer version") << Signed(payload, 2) << kNewerVersion;
        QTest::newRow("version 0") << Signed(payload, 0) << kDamaged;
        QTest::newRow("header cut") << good.left(20) << kDamaged;
        QTest::newRow("payload cut") << good.left(good.size() - 1) << kDamaged;
        QByteArray flipped = good;
        flipped[good.size() - 3] = char(flipped[good.size() - 3] ^ 0x20);
        QTest::newRow("byte changed") << flipped << kDamaged;
        QTest::newRow("bytes added") << good + "x" << kDamaged;

        // Content the checksum accepts but the layout does not.
        auto content = [&](const char* name, const std::function<void(QByteArray&)>& change) {
            QByteArray p = payload;
            change(p);
            QTest::newRow(name) << Signed(p) << kDamaged;
        };
        content("no rows", [](QByteArray& p) { PutU32(p, 0, 0); });
        content("too many columns", [](QByteArray& p) { PutU32(p, 4, kMaxSheetLines + 1); });
        content("format count beyond the bytes", [](QByteArray& p) { PutU32(p, 8, 60000); });
        content("format count beyond its bound", [](QByteArray& p) { PutU32(p, 8, 0xFFFFFFFF); });
        content("default format changed", [](QByteArray& p) { p[12] = 1; });
        content("unknown flag", [](QByteArray& p) { p[12 + 16] = char(0x80 | p[12 + 16]); });
        content("bad alignment", [](QByteArray& p) { p[12 + 17] = 8; });
        content("trailing byte", [](QByteArray& p) { p.append('\0'); });
        content("last text cut", [](QByteArray& p) { p.chop(1); });
        content("invalid UTF-8", [](QByteArray& p) { p[p.size() - 2] = char(0xFF); });
        content("huge text length", [](QByteArray& p) {
            const QByteArray last = QStringLiteral("最后一行 \"'%\\\n").toUtf8();
            PutU32(p, p.size() - last.size() - 4, 0xFFFFFFF0);
        });
    }

    void filesAreRefusedWhole() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const SheetDocumentRead read = ReadSheetDocument(bytes);
        QCOMPARE(read.error, error);
        QVERIFY(read.document == SheetDocument{});
    }

    // Random changes to a valid payload, signed again: the reader reads them or refuses them,
    // and never reads past its input (the sanitizers watch).
    void mutatedContentNeverCrashes() {
        const QByteArray payload = Payload(WriteSheetDocument(Sample()));
        QRandomGenerator random(20261207);
        int refused = 0;
        for (int round = 0; round < 3000; ++round) {
            QByteArray p = payload;
            const int changes = 1 + random.bounded(4);
            for (int i = 0; i < changes; ++i) {
                const int at = random.bounded(int(p.size()));
                switch (random.bounded(3)) {
                    case 0:
                        p[at] = char(random.bounded(256));
                        break;
                    case 1:
                        p.truncate(at);
                        break;
                    default:
                        p.insert(at, char(random.bounded(256)));
                        break;
                }
                if (p.isEmpty()) {
                    break;
                }
            }
            const SheetDocumentRead read = ReadSheetDocument(Signed(p));
            refused += read.ok() ? 0 : 1;
            QVERIFY(read.ok() || read.error == sheet_format_error::kDamaged);
        }
        QVERIFY(refused > 2000);
    }
};

QTEST_GUILESS_MAIN(TestSheetFormat)
#include "test_sheet_format.moc"
