#pragma once

#include <QWidget>
#include <functional>
#include <utility>

namespace ui {

// Opens the application's windows. Every window is a top-level QWidget (never a QDialog, whose
// default buttons would take the Enter key that entry windows use to move between fields) and
// exists at most once: asking for a window that is open gives the same one.
class WindowHost {
public:
    enum class Mode { Modeless, Modal };

    // The open window of class W, or a new one made from `args` and deleted when it closes.
    template <class W, class... A>
    static W* instance(A&&... args) {
        if (W* open = find<W>())
            return open;
        W* window = new W(std::forward<A>(args)...);
        adopt(window);
        return window;
    }

    // For classes that serve several windows: the open W whose objectName is `name`, or a new one.
    template <class W, class... A>
    static W* instanceNamed(const QString& name, A&&... args) {
        if (W* open = find<W>(name))
            return open;
        W* window = new W(std::forward<A>(args)...);
        if (window->objectName().isEmpty())
            window->setObjectName(name);
        adopt(window);
        return window;
    }

    // The open window of class W (with that objectName when one is given), or nullptr. A window
    // that has been closed is no longer open, even before it is deleted.
    template <class W>
    static W* find(const QString& name = QString()) {
        for (QWidget* window : openWindows()) {
            if (W* match = dynamic_cast<W*>(window)) {
                if (name.isEmpty() || window->objectName() == name)
                    return match;
            }
        }
        return nullptr;
    }
    static QWidget* findNamed(const QString& objectName);

    // Shows the window and brings it to the front. Modal blocks every other window of the
    // application and returns when the window is closed or hidden; a window that is already
    // visible is only brought to the front.
    static void show(QWidget* window, Mode mode);

    // For tests: while a driver is installed, a modal show displays the window, calls the driver
    // with it (which types and clicks inside, and may open further modal windows), closes the
    // window if it is still open and returns. Returns the driver installed before.
    using ModalDriver = std::function<void(QWidget*)>;
    static ModalDriver setModalDriver(ModalDriver driver);

private:
    static void adopt(QWidget* window);
    static QWidgetList openWindows();
};

}  // namespace ui
