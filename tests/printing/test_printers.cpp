#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>
#include <memory>

#include "printing/printer_record.h"
#include "printing/printers.h"
#include "support/cups_server.h"

namespace {

const PrinterRecord::Place kPlace{QStringLiteral("ruvaso-test"), QStringLiteral("printers")};

}  // namespace

class TestPrinters : public QObject {
    Q_OBJECT

    std::unique_ptr<CupsServer> cups_;

    QString text(const QString& name) const {
        return name + QStringLiteral(",Ruvaso Test Printer,file:") + cups_->outputFile(name);
    }

    void addQueues(const QStringList& names) {
        for (const QString& name : names) {
            QVERIFY2(cups_->addQueue(name), qPrintable(cups_->message()));
        }
    }

    // The default as another program sees it.
    QString lpstatDefault() {
        QString out;
        cups_->run(QStringLiteral("lpstat"), {QStringLiteral("-d")}, &out);
        return out.trimmed();
    }

    QString userOptions() const {
        QFile file(cups_->homeDir() + QStringLiteral("/.cups/lpoptions"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase() {
        cups_ = std::make_unique<CupsServer>();
        QVERIFY2(cups_->ok(), qPrintable(cups_->message()));
    }
    void cleanupTestCase() { cups_.reset(); }
    void init() {
        QVERIFY2(cups_->reset(), qPrintable(cups_->message()));
        QSettings(kPlace.organization, kPlace.application).clear();
    }

    void listsEveryDestination() {
        QVERIFY(ListPrinters().isEmpty());
        QVERIFY(DefaultPrinterText().isEmpty());
        addQueues({QStringLiteral("gamma"), QStringLiteral("Beta"), QStringLiteral("alpha")});
        QStringList texts;
        for (const Printer& printer : ListPrinters()) {
            texts << printer.text();
        }
        QCOMPARE(texts, QStringList({text(QStringLiteral("alpha")), text(QStringLiteral("Beta")),
                                     text(QStringLiteral("gamma"))}));
    }

    void readsTheDefault_data() {
        QTest::addColumn<QString>("serverDefault");
        QTest::addColumn<QString>("userChoice");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << ""
                              << ""
                              << "";
        QTest::newRow("the server's") << "Beta"
                                      << ""
                                      << "Beta";
        QTest::newRow("the user's first") << "Beta"
                                          << "gamma"
                                          << "gamma";
    }
    void readsTheDefault() {
        QFETCH(QString, serverDefault);
        QFETCH(QString, userChoice);
        QFETCH(QString, expected);
        addQueues({QStringLiteral("alpha"), QStringLiteral("Beta"), QStringLiteral("gamma")});
        if (!serverDefault.isEmpty()) {
            QVERIFY2(cups_->setServerDefault(serverDefault), qPrintable(cups_->message()));
        }
        if (!userChoice.isEmpty()) {
            QVERIFY2(cups_->run(QStringLiteral("lpoptions"), {QStringLiteral("-d"), userChoice}),
                     qPrintable(cups_->message()));
        }
        QCOMPARE(DefaultPrinterText(), expected.isEmpty() ? QString() : text(expected));
    }

    void setsTheUsersDefault() {
        addQueues({QStringLiteral("alpha"), QStringLiteral("Beta")});
        QVERIFY2(cups_->setServerDefault(QStringLiteral("Beta")), qPrintable(cups_->message()));
        // An option the user saved for another printer must survive the change.
        QVERIFY(cups_->run(QStringLiteral("lpoptions"),
                           {QStringLiteral("-p"), QStringLiteral("Beta"), QStringLiteral("-o"),
                            QStringLiteral("media=Letter")}));

        const PrinterChange change = SetDefaultPrinter(text(QStringLiteral("alpha")));
        QVERIFY2(change.ok, qPrintable(change.error));
        QCOMPARE(DefaultPrinterText(), text(QStringLiteral("alpha")));
        QCOMPARE(lpstatDefault(), QStringLiteral("system default destination: alpha"));
        QVERIFY2(userOptions().contains(QStringLiteral("Default alpha")),
                 qPrintable(userOptions()));
        QVERIFY2(userOptions().contains(QStringLiteral("media=Letter")), qPrintable(userOptions()));

        // Taking the choice back leaves the server's default in force.
        QVERIFY(SetDefaultPrinter(QString()).ok);
        QCOMPARE(DefaultPrinterText(), text(QStringLiteral("Beta")));
        QVERIFY(!userOptions().contains(QStringLiteral("Default")));
        QVERIFY(userOptions().contains(QStringLiteral("media=Letter")));
    }

    void refusesAnUnknownPrinter_data() {
        QTest::addColumn<QString>("wanted");
        QTest::newRow("removed queue") << text(QStringLiteral("gone"));
        QTest::newRow("changed device") << "alpha,Ruvaso Test Printer,file:/dev/null";
        QTest::newRow("name only") << "alpha";
    }
    void refusesAnUnknownPrinter() {
        QFETCH(QString, wanted);
        addQueues({QStringLiteral("alpha"), QStringLiteral("gone")});
        QVERIFY(cups_->run(QStringLiteral("lpoptions"),
                           {QStringLiteral("-d"), QStringLiteral("alpha")}));
        QVERIFY(cups_->removeQueue(QStringLiteral("gone")));

        const PrinterChange change = SetDefaultPrinter(wanted);
        QVERIFY(!change.ok);
        QVERIFY(change.error.contains(wanted));
        QCOMPARE(DefaultPrinterText(), text(QStringLiteral("alpha")));
    }

    void recordStartsEmptyAndKeepsWhatIsWritten() {
        PrinterRecord record(kPlace);
        QCOMPARE(record.printerName(), QString());
        QCOMPARE(record.shutdownProperly(), QString());
        QVERIFY(!record.confirm());

        record.setPrinterName(QStringLiteral("甲,型号,file:/tmp/甲.out"));
        record.setShutdownProperly(false);
        record.setConfirm(true);
        // A fresh reader, as the next run of the program would be, and the values as stored.
        const PrinterRecord again(kPlace);
        QCOMPARE(again.printerName(), QStringLiteral("甲,型号,file:/tmp/甲.out"));
        QCOMPARE(again.shutdownProperly(), QStringLiteral("0"));
        QVERIFY(again.confirm());
        const QSettings stored(kPlace.organization, kPlace.application);
        QCOMPARE(stored.value(QStringLiteral("Shutdown Properly")).toString(), QStringLiteral("0"));
        QCOMPARE(stored.value(QStringLiteral("Confirm")).toString(), QStringLiteral("1"));
        QVERIFY(stored.fileName().startsWith(cups_->homeDir()));
        // Another place holds another record.
        QCOMPARE(PrinterRecord({kPlace.organization, QStringLiteral("other")}).printerName(),
                 QString());
    }

    void offersTheRecordedPrinterBack_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shutdown");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("offered");
        QTest::newRow("first run") << ""
                                   << ""
                                   << "B"
                                   << "";
        QTest::newRow("closed properly") << "A"
                                         << "1"
                                         << "B"
                                         << "";
        QTest::newRow("never closed") << "A"
                                      << "0"
                                      << "B"
                                      << "A";
        QTest::newRow("never closed, no default now") << "A"
                                                      << "0"
                                                      << ""
                                                      << "A";
        QTest::newRow("never closed, unchanged") << "A"
                                                 << "0"
                                                 << "A"
                                                 << "";
        QTest::newRow("never closed, nothing recorded") << ""
                                                        << "0"
                                                        << "B"
                                                        << "";
        QTest::newRow("unknown mark") << "A"
                                      << "x"
                                      << "B"
                                      << "";
    }
    void offersTheRecordedPrinterBack() {
        QFETCH(QString, saved);
        QFETCH(QString, shutdown);
        QFETCH(QString, current);
        QFETCH(QString, offered);
        QSettings settings(kPlace.organization, kPlace.application);
        if (!saved.isEmpty()) {
            settings.setValue(QStringLiteral("Printer Name"), saved);
        }
        if (!shutdown.isEmpty()) {
            settings.setValue(QStringLiteral("Shutdown Properly"), shutdown);
        }
        settings.sync();
        QCOMPARE(PrinterRecord(kPlace).printerToRestore(current), offered);
    }
};

QTEST_GUILESS_MAIN(TestPrinters)
#include "test_printers.moc"
