#pragma once

#include <QWidget>
#include <array>

#include "repairs/order.h"
#include "repairs/slip.h"
#include "ui/key_controls.h"

class QLabel;
class QPushButton;

namespace ui {
class DatePicker;
}  // namespace ui

// Form4: records one repair order for a stored customer. It proposes the day's next order
// number, fills the owner's details when the plate is entered, prices up to seven lines from
// the price list and keeps the amounts and the total up to date. Saving stores the order and
// its lines, moves the customer's reminder date, offers the slip and starts a fresh window.
// The whole order can be entered from the keyboard: Enter walks the fields.
class OrderEntryWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLines = 7;

    explicit OrderEntryWindow(QWidget* parent = nullptr);
    ~OrderEntryWindow() override;

    QLabel* Label1;  // heading
    ui::TextBox* Text6;
    ui::TextBox* Text7;
    ui::TextBox* Text4;
    ui::TextBox* Text5;
    ui::TextBox* Text8;
    ui::TextBox* Text10;
    ui::DatePicker* DTPicker1;
    ui::ComboBox* Combo2;
    std::array<ui::ComboBox*, kLines> Combo1{};
    std::array<ui::TextBox*, kLines> Text{};
    std::array<ui::TextBox*, kLines> Text1{};
    std::array<ui::TextBox*, kLines> Text2{};
    std::array<ui::TextBox*, kLines> Text3{};
    ui::TextBox* Text9;
    QPushButton* Command1;
    QPushButton* Command2;

    // The order as the fields describe it now: every line with an item name, in line order.
    Order order() const;
    // The slip of the order as the fields show it, every line included.
    Slip slip() const;

    void Form_Load();
    void Text4_KeyDown(int key);
    void Combo1_Click(int line);
    void Text1_LostFocus(int line);
    void Text2_LostFocus(int line);
    void Text3_LostFocus(int line);
    void Text7_LostFocus();
    // Saves a new order; a window that corrects a stored one saves it its own way.
    virtual void Command1_Click();
    void Command2_Click();

protected:
    // Whether the fields a save needs are filled: the sequence (unless `withSequence` is false),
    // the plate and the technician. Refuses the save on the first one missing.
    bool requiredFieldsFilled(bool withSequence);
    // Refuses the save with a stop message and puts the focus on the field at fault.
    void refuse(const QString& message, QWidget* field);

private:
    void buildControls();
    void connectHandlers();
    void lookUpPlate();
    void leaveLineNumber(ui::TextBox* box, int line);
    void recomputeTotal();

    // The number offered when the window opened; empty when none could be proposed.
    QString offeredNumber_;
};
