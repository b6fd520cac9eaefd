#pragma once

#include <QLineEdit>
#include <QList>
#include <QRadioButton>
#include <QWidget>
#include <array>

class QLabel;
class QPushButton;

namespace ui {
class DatePicker;
}

// A text box that reports every key before it acts on it, and its gaining the focus after it
// has placed its own cursor, so a window can move on with Enter and choose what is selected.
class CustomerTextBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void KeyDown(int key);
    void GotFocus(Qt::FocusReason reason);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
};

// An option button that reports every key before it acts on it.
class CustomerOption : public QRadioButton {
    Q_OBJECT

public:
    using QRadioButton::QRadioButton;

Q_SIGNALS:
    void KeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The frame both customer windows share: the heading, the labelled customer fields in one
// layout, the note on the starred fields and the save and cancel buttons. The entry and the
// edit window differ only in their texts, their starred fields and their handlers.
class CustomerForm : public QWidget {
    Q_OBJECT

public:
    // Plate, owner's name, telephone, identity card number, car model.
    std::array<CustomerTextBox*, 5> Text{};
    CustomerOption* Option1;
    CustomerOption* Option2;
    ui::DatePicker* DTPicker1;
    ui::DatePicker* DTPicker2;
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* Label11;
    QLabel* Label12;

    // "先生" or "女士" as the option buttons say; empty while neither is on.
    QString sex() const;

protected:
    struct Captions {
        const char* formName;
        QString heading;
        QString note;
        // Indexes into Text whose field carries the "*" the note explains.
        QList<int> starred;
    };
    CustomerForm(const Captions& captions, QWidget* parent);
};

// Enter on the main keyboard or on the keypad.
bool IsEnterKey(int key);
