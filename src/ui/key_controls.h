#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>

namespace ui {

// Enter on the main keyboard or on the keypad.
bool IsEnterKey(int key);

// Escape anywhere in `window` does what its close or cancel button does (which may ask first);
// while a pop-up is open (a list, a calendar, completions), it closes only the pop-up.
void CloseOnEscape(QWidget* window, std::function<void()> close);
// Closes the open pop-up, if there is one; true when there was.
bool CloseOpenPopup();

// Entry windows walk their fields with Enter and choose what a field selects when it gains the
// focus, so their controls report every key before acting on it, and their focus changes.

// A text box that reports keys and focus, and can refuse typed characters.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;
    // Decides whether a typed character goes into the box, given the text before it; control
    // keys (Backspace, arrows, Enter) always pass.
    using KeyFilter = std::function<bool(const QString& text, QChar typed)>;
    void setKeyFilter(KeyFilter filter) { keyFilter_ = std::move(filter); }

Q_SIGNALS:
    void KeyDown(int key);
    void GotFocus(Qt::FocusReason reason);
    void LostFocus();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    KeyFilter keyFilter_;
};

// An option button that reports every key before it acts on it.
class OptionButton : public QRadioButton {
    Q_OBJECT

public:
    using QRadioButton::QRadioButton;

Q_SIGNALS:
    void KeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A combo box that reports every key before it acts on it, also when it can be typed into.
class ComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ComboBox(QWidget* parent = nullptr);
    // Typing allowed; the typed text is never added to the list by Enter.
    void setTypingAllowed(bool allowed);
    // The list opens as wide as its longest entry, however narrow the box is, so entries that
    // differ only near their end can be told apart.
    void showPopup() override;

Q_SIGNALS:
    void KeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const QEvent* reportedByLineEdit_ = nullptr;
};

}  // namespace ui
