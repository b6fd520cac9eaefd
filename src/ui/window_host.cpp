#include "ui/window_host.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

#include "ui/window_placement.h"

namespace ui {

namespace {

WindowHost::ModalDriver& Driver() {
    static WindowHost::ModalDriver driver;
    return driver;
}

// Ends the modal loop once the window is hidden for good (closed or hidden by its own code);
// minimising keeps it visible and the loop running.
class HideWatcher : public QObject {
public:
    HideWatcher(QWidget* window, QEventLoop* loop) : QObject(window), window_(window), loop_(loop) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Hide && !window_->isVisible())
            loop_->quit();
        return false;
    }

private:
    QWidget* window_;
    QEventLoop* loop_;
};

// A window that was already open comes back in front; a new one is shown in front anyway.
void ShowInFront(QWidget* window) {
    const bool wasOpen = window->isVisible();
    if (!wasOpen) {
        PlaceWindow(window, LikelyOpener(window));
    }
    if (window->isMinimized())
        window->showNormal();
    window->show();
    if (wasOpen)
        window->raise();
    window->activateWindow();
}

void ReturnFocus(QWidget* opener, QWidget* focused) {
    if (opener->isMinimized())
        opener->showNormal();
    opener->raise();
    opener->activateWindow();
    if (focused && focused->window() == opener && focused->isVisible() && focused->isEnabled())
        focused->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace

void WindowHost::adopt(QWidget* window) {
    window->setWindowFlag(Qt::Window, true);
    window->setAttribute(Qt::WA_DeleteOnClose, true);
}

QWidgetList WindowHost::openWindows() {
    // A closed window that is waiting for deletion has had its delete-on-close flag cleared by
    // Qt and is hidden; a window made here but not yet shown still has the flag.
    QWidgetList open;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() || window->testAttribute(Qt::WA_DeleteOnClose))
            open.append(window);
    }
    return open;
}

QWidget* WindowHost::findNamed(const QString& objectName) {
    for (QWidget* window : openWindows()) {
        if (window->objectName() == objectName)
            return window;
    }
    return nullptr;
}

void WindowHost::show(QWidget* window, Mode mode) {
    if (window == nullptr)
        return;
    if (mode == Mode::Modeless || window->isVisible()) {
        ShowInFront(window);
        return;
    }

    QPointer<QWidget> guard(window);
    // Where the operator was before: the window and its control get the keyboard back, so the
    // typing that follows goes where it went before the modal window opened.
    const QPointer<QWidget> opener = LikelyOpener(window);
    const QPointer<QWidget> focused = opener ? opener->focusWidget() : nullptr;
    window->setWindowModality(Qt::ApplicationModal);
    ShowInFront(window);

    if (const ModalDriver driver = Driver()) {
        driver(window);
        if (guard && guard->isVisible())
            guard->close();
    } else {
        QEventLoop loop;
        QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
        auto* watcher = new HideWatcher(window, &loop);
        loop.exec(QEventLoop::DialogExec);
        if (guard)
            delete watcher;
    }
    // A window that was only hidden may be shown again later, then without modality.
    if (guard && !guard->isVisible())
        guard->setWindowModality(Qt::NonModal);
    if (opener && opener->isVisible() && !(guard && guard->isVisible())) {
        ReturnFocus(opener, focused);
    }
}

WindowHost::ModalDriver WindowHost::setModalDriver(ModalDriver driver) {
    return std::exchange(Driver(), std::move(driver));
}

}  // namespace ui
