#include "ui/window_placement.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <optional>

namespace ui {

namespace {

const char* const kPlacedProperty = "ruvasoPlaced";

WindowMemoryPlace& MemoryPlace() {
    static WindowMemoryPlace place;
    return place;
}

QString Key(const QWidget* window, const char* name) {
    return window->objectName() + QLatin1Char('/') + QLatin1String(name);
}

bool Remembers(const QWidget* window) {
    return !MemoryPlace().application.isEmpty() && !window->objectName().isEmpty();
}

bool FixedSize(const QWidget* window) {
    return window->minimumSize() == window->maximumSize();
}

QMargins FrameOf(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

// A window not shown yet has no frame; the window manager gives it the frame its other windows
// have.
QMargins ExpectedFrame(const QWidget* opener) {
    if (opener != nullptr && opener->isVisible())
        return FrameOf(opener);
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !FrameOf(window).isNull())
            return FrameOf(window);
    }
    // The program's first window: a title bar and a thin border, as most window managers draw
    // them. Guessing a little too much only keeps the window a little further inside.
    const QStyle* style = QApplication::style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {border, style->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border};
}

QScreen* ScreenFor(const QWidget* opener, QPoint point) {
    if (opener != nullptr && opener->screen() != nullptr)
        return opener->screen();
    if (QScreen* under = QGuiApplication::screenAt(point))
        return under;
    return QGuiApplication::primaryScreen();
}

// The windows placed here, latest last, for finding the window another one was opened from when
// no window of the application is active (the window manager may not have said so yet, or a
// message box that was just closed had the focus).
QList<QPointer<QWidget>>& Placed() {
    static QList<QPointer<QWidget>> placed;
    return placed;
}

QPoint FrameCentre(const QWidget* window) {
    return window->frameGeometry().center();
}

// Saves where the operator left the window each time it is hidden, relative to the window that
// opened it when there is one.
class PlacementMemory : public QObject {
public:
    PlacementMemory(QWidget* window, QWidget* opener)
        : QObject(window), window_(window), opener_(opener) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Hide && !window_->isMinimized())
            save();
        return false;
    }

private:
    void save() {
        QSettings settings(MemoryPlace().organization, MemoryPlace().application);
        const bool maximized = window_->isMaximized();
        settings.setValue(Key(window_, "maximized"), maximized);
        if (maximized)
            return;
        if (!FixedSize(window_))
            settings.setValue(Key(window_, "size"), window_->size());
        if (opener_ == nullptr)
            settings.setValue(Key(window_, "position"), window_->frameGeometry().topLeft());
        else if (opener_->isVisible())
            settings.setValue(Key(window_, "offset"), FrameCentre(window_) - FrameCentre(opener_));
    }

    QWidget* window_;
    QPointer<QWidget> opener_;
};

}  // namespace

QRect PlacedGeometry(QSize wanted, QSize minimum, QMargins frame, const QRect& available,
                     QPoint centre) {
    const QSize room = available.marginsRemoved(frame).size();
    // A window whose least size is larger than the screen still starts at the screen's corner,
    // so its title bar can be reached.
    const QSize size = wanted.boundedTo(room).expandedTo(minimum).expandedTo(QSize(1, 1));
    QRect framed(QPoint(0, 0), size.grownBy(frame));
    framed.moveCenter(centre);
    if (framed.right() > available.right())
        framed.moveRight(available.right());
    if (framed.bottom() > available.bottom())
        framed.moveBottom(available.bottom());
    if (framed.left() < available.left())
        framed.moveLeft(available.left());
    if (framed.top() < available.top())
        framed.moveTop(available.top());
    return framed.marginsRemoved(frame);
}

void SetWindowMemoryPlace(const WindowMemoryPlace& place) {
    MemoryPlace() = place;
}

WindowMemoryPlace DefaultWindowMemoryPlace() {
    return {QStringLiteral("ruvaso"), QStringLiteral("windows")};
}

QWidget* LikelyOpener(const QWidget* window) {
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && active != window && active->isVisible())
        return active;
    QList<QPointer<QWidget>>& placed = Placed();
    placed.removeAll(nullptr);
    for (auto it = placed.crbegin(); it != placed.crend(); ++it) {
        if (*it != window && (*it)->isVisible())
            return *it;
    }
    return nullptr;
}

void PlaceWindow(QWidget* window, QWidget* opener) {
    if (window == nullptr || window->property(kPlacedProperty).toBool())
        return;
    window->setProperty(kPlacedProperty, true);
    Placed().append(window);
    if (opener != nullptr)
        opener = opener->window();
    if (opener == window || (opener != nullptr && !opener->isVisible()))
        opener = nullptr;
    if (opener != nullptr) {
        // X11 window managers only take a dialog as a transient window, so a window opened from
        // another becomes one, keeping the buttons of its title bar. Done first: changing the type
        // resets the native window.
        Qt::WindowFlags buttons = Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                  Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
        if (!FixedSize(window))
            buttons |= Qt::WindowMinMaxButtonsHint;
        const Qt::WindowFlags kept = window->windowFlags() & ~Qt::WindowType_Mask;
        window->setWindowFlags(Qt::Dialog | kept | buttons);
    }

    window->ensurePolished();
    QSize wanted = window->size();
    if (!window->testAttribute(Qt::WA_Resized))
        wanted = window->sizeHint().expandedTo(window->minimumSizeHint());
    QPoint centre;
    bool maximized = false;
    std::optional<QPoint> remembered;
    if (Remembers(window)) {
        const QSettings settings(MemoryPlace().organization, MemoryPlace().application);
        if (!FixedSize(window) && settings.contains(Key(window, "size")))
            wanted = settings.value(Key(window, "size")).toSize();
        maximized = settings.value(Key(window, "maximized")).toBool();
        const char* name = opener != nullptr ? "offset" : "position";
        if (settings.contains(Key(window, name)))
            remembered = settings.value(Key(window, name)).toPoint();
    }

    const QMargins frame = ExpectedFrame(opener);
    QScreen* screen =
        ScreenFor(opener, remembered && opener == nullptr ? *remembered : QCursor::pos());
    const QRect available = screen->availableGeometry();
    if (opener != nullptr)
        centre = FrameCentre(opener) + remembered.value_or(QPoint());
    else if (remembered)
        centre = QRect(*remembered, wanted.grownBy(frame)).center();
    else
        centre = available.center();

    const QSize minimum = window->minimumSize().expandedTo(window->minimumSizeHint());
    const QRect placed = PlacedGeometry(wanted, minimum, frame, available, centre);
    if (!FixedSize(window))
        window->resize(placed.size());
    window->move(placed.topLeft() - QPoint(frame.left(), frame.top()));

    if (opener != nullptr) {
        // The window manager keeps a transient window above its opener and with it.
        window->winId();
        if (QWindow* handle = window->windowHandle())
            handle->setTransientParent(opener->windowHandle());
    }
    if (maximized)
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    if (Remembers(window))
        new PlacementMemory(window, opener);
}

}  // namespace ui
