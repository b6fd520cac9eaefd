#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

#include "import/sheet_file.h"

namespace {

// The workbooks of many producers, each beside what a shop sees when it opens it in a
// spreadsheet application: <name>.<ext> with <name>.expected.csv (the rows the import must
// read, as UTF-8 CSV), or with <name>.error.txt (the start of the reason it must give).
const QString kCorpus = QStringLiteral(RUVASO_TEST_DATA_DIR "/corpus");

// RFC 4180 fields: quotes around a field, doubled quotes inside; no other escapes.
QList<QStringList> ParseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
        } else if (c != QLatin1Char('\r')) {
            field += c;
            any = true;
        }
    }
    if (any) {
        row << field;
        rows << row;
    }
    return rows;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString RowText(const QStringList& cells) {
    return cells.join(QLatin1Char('|'));
}

}  // namespace

class TestWorkbookCorpus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWorkbookReadsAsItsProducerShowsIt_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QDirIterator files(kCorpus, QDir::Files, QDirIterator::Subdirectories);
        QStringList found;
        while (files.hasNext()) {
            found << files.next();
        }
        found.sort();
        for (const QString& path : found) {
            if (path.endsWith(QLatin1String(".expected.csv")) ||
                path.endsWith(QLatin1String(".error.txt"))) {
                continue;
            }
            // Scripts and notes beside the workbooks have no expectation.
            const QString base = path.section(QLatin1Char('.'), 0, -2);
            if (QFile::exists(base + QStringLiteral(".expected.csv")) ||
                QFile::exists(base + QStringLiteral(".error.txt"))) {
                QTest::newRow(qPrintable(QDir(kCorpus).relativeFilePath(path))) << path << base;
            }
        }
    }
    void everyWorkbookReadsAsItsProducerShowsIt() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        const SheetFile file = ReadSheetFile(path);
        if (QFile::exists(expected + QStringLiteral(".error.txt"))) {
            const QString reason = ReadText(expected + QStringLiteral(".error.txt")).trimmed();
            QVERIFY2(!file.ok(), "the file was read, but it should be refused");
            QVERIFY2(file.error.startsWith(reason), qPrintable(file.error));
            return;
        }
        QVERIFY2(file.ok(), qPrintable(file.error));
        const QList<QStringList> rows =
            ParseCsv(ReadText(expected + QStringLiteral(".expected.csv")));
        const qsizetype count = std::max<qsizetype>(rows.size(), qsizetype(file.rows.size()));
        for (qsizetype i = 0; i < count; ++i) {
            QStringList want = i < rows.size() ? rows[i] : QStringList();
            while (want.size() < kSheetColumnCount) {
                want << QString();
            }
            QStringList got;
            if (i < qsizetype(file.rows.size())) {
                for (const QString& text : file.rows[size_t(i)]) {
                    got << text;
                }
            }
            QVERIFY2(RowText(got) == RowText(want),
                     qPrintable(QStringLiteral("row %1: read \"%2\", expected \"%3\"")
                                    .arg(i + 1)
                                    .arg(RowText(got), RowText(want))));
        }
    }

    // The first worksheet a shop sees, and how many it sees, whatever comes before it.
    void theFirstVisibleWorksheetIsRead_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("worksheets");
        QTest::newRow("hidden first") << "openpyxl/hidden_first_sheet.xlsx"
                                      << "客户" << 2;
        QTest::newRow("chart sheet first") << "xlsxwriter/chartsheet_first.xlsx"
                                           << "客户" << 1;
        QTest::newRow("hidden, very hidden") << "variants/hidden_sheets.xlsx"
                                             << "客户" << 1;
        QTest::newRow("ids from 2") << "variants/deleted_first_sheet.xlsx"
                                    << "客户" << 2;
        QTest::newRow("ods hidden first") << "libreoffice/hidden_first_sheet.ods"
                                          << "客户" << 2;
        QTest::newRow("ods") << "libreoffice/features.ods"
                             << "客户" << 2;
    }
    void theFirstVisibleWorksheetIsRead() {
        QFETCH(QString, path);
        QFETCH(QString, sheet);
        QFETCH(int, worksheets);
        const SheetFile file = ReadSheetFile(kCorpus + QLatin1Char('/') + path);
        QVERIFY2(file.ok(), qPrintable(file.error));
        QCOMPARE(file.sheetName, sheet);
        QCOMPARE(file.worksheets, worksheets);
    }
};

QTEST_GUILESS_MAIN(TestWorkbookCorpus)
#include "test_workbook_corpus.moc"
