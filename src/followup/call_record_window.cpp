#include "followup/call_record_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/current_operator.h"
#include "data/run_sql.h"
#include "followup/call_record.h"
#include "followup/phrase_list_window.h"
#include "followup/phrases.h"
#include "ui/date_picker.h"
#include "ui/date_text.h"
#include "ui/message_box.h"
#include "ui/window_host.h"

namespace {

const QString kTitle = QStringLiteral("电话记录");
const QString kOwnerCaption = QStringLiteral("车主姓名");
const QString kPlateCaption = QStringLiteral("车牌号");
const QString kContentCaption = QStringLiteral("电话内容");
const QString kResponseCaption = QStringLiteral("客户回应");
const QString kContentPhraseCaption = QStringLiteral("常用内容");
const QString kResponsePhraseCaption = QStringLiteral("常用回应");
const QString kReminderCaption = QStringLiteral("下次提醒");
const QString kAppend = QStringLiteral("↑");
const QString kAppendContentName = QStringLiteral("把常用内容加到电话内容");
const QString kAppendResponseName = QStringLiteral("把常用回应加到客户回应");
const QString kEdit = QStringLiteral("编辑");
const QString kEditContentName = QStringLiteral("编辑常用内容");
const QString kEditResponseName = QStringLiteral("编辑常用回应");
const QString kSave = QStringLiteral("保 存");
const QString kClose = QStringLiteral("关 闭");
const QString kNoContent = QStringLiteral("电话内容不允许为空！");
const QString kNoResponse = QStringLiteral("客户回应不允许为空！");
const QString kNoContentPhrase = QStringLiteral("请选择提醒客户信息");
const QString kNoResponsePhrase = QStringLiteral("请选择客户回应信息");
const QString kSaved = QStringLiteral("添加成功！");
const QString kSavedWithoutCustomer =
    QStringLiteral("电话记录已保存，但该客户资料已不存在（可能已被删除），提醒日期没有更新。");

// A label that works like a link: clicked with the mouse, or focused with Tab and pressed
// with Space or Enter.
void MakeLinkLabel(QLabel* label, const QString& accessibleName) {
    label->setFocusPolicy(Qt::StrongFocus);
    label->setCursor(Qt::PointingHandCursor);
    label->setAccessibleName(accessibleName);
    label->setToolTip(accessibleName);
    label->setStyleSheet(
        QStringLiteral("QLabel { color: palette(link); text-decoration: underline;"
                       " border: 1px solid transparent; padding: 1px 2px; }"
                       "QLabel:focus { border: 1px dotted palette(highlight); }"));
}

QPlainTextEdit* MakeTextArea(QWidget* parent) {
    auto* text = new QPlainTextEdit(parent);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next field, as in every other entry window.
    text->setTabChangesFocus(true);
    text->setMinimumHeight(72);
    return text;
}

QComboBox* MakePhraseCombo(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // A typed phrase is stored by the ↑ button, not by Enter in the box.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(20);
    return combo;
}

}  // namespace

CallRecordWindow::CallRecordWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(kTitle);

    ownerLabel = new QLabel(kOwnerCaption, this);
    Text1 = new QLineEdit(this);
    Text1->setReadOnly(true);
    plateLabel = new QLabel(kPlateCaption, this);
    Text2 = new QLineEdit(this);
    Text2->setReadOnly(true);
    contentLabel = new QLabel(kContentCaption, this);
    Text3 = MakeTextArea(this);
    contentPhraseLabel = new QLabel(kContentPhraseCaption, this);
    Combo1 = MakePhraseCombo(this);
    Command3 = new QPushButton(kAppend, this);
    Command3->setAccessibleName(kAppendContentName);
    Command3->setToolTip(kAppendContentName);
    Command3->setFixedWidth(44);
    Label7 = new QLabel(kEdit, this);
    MakeLinkLabel(Label7, kEditContentName);
    responseLabel = new QLabel(kResponseCaption, this);
    Text4 = MakeTextArea(this);
    responsePhraseLabel = new QLabel(kResponsePhraseCaption, this);
    Combo2 = MakePhraseCombo(this);
    Command4 = new QPushButton(kAppend, this);
    Command4->setAccessibleName(kAppendResponseName);
    Command4->setToolTip(kAppendResponseName);
    Command4->setFixedWidth(44);
    Label8 = new QLabel(kEdit, this);
    MakeLinkLabel(Label8, kEditResponseName);
    reminderLabel = new QLabel(kReminderCaption, this);
    DTPicker1 = new ui::DatePicker(this);
    Command1 = new QPushButton(kSave, this);
    Command2 = new QPushButton(kClose, this);
    kh_code = new QLabel(this);
    kh_code->hide();
    select_row = new QLabel(this);
    select_row->hide();

    ownerLabel->setBuddy(Text1);
    plateLabel->setBuddy(Text2);
    contentLabel->setBuddy(Text3);
    contentPhraseLabel->setBuddy(Combo1);
    responseLabel->setBuddy(Text4);
    responsePhraseLabel->setBuddy(Combo2);
    reminderLabel->setBuddy(DTPicker1);

    ownerLabel->setObjectName(QStringLiteral("ownerLabel"));
    Text1->setObjectName(QStringLiteral("Text1"));
    plateLabel->setObjectName(QStringLiteral("plateLabel"));
    Text2->setObjectName(QStringLiteral("Text2"));
    contentLabel->setObjectName(QStringLiteral("contentLabel"));
    Text3->setObjectName(QStringLiteral("Text3"));
    contentPhraseLabel->setObjectName(QStringLiteral("contentPhraseLabel"));
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Command3->setObjectName(QStringLiteral("Command3"));
    Label7->setObjectName(QStringLiteral("Label7"));
    responseLabel->setObjectName(QStringLiteral("responseLabel"));
    Text4->setObjectName(QStringLiteral("Text4"));
    responsePhraseLabel->setObjectName(QStringLiteral("responsePhraseLabel"));
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Command4->setObjectName(QStringLiteral("Command4"));
    Label8->setObjectName(QStringLiteral("Label8"));
    reminderLabel->setObjectName(QStringLiteral("reminderLabel"));
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2->setObjectName(QStringLiteral("Command2"));
    kh_code->setObjectName(QStringLiteral("kh_code"));
    select_row->setObjectName(QStringLiteral("select_row"));

    auto* customer = new QHBoxLayout;
    customer->addWidget(Text1, 1);
    customer->addSpacing(12);
    customer->addWidget(plateLabel);
    customer->addSpacing(4);
    customer->addWidget(Text2, 1);

    auto* contentPhrase = new QHBoxLayout;
    contentPhrase->addWidget(Combo1, 1);
    contentPhrase->addWidget(Command3);
    contentPhrase->addWidget(Label7);

    auto* responsePhrase = new QHBoxLayout;
    responsePhrase->addWidget(Combo2, 1);
    responsePhrase->addWidget(Command4);
    responsePhrase->addWidget(Label8);

    auto* reminder = new QHBoxLayout;
    reminder->addWidget(DTPicker1);
    reminder->addStretch();

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(8);
    fields->addWidget(ownerLabel, 0, 0);
    fields->addLayout(customer, 0, 1);
    fields->addWidget(contentLabel, 1, 0, Qt::AlignTop);
    fields->addWidget(Text3, 1, 1);
    fields->addWidget(contentPhraseLabel, 2, 0);
    fields->addLayout(contentPhrase, 2, 1);
    fields->addWidget(responseLabel, 3, 0, Qt::AlignTop);
    fields->addWidget(Text4, 3, 1);
    fields->addWidget(responsePhraseLabel, 4, 0);
    fields->addLayout(responsePhrase, 4, 1);
    fields->addWidget(reminderLabel, 5, 0);
    fields->addLayout(reminder, 5, 1);
    fields->setRowStretch(1, 1);
    fields->setRowStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addSpacing(16);
    buttons->addWidget(Command2);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(14);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    resize(sizeHint().expandedTo(QSize(520, 420)));

    setTabOrder(Text3, Combo1);
    setTabOrder(Combo1, Command3);
    setTabOrder(Command3, Label7);
    setTabOrder(Label7, Text4);
    setTabOrder(Text4, Combo2);
    setTabOrder(Combo2, Command4);
    setTabOrder(Command4, Label8);
    setTabOrder(Label8, DTPicker1);
    setTabOrder(DTPicker1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Text2);
    Text3->setFocus(Qt::OtherFocusReason);

    connect(Command1, &QPushButton::clicked, this, &CallRecordWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &CallRecordWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &CallRecordWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &CallRecordWindow::Command4_Click);
    Label7->installEventFilter(this);
    Label8->installEventFilter(this);

    Form_Load();
}

void CallRecordWindow::setCustomer(int listRow, const QString& key, const QString& owner,
                                   const QString& plate, const QDate& reminder) {
    select_row->setText(QString::number(listRow));
    kh_code->setText(key);
    Text1->setText(owner);
    Text2->setText(plate);
    DTPicker1->setValue(reminder);
}

void CallRecordWindow::Form_Load() {
    if (!RefillPhraseCombo(Combo1, ContentPhrases()) ||
        !RefillPhraseCombo(Combo2, ResponsePhrases())) {
        ui::ShowDatabaseError(this);
    }
}

void CallRecordWindow::Command1_Click() {
    // Only the empty text is refused; a blank answer is still an answer.
    if (Text3->toPlainText().isEmpty()) {
        ui::Stop(this, kNoContent);
        Text3->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (Text4->toPlainText().isEmpty()) {
        ui::Stop(this, kNoResponse);
        Text4->setFocus(Qt::OtherFocusReason);
        return;
    }

    CallRecord call;
    call.customerKey = kh_code->text();
    call.plate = Text2->text();
    call.owner = Text1->text();
    call.content = Text3->toPlainText();
    call.response = Text4->toPlainText();
    call.nextReminder = DTPicker1->value();
    call.callDate = QDate::currentDate();
    call.operatorName = CurrentOperator();

    switch (SaveCall(call)) {
        case CallSave::Failed:
            // Nothing was stored; the operator keeps every entry and can try again.
            ui::ShowDatabaseError(this);
            return;
        case CallSave::SavedWithoutCustomer:
            // The call happened and is kept, but there is no customer row to mark or move.
            ui::Exclamation(this, kSavedWithoutCustomer);
            break;
        case CallSave::Saved: {
            bool isNumber = false;
            const int row = select_row->text().toInt(&isNumber);
            // Row 0 is the list's heading row; a missing or bad number names no list row.
            if (isNumber && row > 0) {
                Q_EMIT callSaved(row, CalledFlag(), ui::DateText(call.nextReminder));
            }
            ui::Information(this, kSaved);
            break;
        }
    }
    close();
}

void CallRecordWindow::Command2_Click() {
    close();
}

void CallRecordWindow::Command3_Click() {
    appendPhrase(ContentPhrases(), Combo1, Text3, kNoContentPhrase);
}

void CallRecordWindow::Command4_Click() {
    appendPhrase(ResponsePhrases(), Combo2, Text4, kNoResponsePhrase);
}

void CallRecordWindow::Label7_Click() {
    openPhraseList(ContentPhrases(), Combo1);
}

void CallRecordWindow::Label8_Click() {
    openPhraseList(ResponsePhrases(), Combo2);
}

void CallRecordWindow::appendPhrase(const PhraseList& list, QComboBox* combo,
                                    QPlainTextEdit* target, const QString& emptyMessage) {
    const QString phrase = combo->currentText();
    if (phrase.isEmpty()) {
        ui::Stop(this, emptyMessage);
        return;
    }
    switch (StorePhraseOnce(list, phrase)) {
        case PhraseStore::Failed:
            ui::ShowDatabaseError(this);
            return;
        case PhraseStore::Stored:
            combo->addItem(phrase);
            break;
        case PhraseStore::AlreadyStored:
            break;
    }
    // Inserted through the cursor so that Ctrl+Z takes the phrase back out.
    QTextCursor cursor = target->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(phrase);
    target->setTextCursor(cursor);
    target->setFocus(Qt::OtherFocusReason);
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
}

void CallRecordWindow::openPhraseList(const PhraseList& list, QComboBox* combo) {
    auto* window = ui::WindowHost::instanceNamed<PhraseListWindow>(list.formName, list, combo);
    ui::WindowHost::show(window, ui::WindowHost::Mode::Modal);
}

bool CallRecordWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Label7 && watched != Label8) {
        return QWidget::eventFilter(watched, event);
    }
    bool activated = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        activated = mouse->button() == Qt::LeftButton &&
                    static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        activated = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (!activated) {
        return QWidget::eventFilter(watched, event);
    }
    if (watched == Label7) {
        Label7_Click();
    } else {
        Label8_Click();
    }
    return true;
}
