#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "app/login_window.h"
#include "import/import_help_window.h"
#include "support/window_test.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

using ui::WindowHost;

namespace {

using IconOf = std::function<QIcon()>;

// The icon the window system was given for the window.
QIcon ShownIcon(QWidget* window) {
    return window->windowHandle() != nullptr ? window->windowHandle()->icon() : QIcon();
}

// A title bar asks for 16 px, a task switcher for up to 256 px: the icon has every size the
// build renders, each as drawn rather than scaled from another.
QList<QSize> RenderedSizes() {
    QList<QSize> sizes;
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        sizes.append(QSize(side, side));
    }
    return sizes;
}

}  // namespace

// Every window of the program carries its icon, and the desktop can match the windows to the
// menu entry.
class TestApplicationIcon : public WindowTest {
    Q_OBJECT

private slots:
    void namesDesktopEntry() {
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("com.ruvaso.Ruvaso"));
    }

    void windowsCarryIcon_data() {
        QTest::addColumn<IconOf>("iconOf");
        QTest::newRow("top-level window") << IconOf([] {
            auto* window = WindowHost::instance<LoginWindow>();
            WindowHost::show(window, WindowHost::Mode::Modeless);
            return QTest::qWaitForWindowExposed(window) ? ShownIcon(window) : QIcon();
        });
        QTest::newRow("modal window") << IconOf([] {
            QIcon seen;
            const WindowHost::ModalDriver previous =
                WindowHost::setModalDriver([&seen](QWidget* window) { seen = ShownIcon(window); });
            WindowHost::show(WindowHost::instance<ImportHelpWindow>(), WindowHost::Mode::Modal);
            WindowHost::setModalDriver(previous);
            return seen;
        });
        QTest::newRow("message box") << IconOf([] {
            // The real dialog, not a scripted answer: closed as soon as it is up.
            const ui::MessageBox::Handler previous = ui::MessageBox::setScriptHandler({});
            QIcon seen;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&seen] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    seen = ShownIcon(box);
                    box->reject();
                }
            });
            poll.start(10);
            ui::MessageBox::show(nullptr, QStringLiteral("系统提示"), QStringLiteral("测试"),
                                 ui::MessageBox::Icon::Information, ui::MessageBox::Buttons::Ok);
            ui::MessageBox::setScriptHandler(previous);
            return seen;
        });
    }
    void windowsCarryIcon() {
        QFETCH(IconOf, iconOf);
        const QIcon icon = iconOf();
        QVERIFY(!icon.isNull());
        QList<QSize> sizes = icon.availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
        QCOMPARE(sizes, RenderedSizes());
        for (const QSize& size : RenderedSizes()) {
            QCOMPARE(icon.pixmap(size).size(), size);
        }
    }
};

QTEST_MAIN(TestApplicationIcon)
#include "test_application_icon.moc"
