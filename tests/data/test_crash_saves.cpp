#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>

#include "core/clock.h"
#include "data/database.h"
#include "import/customer_import.h"
#include "repairs/order_entry.h"
#include "support/database_fixture.h"

// The program killed at any moment while it saves orders and imports customers: the file it
// leaves is sound, every save it had been told was done is there, and each save is whole.

namespace {

const QString kPlate = QStringLiteral("京A12345");
const char* const kChildFlag = "--crash-child";
constexpr int kLinesPerOrder = 3;
constexpr int kRowsPerImport = 500;
// One import between so many orders.
constexpr int kOrdersPerImport = 5;

// The plate of an imported row names its import: "导7X42".
QString ImportedPlate(int import, int row) {
    return QStringLiteral("导%1X%2").arg(import).arg(row);
}

SheetRows ImportRows(int import) {
    SheetRows rows;
    for (int r = 0; r < kRowsPerImport; ++r) {
        SheetRow row;
        row[kReminderDateColumn] = QStringLiteral("2026-03-01");
        row[kPlateColumn] = ImportedPlate(import, r);
        row[kOwnerColumn] = QStringLiteral("车主%1").arg(r);
        row[kSexColumn] = QStringLiteral("先生");
        row[kTelephoneColumn] = QStringLiteral("13800000000");
        row[kEntryDateColumn] = QStringLiteral("2025-12-31");
        row[kIdentityColumn] = QStringLiteral("110101199003071234");
        row[kModelColumn] = QStringLiteral("捷达");
        rows.push_back(row);
    }
    return rows;
}

Order NumberedOrder(int sequence) {
    Order order =
        TestDatabase::sampleOrder(OrderDatePart(QDate(2026, 3, 1)) +
                                      QStringLiteral("%1").arg(sequence, 5, 10, QLatin1Char('0')),
                                  kPlate, 0);
    for (int i = 0; i < kLinesPerOrder; ++i) {
        order.lines.append({QStringLiteral("项目%1").arg(i), QStringLiteral("说明"), 1, 10, 10});
        order.total += 10;
    }
    return order;
}

void Tell(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The child: saves orders and imports until it is killed, and says so after each save that was
// reported done.
int RunChild(const QString& dir) {
    const Database::OpenResult opened = Database::Open(dir);
    if (!opened.ok) {
        Tell("error " + opened.message.toUtf8());
        return 2;
    }
    Tell("ready");
    for (int n = 1;; ++n) {
        if (n % kOrdersPerImport == 0) {
            const int import = n / kOrdersPerImport;
            Tell("importing " + QByteArray::number(import));
            const ImportResult result = ImportSheet(ImportRows(import));
            if (result.outcome != ImportResult::Outcome::Imported) {
                Tell("error import " + result.message.toUtf8());
                return 3;
            }
            Tell("import " + QByteArray::number(import));
        }
        const Order order = NumberedOrder(n);
        const DbResult<OrderSave> saved = SaveOrder(order);
        if (!saved || *saved != OrderSave::Saved) {
            Tell("error order " + saved.error().toUtf8());
            return 3;
        }
        Tell("order " + order.number.toUtf8());
    }
}

int Scalar(const QString& statement, const QVariantList& params = {}) {
    return TestDatabase::scalar(statement, params).toInt();
}

}  // namespace

class TestCrashSaves : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedAtRandomMomentsKeepsEveryReportedSave() {
        const int trials = qEnvironmentVariableIsSet("RUVASO_CRASH_TRIALS")
                               ? qEnvironmentVariableIntValue("RUVASO_CRASH_TRIALS")
                               : 50;
        QRandomGenerator random(20261206);
        int ordersSeen = 0;
        int importsSeen = 0;
        int killedMidImport = 0;
        int killedInImport = 0;
        for (int trial = 0; trial < trials; ++trial) {
            TestDatabase db;
            QVERIFY2(db.ok(), qPrintable(db.message()));
            TestDatabase::addCustomer(TestDatabase::sampleCustomer(QStringLiteral("{C1}"), kPlate,
                                                                   QStringLiteral("张三")));
            Database::Close();

            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(kChildFlag), db.dir()});
            QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
            QByteArray said;
            QElapsedTimer clock;
            clock.start();
            while (!said.startsWith("ready") && clock.elapsed() < 30000 &&
                   child.state() == QProcess::Running) {
                child.waitForReadyRead(20);
                said += child.readAllStandardOutput();
            }
            QVERIFY2(said.startsWith("ready"), said.constData());
            // Kill it somewhere in the next few hundred saves.
            const qint64 lifetime = random.bounded(400);
            clock.restart();
            while (clock.elapsed() < lifetime && child.state() == QProcess::Running) {
                child.waitForReadyRead(5);
                said += child.readAllStandardOutput();
            }
            ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished();
            said += child.readAllStandardOutput();
            QVERIFY2(!said.contains("error"), said.constData());

            const Database::OpenResult opened = Database::Open(db.dir());
            QVERIFY2(opened.ok, qPrintable(opened.message));
            QCOMPARE(TestDatabase::scalar(QStringLiteral("pragma integrity_check")).toString(),
                     QStringLiteral("ok"));
            // No order without its lines, no line without its order.
            QCOMPARE(Scalar(QStringLiteral(
                                "select count(*) from kh_wx_table h where (select count(*) from "
                                "kh_wx_mx_table l where l.kh_wx_mx_dh = h.kh_wx_dh) <> ?"),
                            {kLinesPerOrder}),
                     0);
            QCOMPARE(Scalar(QStringLiteral(
                         "select count(*) from kh_wx_mx_table l where not exists (select 1 from "
                         "kh_wx_table h where h.kh_wx_dh = l.kh_wx_mx_dh)")),
                     0);
            // Each import whole or absent.
            QCOMPARE(
                Scalar(QStringLiteral(
                           "select count(*) from (select substr(kh_cph, 1, instr(kh_cph, 'X')) as "
                           "import, count(*) as n from kh_table where kh_cph like '导%' group by "
                           "import) where n <> ?"),
                       {kRowsPerImport}),
                0);
            const int importsStored = Scalar(QStringLiteral(
                "select count(distinct substr(kh_cph, 1, instr(kh_cph, 'X'))) from kh_table "
                "where kh_cph like '导%'"));
            int importsReported = 0;
            bool importing = false;
            for (const QByteArray& line : said.split('\n')) {
                importing = line.startsWith("importing ") || (importing && line.isEmpty());
                if (line.startsWith("order ")) {
                    ++ordersSeen;
                    QVERIFY2(Scalar(QStringLiteral("select count(*) from kh_wx_table where "
                                                   "kh_wx_dh = ?"),
                                    {QString::fromUtf8(line.mid(6))}) == 1,
                             line.constData());
                } else if (line.startsWith("import ")) {
                    ++importsSeen;
                    ++importsReported;
                    const int import = line.mid(7).toInt();
                    QVERIFY2(
                        Scalar(QStringLiteral("select count(*) from kh_table where kh_cph = ?"),
                               {ImportedPlate(import, kRowsPerImport - 1)}) == 1,
                        line.constData());
                }
            }
            // At most the one import under way when the kill came is stored unreported.
            QVERIFY(importsStored == importsReported || importsStored == importsReported + 1);
            killedMidImport += importsStored - importsReported;
            killedInImport += importing ? 1 : 0;
            Database::Close();
        }
        qInfo(
            "%d trials; %d orders and %d imports reported saved were all found; %d kills came "
            "during an import, %d of them after its commit",
            trials, ordersSeen, importsSeen, killedInImport, killedMidImport);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], kChildFlag) == 0) {
        QCoreApplication app(argc, argv);
        return RunChild(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestCrashSaves test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash_saves.moc"
