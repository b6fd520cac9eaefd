#pragma once

#include <QList>
#include <QWidget>
#include <array>
#include <functional>

#include "ui/key_controls.h"

class QHBoxLayout;
class QLabel;
class QPushButton;

namespace ui {
class DatePicker;
}

// The frame both customer windows share: the heading, the labelled customer fields in one
// layout, the note on the starred fields and the save and cancel buttons. The entry and the
// edit window differ only in their texts, their starred fields and their handlers.
class CustomerForm : public QWidget {
    Q_OBJECT

public:
    // Plate, owner's name, telephone, identity card number, car model.
    std::array<ui::TextBox*, 5> Text{};
    ui::OptionButton* Option1;
    ui::OptionButton* Option2;
    ui::DatePicker* DTPicker1;
    ui::DatePicker* DTPicker2;
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* Label11;
    QLabel* Label12;

    // "先生" or "女士" as the option buttons say; empty while neither is on.
    QString sex() const;

    // Whether the fields differ from what they held when last shown or saved.
    bool hasTypedData() const;

protected:
    struct Captions {
        const char* formName;
        QString heading;
        QString note;
        // Indexes into Text whose field carries the "*" the note explains.
        QList<int> starred;
    };
    CustomerForm(const Captions& captions, QWidget* parent);

    // Takes the fields as they are now as holding nothing typed: after loading and after saving.
    void rememberUntyped();
    // Escape does what `close` does, asking first while typed data would be lost.
    void closeOnEscapeAskingFirst(std::function<void()> close);
    // Puts a window's own button in the button row, before the save button.
    void addButtonBeforeSave(QPushButton* button);

private:
    QHBoxLayout* buttons_ = nullptr;
    QStringList fieldValues() const;
    QStringList untyped_;
};
