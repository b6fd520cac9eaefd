#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct PhraseList;

namespace ui {
class DatePicker;
}

// Records one follow-up call with a customer: what was said, what the customer answered and
// when to call next. The list that opens it fills kh_code, select_row, Text1, Text2 and
// DTPicker1 (or calls setCustomer), shows it modally and listens to callSaved to update its row.
class CallRecordWindow : public QWidget {
    Q_OBJECT

public:
    explicit CallRecordWindow(QWidget* parent = nullptr);

    // The hand-over in one call: the list row it came from, the customer's key, owner and plate,
    // and the customer's current reminder date.
    void setCustomer(int listRow, const QString& key, const QString& owner, const QString& plate,
                     const QDate& reminder);

    QLabel* ownerLabel;
    QLineEdit* Text1;
    QLabel* plateLabel;
    QLineEdit* Text2;
    QLabel* contentLabel;
    QPlainTextEdit* Text3;
    QLabel* contentPhraseLabel;
    QComboBox* Combo1;
    QPushButton* Command3;
    QLabel* Label7;
    QLabel* responseLabel;
    QPlainTextEdit* Text4;
    QLabel* responsePhraseLabel;
    QComboBox* Combo2;
    QPushButton* Command4;
    QLabel* Label8;
    QLabel* reminderLabel;
    ui::DatePicker* DTPicker1;
    QPushButton* Command1;
    QPushButton* Command2;
    // Value carriers, never shown.
    QLabel* kh_code;
    QLabel* select_row;

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void appendPhrase(const PhraseList& list, QComboBox* combo, QPlainTextEdit* target,
                      const QString& emptyMessage);
    void openPhraseList(const PhraseList& list, QComboBox* combo);
};
