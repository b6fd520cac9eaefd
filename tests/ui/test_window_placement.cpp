#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <functional>

#include "app/login_window.h"
#include "app/main_window.h"
#include "customers/customer_entry_window.h"
#include "followup/call_history_window.h"
#include "followup/call_record_window.h"
#include "import/import_window.h"
#include "masterdata/backup_window.h"
#include "masterdata/password_change_window.h"
#include "masterdata/restore_window.h"
#include "masterdata/shop_profile_window.h"
#include "masterdata/system_panel_window.h"
#include "printing/default_printer_window.h"
#include "repairs/order_entry_window.h"
#include "repairs/repair_history_window.h"
#include "repairs/slip_preview_window.h"
#include "reports/report_preview.h"
#include "reports/statistics_window.h"
#include "support/window_test.h"
#include "support/windows.h"
#include "ui/window_host.h"
#include "ui/window_placement.h"

using ui::PlacedGeometry;
using ui::WindowHost;

namespace {

using Factory = std::function<QWidget*()>;

// The screen the tests run on: the free area of a 1366×768 screen above a 40-pixel taskbar.
QRect Available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

bool Inside(const QRect& outer, const QRect& inner) {
    return outer.contains(inner.topLeft()) && outer.contains(inner.bottomRight());
}

QString Describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

class Plain : public QWidget {
public:
    explicit Plain(const QString& name, QSize size = QSize(400, 300)) {
        setObjectName(name);
        resize(size);
    }
};

}  // namespace

class TestWindowPlacement : public WindowTest {
    Q_OBJECT

    QTemporaryDir home_;

private slots:
    void initTestCase() {
        WindowTest::initTestCase();
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path()));
        QCOMPARE(Available().size(), QSize(1366, 728));
    }
    void init() {
        WindowTest::init();
        ui::SetWindowMemoryPlace({});
    }

    void rule_data() {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QPoint>("centre");
        QTest::addColumn<QRect>("expected");
        const QMargins frame(4, 30, 4, 4);
        QTest::newRow("centred") << QSize(400, 300) << QSize() << QMargins() << QPoint(683, 364)
                                 << QRect(484, 215, 400, 300);
        QTest::newRow("centred with its frame")
            << QSize(400, 300) << QSize() << frame << QPoint(683, 364) << QRect(484, 228, 400, 300);
        QTest::newRow("pushed in from the right and bottom")
            << QSize(400, 300) << QSize() << frame << QPoint(1300, 700)
            << QRect(1366 - 4 - 400, 728 - 4 - 300, 400, 300);
        QTest::newRow("pushed in from the left and top")
            << QSize(400, 300) << QSize() << frame << QPoint(10, 10) << QRect(4, 30, 400, 300);
        QTest::newRow("larger than the screen shrinks to it")
            << QSize(1280, 800) << QSize(600, 400) << frame << QPoint(683, 364)
            << QRect(44, 30, 1280, 728 - 34);
        QTest::newRow("a least size above the screen starts at its corner")
            << QSize(1280, 800) << QSize(600, 900) << frame << QPoint(683, 364)
            << QRect(44, 30, 1280, 900);
    }
    void rule() {
        QFETCH(QSize, wanted);
        QFETCH(QSize, minimum);
        QFETCH(QMargins, frame);
        QFETCH(QPoint, centre);
        QFETCH(QRect, expected);
        QCOMPARE(PlacedGeometry(wanted, minimum, frame, QRect(0, 0, 1366, 728), centre), expected);
    }

    // A window opened from another is its transient child, centred on it, and stays on screen
    // when its opener sits at the edge.
    void childCentredOnOpener() {
        auto* opener = WindowHost::instanceNamed<Plain>(QStringLiteral("Opener"),
                                                        QStringLiteral("Opener"), QSize(600, 400));
        WindowHost::show(opener, WindowHost::Mode::Modeless);
        opener->move(100, 80);
        QVERIFY(QTest::qWaitForWindowExposed(opener));
        opener->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), opener);

        auto* child = WindowHost::instanceNamed<Plain>(QStringLiteral("Child"),
                                                       QStringLiteral("Child"), QSize(300, 200));
        WindowHost::show(child, WindowHost::Mode::Modeless);
        QVERIFY(QTest::qWaitForWindowExposed(child));
        QVERIFY(child->windowHandle() != nullptr);
        QCOMPARE(child->windowHandle()->transientParent(), opener->windowHandle());
        QCOMPARE(child->windowType(), Qt::Dialog);
        QVERIFY2((child->frameGeometry().center() - opener->frameGeometry().center())
                         .manhattanLength() <= 2,
                 qPrintable(Describe(child->frameGeometry())));
        child->close();

        opener->move(Available().right() - 200, Available().bottom() - 100);
        auto* edge = WindowHost::instanceNamed<Plain>(QStringLiteral("Edge"),
                                                      QStringLiteral("Edge"), QSize(500, 400));
        opener->activateWindow();
        WindowHost::show(edge, WindowHost::Mode::Modeless);
        QVERIFY(QTest::qWaitForWindowExposed(edge));
        QVERIFY2(Inside(Available(), edge->frameGeometry()),
                 qPrintable(Describe(edge->frameGeometry())));
    }

    // Size and position relative to the opener come back in the next run; a window without an
    // opener comes back where it was.
    void rememberedBetweenRuns() {
        ui::SetWindowMemoryPlace({QStringLiteral("ruvaso-test"), QStringLiteral("windows")});
        QSettings(QStringLiteral("ruvaso-test"), QStringLiteral("windows")).clear();

        auto* top = new Plain(QStringLiteral("Top"), QSize(700, 500));
        top->setAttribute(Qt::WA_DeleteOnClose);
        ui::PlaceWindow(top, nullptr);
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
        top->move(50, 60);
        top->resize(720, 520);

        auto* child = WindowHost::instanceNamed<Plain>(QStringLiteral("Child"),
                                                       QStringLiteral("Child"), QSize(300, 200));
        top->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), top);
        WindowHost::show(child, WindowHost::Mode::Modeless);
        QVERIFY(QTest::qWaitForWindowExposed(child));
        child->resize(350, 260);
        child->move(child->pos() + QPoint(40, -30));
        const QPoint offset = child->frameGeometry().center() - top->frameGeometry().center();
        child->close();
        top->close();
        CloseAllWindows();

        auto* again = new Plain(QStringLiteral("Top"), QSize(700, 500));
        again->setAttribute(Qt::WA_DeleteOnClose);
        ui::PlaceWindow(again, nullptr);
        again->show();
        QVERIFY(QTest::qWaitForWindowExposed(again));
        QCOMPARE(again->size(), QSize(720, 520));
        QCOMPARE(again->frameGeometry().topLeft(), QPoint(50, 60));

        again->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), again);
        auto* childAgain = WindowHost::instanceNamed<Plain>(
            QStringLiteral("Child"), QStringLiteral("Child"), QSize(300, 200));
        WindowHost::show(childAgain, WindowHost::Mode::Modeless);
        QVERIFY(QTest::qWaitForWindowExposed(childAgain));
        QCOMPARE(childAgain->size(), QSize(350, 260));
        QCOMPARE(childAgain->frameGeometry().center() - again->frameGeometry().center(), offset);
    }

    // Every window of the program fits the shop's screen, frame included, at no less than the
    // size its contents need.
    void everyWindowFits_data() {
        QTest::addColumn<Factory>("make");
        QTest::newRow("login") << Factory([] { return new LoginWindow; });
        QTest::newRow("main") << Factory([] { return new MainWindow; });
        QTest::newRow("customer entry") << Factory([] { return new CustomerEntryWindow; });
        QTest::newRow("call record") << Factory([] { return new CallRecordWindow; });
        QTest::newRow("call history") << Factory([] { return new CallHistoryWindow; });
        QTest::newRow("order entry") << Factory([] { return new OrderEntryWindow; });
        QTest::newRow("repair history") << Factory([] { return new RepairHistoryWindow; });
        QTest::newRow("slip preview") << Factory([] { return new SlipPreviewWindow; });
        QTest::newRow("turnover statistics")
            << Factory([] { return new StatisticsWindow(StatisticsKind::Turnover); });
        QTest::newRow("item statistics")
            << Factory([] { return new StatisticsWindow(StatisticsKind::ItemDetail); });
        QTest::newRow("technician statistics")
            << Factory([] { return new StatisticsWindow(StatisticsKind::Technician); });
        QTest::newRow("report preview") << Factory([] { return new ReportPreview; });
        QTest::newRow("import") << Factory([] { return new ImportWindow; });
        QTest::newRow("system panel") << Factory([] { return new SystemPanelWindow; });
        QTest::newRow("password") << Factory([] { return new PasswordChangeWindow; });
        QTest::newRow("restore") << Factory([] { return new RestoreWindow; });
        QTest::newRow("backup") << Factory([] { return new BackupWindow; });
        QTest::newRow("shop profile") << Factory([] { return new ShopProfileWindow; });
    }
    void everyWindowFits() {
        QFETCH(Factory, make);
        QWidget* window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
        ui::PlaceWindow(window, nullptr);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QRect frame = window->frameGeometry();
        QVERIFY2(Inside(Available(), frame), qPrintable(Describe(frame)));
        const QSize needed = window->minimumSizeHint();
        QVERIFY2(!needed.isValid() ||
                     (window->width() >= needed.width() && window->height() >= needed.height()),
                 qPrintable(QStringLiteral("%1 needs %2×%3")
                                .arg(Describe(window->geometry()))
                                .arg(needed.width())
                                .arg(needed.height())));
    }
};

QTEST_MAIN(TestWindowPlacement)
#include "test_window_placement.moc"
