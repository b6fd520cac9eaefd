#include "followup/call_record_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "core/clock.h"
#include "core/date_text.h"
#include "followup/call_record.h"
#include "followup/phrase_combo.h"
#include "followup/phrase_list_window.h"
#include "followup/phrases.h"
#include "session/current_operator.h"
#include "ui/button_row.h"
#include "ui/date_picker.h"
#include "ui/key_controls.h"
#include "ui/link_label.h"
#include "ui/message_box.h"
#include "ui/named.h"
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
const QString kDiscardCall = QStringLiteral("是否放弃已填写的电话记录？");
const QString kSaved = QStringLiteral("添加成功！");
const QString kSavedWithoutCustomer =
    QStringLiteral("电话记录已保存，但该客户资料已不存在（可能已被删除），提醒日期没有更新。");

// The captions and control names of one text block: what was said, or what was answered.
struct TextBlockNames {
    QString caption;
    QString phraseCaption;
    QString appendCaption;
    QString editCaption;
    const char* label;
    const char* text;
    const char* phraseLabel;
    const char* combo;
    const char* append;
    const char* edit;
};

// A text of the call with its phrase row below: the stored phrases, the button that appends
// the chosen one to the text, and the link that opens the phrase list for editing.
struct TextBlock {
    QLabel* label;
    QPlainTextEdit* text;
    QLabel* phraseLabel;
    QComboBox* combo;
    QPushButton* append;
    ui::LinkLabel* edit;
    QHBoxLayout* phraseRow;
};

TextBlock MakeTextBlock(QWidget* parent, const TextBlockNames& names) {
    using ui::Named;
    TextBlock block;
    block.label = Named(new QLabel(names.caption, parent), QLatin1String(names.label));
    block.text = Named(new QPlainTextEdit(parent), QLatin1String(names.text));
    block.text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next field, as in every other entry window.
    block.text->setTabChangesFocus(true);
    block.text->setMinimumHeight(72);
    block.phraseLabel =
        Named(new QLabel(names.phraseCaption, parent), QLatin1String(names.phraseLabel));
    block.combo = Named(new QComboBox(parent), QLatin1String(names.combo));
    block.combo->setEditable(true);
    // A typed phrase is stored by the ↑ button, not by Enter in the box.
    block.combo->setInsertPolicy(QComboBox::NoInsert);
    block.combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    block.combo->setMinimumContentsLength(20);
    block.append = Named(new QPushButton(kAppend, parent), QLatin1String(names.append));
    block.append->setAccessibleName(names.appendCaption);
    block.append->setToolTip(names.appendCaption);
    block.append->setFixedWidth(44);
    block.edit = Named(new ui::LinkLabel(kEdit, parent), QLatin1String(names.edit));
    block.edit->setAccessibleName(names.editCaption);
    block.edit->setToolTip(names.editCaption);
    block.label->setBuddy(block.text);
    block.phraseLabel->setBuddy(block.combo);
    block.phraseRow = new QHBoxLayout;
    block.phraseRow->addWidget(block.combo, 1);
    block.phraseRow->addWidget(block.append);
    block.phraseRow->addWidget(block.edit);
    return block;
}

// Places the block's two rows in the form's grid, starting at `row`; the text takes the height.
void PlaceTextBlock(QGridLayout* fields, int row, const TextBlock& block) {
    fields->addWidget(block.label, row, 0, Qt::AlignTop);
    fields->addWidget(block.text, row, 1);
    fields->addWidget(block.phraseLabel, row + 1, 0);
    fields->addLayout(block.phraseRow, row + 1, 1);
    fields->setRowStretch(row, 1);
}

}  // namespace

CallRecordWindow::CallRecordWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(kTitle);

    using ui::Named;
    ownerLabel = Named(new QLabel(kOwnerCaption, this), QStringLiteral("ownerLabel"));
    Text1 = Named(new QLineEdit(this), QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    plateLabel = Named(new QLabel(kPlateCaption, this), QStringLiteral("plateLabel"));
    Text2 = Named(new QLineEdit(this), QStringLiteral("Text2"));
    Text2->setReadOnly(true);
    const TextBlock content = MakeTextBlock(
        this, {kContentCaption, kContentPhraseCaption, kAppendContentName, kEditContentName,
               "contentLabel", "Text3", "contentPhraseLabel", "Combo1", "Command3", "Label7"});
    contentLabel = content.label;
    Text3 = content.text;
    contentPhraseLabel = content.phraseLabel;
    Combo1 = content.combo;
    Command3 = content.append;
    Label7 = content.edit;
    const TextBlock response = MakeTextBlock(
        this, {kResponseCaption, kResponsePhraseCaption, kAppendResponseName, kEditResponseName,
               "responseLabel", "Text4", "responsePhraseLabel", "Combo2", "Command4", "Label8"});
    responseLabel = response.label;
    Text4 = response.text;
    responsePhraseLabel = response.phraseLabel;
    Combo2 = response.combo;
    Command4 = response.append;
    Label8 = response.edit;
    reminderLabel = Named(new QLabel(kReminderCaption, this), QStringLiteral("reminderLabel"));
    DTPicker1 = Named(new ui::DatePicker(this), QStringLiteral("DTPicker1"));
    Command1 = Named(new QPushButton(kSave, this), QStringLiteral("Command1"));
    Command2 = Named(new QPushButton(kClose, this), QStringLiteral("Command2"));

    ownerLabel->setBuddy(Text1);
    plateLabel->setBuddy(Text2);
    reminderLabel->setBuddy(DTPicker1);

    auto* customer = new QHBoxLayout;
    customer->addWidget(Text1, 1);
    customer->addSpacing(12);
    customer->addWidget(plateLabel);
    customer->addSpacing(4);
    customer->addWidget(Text2, 1);

    auto* reminder = new QHBoxLayout;
    reminder->addWidget(DTPicker1);
    reminder->addStretch();

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(8);
    fields->addWidget(ownerLabel, 0, 0);
    fields->addLayout(customer, 0, 1);
    PlaceTextBlock(fields, 1, content);
    PlaceTextBlock(fields, 3, response);
    fields->addWidget(reminderLabel, 5, 0);
    fields->addLayout(reminder, 5, 1);

    QHBoxLayout* buttons = ui::CenteredButtons({Command1, Command2});

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
    ui::CloseOnEscape(this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, &CallRecordWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &CallRecordWindow::Command4_Click);
    connect(Label7, &ui::LinkLabel::clicked, this, &CallRecordWindow::Label7_Click);
    connect(Label8, &ui::LinkLabel::clicked, this, &CallRecordWindow::Label8_Click);

    Form_Load();
}

void CallRecordWindow::load(const Customer& customer, int listRow) {
    listRow_ = listRow;
    key_ = customer.key;
    Text1->setText(customer.owner);
    Text2->setText(customer.plate);
    DTPicker1->setValue(customer.reminderDate);
}

void CallRecordWindow::Form_Load() {
    for (const auto& [combo, list] :
         {std::pair{Combo1, &ContentPhrases()}, std::pair{Combo2, &ResponsePhrases()}}) {
        if (const DbStatus filled = RefillPhraseCombo(combo, *list); !filled) {
            ui::ShowDatabaseError(this, filled.error());
            return;
        }
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
    call.customerKey = key_;
    call.plate = Text2->text();
    call.owner = Text1->text();
    call.content = Text3->toPlainText();
    call.response = Text4->toPlainText();
    call.nextReminder = DTPicker1->value();
    call.callDate = Today();
    call.operatorName = CurrentOperator();

    const DbResult<CallSave> saved = SaveCall(call);
    if (!saved) {
        // Nothing was stored; the operator keeps every entry and can try again.
        ui::ShowDatabaseError(this, saved.error());
        return;
    }
    switch (*saved) {
        case CallSave::SavedWithoutCustomer:
            // The call happened and is kept, but there is no customer row to mark or move.
            ui::Exclamation(this, kSavedWithoutCustomer);
            break;
        case CallSave::Saved:
            // Row 0 is the list's heading row, so it names no list row.
            if (listRow_ > 0) {
                const bool called = CountsAsCalled(CalledFlag(), call.callDate, call.nextReminder);
                Q_EMIT callSaved(listRow_, called ? CalledFlag() : QStringLiteral("0"),
                                 DateText(call.nextReminder));
            }
            ui::Information(this, kSaved);
            break;
    }
    saved_ = true;
    close();
}

void CallRecordWindow::Command2_Click() {
    close();
}

void CallRecordWindow::closeEvent(QCloseEvent* event) {
    const bool typed =
        !Text3->toPlainText().trimmed().isEmpty() || !Text4->toPlainText().trimmed().isEmpty();
    if (!saved_ && typed && !ui::Confirm(this, kDiscardCall)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
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
    const DbResult<PhraseStore> stored = StorePhraseOnce(list, phrase);
    if (!stored) {
        ui::ShowDatabaseError(this, stored.error());
        return;
    }
    switch (*stored) {
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
