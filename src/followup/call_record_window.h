#pragma once

#include <QWidget>

class QCloseEvent;

#include "customers/customer.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct PhraseList;

namespace ui {
class DatePicker;
class LinkLabel;
}  // namespace ui

// Records one follow-up call with a customer: what was said, what the customer answered and
// when to call next. The list that opens it hands the customer over with load(), shows it
// modally and listens to callSaved to update its row.
class CallRecordWindow : public QWidget {
    Q_OBJECT

public:
    explicit CallRecordWindow(QWidget* parent = nullptr);

    // Shows the customer's owner, plate and current reminder date; listRow is the list row the
    // customer came from (0: none), which callSaved names.
    void load(const Customer& customer, int listRow);
    const QString& customerKey() const { return key_; }
    int listRow() const { return listRow_; }

    QLabel* ownerLabel;
    QLineEdit* Text1;
    QLabel* plateLabel;
    QLineEdit* Text2;
    QLabel* contentLabel;
    QPlainTextEdit* Text3;
    QLabel* contentPhraseLabel;
    QComboBox* Combo1;
    QPushButton* Command3;
    ui::LinkLabel* Label7;
    QLabel* responseLabel;
    QPlainTextEdit* Text4;
    QLabel* responsePhraseLabel;
    QComboBox* Combo2;
    QPushButton* Command4;
    ui::LinkLabel* Label8;
    QLabel* reminderLabel;
    ui::DatePicker* DTPicker1;
    QPushButton* Command1;
    QPushButton* Command2;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Label7_Click();
    void Label8_Click();

Q_SIGNALS:
    // The call is stored and the customer marked: the list row `row` should show calledFlag in
    // its called column and reminderDateText in its reminder date column.
    void callSaved(int row, const QString& calledFlag, const QString& reminderDateText);

protected:
    // Closing with a note typed and not saved asks first: a call's note is typed while talking
    // and cannot be typed again.
    void closeEvent(QCloseEvent* event) override;

private:
    void appendPhrase(const PhraseList& list, QComboBox* combo, QPlainTextEdit* target,
                      const QString& emptyMessage);
    void openPhraseList(const PhraseList& list, QComboBox* combo);

    QString key_;
    int listRow_ = 0;
    // The call is stored: closing loses nothing.
    bool saved_ = false;
};
