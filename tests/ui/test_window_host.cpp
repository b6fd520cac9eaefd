#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "support/modal_driver.h"
#include "ui/window_host.h"

using ui::WindowHost;

namespace {

class PlainWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlainWindow(const QString& name = QStringLiteral("Form3")) { setObjectName(name); }
};

class InnerWindow : public QWidget {
    Q_OBJECT
public:
    InnerWindow() { setObjectName(QStringLiteral("Form15")); }
};

// Opens the inner window modally from a button, as a window opens a phrase list.
class OuterWindow : public QWidget {
    Q_OBJECT
public:
    OuterWindow()
        : Command1(new QPushButton(QStringLiteral("常用语"), this)), Label1(new QLabel(this)) {
        setObjectName(QStringLiteral("Form14"));
        connect(Command1, &QPushButton::clicked, this, &OuterWindow::Command1_Click);
    }
    QPushButton* Command1;
    QLabel* Label1;

private:
    void Command1_Click() {
        WindowHost::show(WindowHost::instance<InnerWindow>(), WindowHost::Mode::Modal);
        Label1->setText(QStringLiteral("back"));
    }
};

}  // namespace

class TestWindowHost : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void singleInstance();
    void nestedModalWithDriver();
    void modalLoopEndsWhenWindowGoes_data();
    void modalLoopEndsWhenWindowGoes();
    void keyboardReturnsToTheOpener_data();
    void keyboardReturnsToTheOpener();
};

void TestWindowHost::cleanup() {
    for (QWidget* window : QApplication::topLevelWidgets())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestWindowHost::singleInstance() {
    QCOMPARE(WindowHost::find<PlainWindow>(), nullptr);

    PlainWindow* first = WindowHost::instance<PlainWindow>();
    QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
    // Made but not yet shown already counts, so a second request cannot make a twin.
    QCOMPARE(WindowHost::instance<PlainWindow>(), first);
    WindowHost::show(first, WindowHost::Mode::Modeless);
    QVERIFY(first->isVisible());
    QCOMPARE(WindowHost::instance<PlainWindow>(), first);
    QCOMPARE(WindowHost::find<PlainWindow>(), first);
    QCOMPARE(WindowHost::findNamed(QStringLiteral("Form3")), first);

    // Closed is gone, even while the deletion is still pending.
    QPointer<PlainWindow> closed(first);
    QVERIFY(first->close());
    QVERIFY(closed);
    QCOMPARE(WindowHost::find<PlainWindow>(), nullptr);
    PlainWindow* second = WindowHost::instance<PlainWindow>();
    QVERIFY(second != closed.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(closed.isNull());
    QCOMPARE(WindowHost::find<PlainWindow>(), second);

    // One class serving several windows: one instance per objectName.
    auto* other =
        WindowHost::instanceNamed<PlainWindow>(QStringLiteral("Form16"), QStringLiteral("Form16"));
    QVERIFY(other != second);
    QCOMPARE(WindowHost::instanceNamed<PlainWindow>(QStringLiteral("Form16")), other);
    QCOMPARE(WindowHost::find<OuterWindow>(), nullptr);
}

void TestWindowHost::nestedModalWithDriver() {
    QStringList steps;
    QPointer<OuterWindow> outerSeen;
    ScopedModalDriver driver([&](QWidget* window) {
        steps.append(window->objectName());
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowModality(), Qt::ApplicationModal);
        if (auto* outer = qobject_cast<OuterWindow*>(window)) {
            outerSeen = outer;
            QTest::mouseClick(outer->Command1, Qt::LeftButton);
            // The inner window has come and gone before the click returns.
            QCOMPARE(outer->Label1->text(), QStringLiteral("back"));
            QCOMPARE(WindowHost::find<InnerWindow>(), nullptr);
            steps.append(QStringLiteral("back in Form14"));
        } else {
            QCOMPARE(WindowHost::find<InnerWindow>(), window);
            QVERIFY(WindowHost::find<OuterWindow>() != nullptr);
        }
    });
    WindowHost::show(WindowHost::instance<OuterWindow>(), WindowHost::Mode::Modal);
    QCOMPARE(steps, (QStringList{QStringLiteral("Form14"), QStringLiteral("Form15"),
                                 QStringLiteral("back in Form14")}));
    QVERIFY(outerSeen);
    QVERIFY(!outerSeen->isVisible());
    QCOMPARE(WindowHost::find<OuterWindow>(), nullptr);
}

void TestWindowHost::modalLoopEndsWhenWindowGoes_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("closed") << "close";
    QTest::newRow("hidden by its own code") << "hide";
    QTest::newRow("deleted") << "delete";
}

// Without a driver a modal window runs its own event loop until it goes away.
void TestWindowHost::modalLoopEndsWhenWindowGoes() {
    QFETCH(QString, how);
    QPointer<PlainWindow> window = WindowHost::instance<PlainWindow>();
    const void* const shown = window.data();
    const void* modalDuringLoop = nullptr;
    QTimer::singleShot(20, window, [&] {
        modalDuringLoop = QApplication::activeModalWidget();
        if (how == QLatin1String("close"))
            window->close();
        else if (how == QLatin1String("hide"))
            window->hide();
        else
            window->deleteLater();
    });
    WindowHost::show(window, WindowHost::Mode::Modal);
    QCOMPARE(modalDuringLoop, shown);
    if (window) {
        QVERIFY(!window->isVisible());
        // A hidden window shown again later is no longer modal.
        QCOMPARE(window->windowModality(), Qt::NonModal);
    }
}

void TestWindowHost::keyboardReturnsToTheOpener_data() {
    QTest::addColumn<bool>("driven");
    QTest::newRow("own event loop") << false;
    QTest::newRow("test driver") << true;
}

// Once a modal window is gone, the window that opened it is active again and the control that
// had the keyboard has it again, so typing goes on where it was.
void TestWindowHost::keyboardReturnsToTheOpener() {
    QFETCH(bool, driven);
    auto* opener = WindowHost::instance<OuterWindow>();
    auto* box = new QLineEdit(opener);
    box->setObjectName(QStringLiteral("Text1"));
    box->move(0, 40);
    WindowHost::show(opener, WindowHost::Mode::Modeless);
    QVERIFY(QTest::qWaitForWindowActive(opener));
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), box);

    QPointer<PlainWindow> modal = WindowHost::instance<PlainWindow>();
    auto* field = new QLineEdit(modal);
    std::unique_ptr<ScopedModalDriver> driver;
    if (driven) {
        driver = std::make_unique<ScopedModalDriver>([&](QWidget* window) {
            QVERIFY(QTest::qWaitForWindowActive(window));
            field->setFocus();
        });
    } else {
        QTimer::singleShot(50, modal, [&] {
            field->setFocus();
            modal->close();
        });
    }
    WindowHost::show(modal, WindowHost::Mode::Modal);
    QTRY_COMPARE(QApplication::activeWindow(), opener);
    QCOMPARE(QApplication::focusWidget(), box);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QCOMPARE(box->text(), QStringLiteral("abc"));
}

QTEST_MAIN(TestWindowHost)
#include "test_window_host.moc"
