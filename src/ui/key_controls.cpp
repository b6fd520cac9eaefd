#include "ui/key_controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>

namespace ui {

namespace {

// Keeps a window's Escape shortcut from firing while a pop-up is open: the key is claimed
// before any widget sees it, so it reaches the pop-up as a plain key press and closes only the
// pop-up. Left to the widgets, a list's pop-up may already be gone by the time the shortcut is
// looked up, and the window would close under it.
class PopupEscapeGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride &&
            static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel) &&
            QApplication::activePopupWidget() != nullptr) {
            event->accept();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

void GuardPopupsFromEscape() {
    static QPointer<PopupEscapeGuard> guard;
    if (guard == nullptr && qApp != nullptr) {
        guard = new PopupEscapeGuard(qApp);
        qApp->installEventFilter(guard);
    }
}

}  // namespace

bool CloseOpenPopup() {
    QWidget* popup = QApplication::activePopupWidget();
    if (popup == nullptr) {
        return false;
    }
    popup->close();
    return true;
}

void CloseOnEscape(QWidget* window, std::function<void()> close) {
    GuardPopupsFromEscape();
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    // An open list, calendar or completion list takes the Escape meant for it; only the next
    // one is the window's.
    QObject::connect(escape, &QShortcut::activated, window, [close = std::move(close)] {
        if (!CloseOpenPopup()) {
            close();
        }
    });
}

bool IsEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

namespace {

// Reports the key, then lets the control act on it unless a handler closed the window.
template <class Control, class Act>
void ReportKey(Control* control, QKeyEvent* event, Act act) {
    const QPointer<Control> alive(control);
    Q_EMIT control->KeyDown(event->key());
    if (alive) {
        act();
    }
}

}  // namespace

void TextBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    const bool printable = typed.size() == 1 && typed.at(0).isPrint();
    if (keyFilter_ && printable && !(event->modifiers() & Qt::ControlModifier) &&
        !keyFilter_(text(), typed.at(0))) {
        event->accept();
        return;
    }
    ReportKey(this, event, [&] { QLineEdit::keyPressEvent(event); });
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    Q_EMIT GotFocus(event->reason());
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Leaving a field means moving to another field of the window: a pop-up (a menu, a
    // completer) takes the focus only for a moment, and another window (a message, a window
    // closing) leaves the operator's place as it was.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        Q_EMIT LostFocus();
    }
}

void OptionButton::keyPressEvent(QKeyEvent* event) {
    ReportKey(this, event, [&] { QRadioButton::keyPressEvent(event); });
}

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {}

void ComboBox::setTypingAllowed(bool allowed) {
    setEditable(allowed);
    if (allowed) {
        setInsertPolicy(QComboBox::NoInsert);
        // Keys typed into the box go to its line edit first.
        lineEdit()->installEventFilter(this);
    }
}

void ComboBox::showPopup() {
    QAbstractItemView* list = view();
    // Measured by the list's own item painter, so the width is what an entry needs whole. The
    // option has no rectangle: a painter that fills the width it is given asks for its text's.
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = QRect();
    int widest = 0;
    for (int row = 0; row < count(); ++row) {
        const QModelIndex index = model()->index(row, modelColumn(), rootModelIndex());
        widest =
            std::max(widest, list->itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    if (widest > 0) {
        const bool scrolls = count() > maxVisibleItems();
        const int scrollBar =
            scrolls ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) : 0;
        list->setMinimumWidth(widest + 2 * list->frameWidth() + scrollBar);
    }
    QComboBox::showPopup();
}

void ComboBox::keyPressEvent(QKeyEvent* event) {
    if (event == reportedByLineEdit_) {
        // The line edit passed this key on; it has been reported already.
        QComboBox::keyPressEvent(event);
        return;
    }
    ReportKey(this, event, [&] { QComboBox::keyPressEvent(event); });
}

bool ComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (isEditable() && watched == lineEdit() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QPointer<ComboBox> alive(this);
        reportedByLineEdit_ = key;
        Q_EMIT KeyDown(key->key());
        if (!alive) {
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace ui
