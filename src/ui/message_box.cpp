#include "ui/message_box.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <utility>

namespace ui {

namespace {

const QString kSystemTitle = QStringLiteral("系统提示");

MessageBox::Handler& ScriptHandler() {
    static MessageBox::Handler handler;
    return handler;
}

QMessageBox::Icon BoxIcon(MessageBox::Icon icon) {
    switch (icon) {
        case MessageBox::Icon::Stop:
            return QMessageBox::Critical;
        case MessageBox::Icon::Information:
            return QMessageBox::Information;
        case MessageBox::Icon::Question:
            return QMessageBox::Question;
        case MessageBox::Icon::Exclamation:
            return QMessageBox::Warning;
        case MessageBox::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSpec {
    MessageBox::Answer answer;
    const char16_t* caption;
    QMessageBox::ButtonRole role;
};

QList<ButtonSpec> ButtonSpecs(MessageBox::Buttons buttons) {
    using A = MessageBox::Answer;
    switch (buttons) {
        case MessageBox::Buttons::Ok:
            return {{A::Ok, u"确定", QMessageBox::AcceptRole}};
        case MessageBox::Buttons::OkCancel:
            return {{A::Ok, u"确定", QMessageBox::AcceptRole},
                    {A::Cancel, u"取消", QMessageBox::RejectRole}};
        case MessageBox::Buttons::YesNo:
            return {{A::Yes, u"是", QMessageBox::YesRole}, {A::No, u"否", QMessageBox::NoRole}};
        case MessageBox::Buttons::YesNoCancel:
            return {{A::Yes, u"是", QMessageBox::YesRole},
                    {A::No, u"否", QMessageBox::NoRole},
                    {A::Cancel, u"取消", QMessageBox::RejectRole}};
    }
    return {};
}

MessageBox::Answer ShowBox(QWidget* parent, const MessageBox::Message& message,
                           MessageBox::Answer defaultAnswer) {
    QMessageBox box(BoxIcon(message.icon), message.title, message.text, QMessageBox::NoButton,
                    parent);
    // Plain text: a message quoting the operator's input must show it as typed.
    box.setTextFormat(Qt::PlainText);
    // A short message ("修改成功！") would make a box narrower than the window manager's title
    // bar needs for the title beside its buttons; an empty row keeps the title readable.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(MessageBox::kMinimumWidth, 0, QSizePolicy::Minimum,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    const MessageBox::Answer escape = MessageBox::escapeAnswer(message.buttons);
    QList<std::pair<QPushButton*, MessageBox::Answer>> made;
    QPushButton* defaultButton = nullptr;
    for (const ButtonSpec& choice : ButtonSpecs(message.buttons)) {
        QPushButton* button = box.addButton(QString::fromUtf16(choice.caption), choice.role);
        made.append({button, choice.answer});
        if (choice.answer == defaultAnswer)
            defaultButton = button;
        if (choice.answer == escape)
            box.setEscapeButton(button);
    }
    box.setDefaultButton(defaultButton != nullptr ? defaultButton : made.first().first);
    box.exec();
    for (const auto& [button, answer] : made) {
        if (box.clickedButton() == button)
            return answer;
    }
    return escape;
}

}  // namespace

MessageBox::Answer MessageBox::escapeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::Ok:
            break;
    }
    return Answer::Ok;
}

bool MessageBox::offers(Buttons buttons, Answer answer) {
    switch (buttons) {
        case Buttons::Ok:
            return answer == Answer::Ok;
        case Buttons::OkCancel:
            return answer == Answer::Ok || answer == Answer::Cancel;
        case Buttons::YesNo:
            return answer == Answer::Yes || answer == Answer::No;
        case Buttons::YesNoCancel:
            return answer == Answer::Yes || answer == Answer::No || answer == Answer::Cancel;
    }
    return false;
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& title, const QString& text,
                                    Icon icon, Buttons buttons, Answer defaultAnswer) {
    const Message message{title, text, icon, buttons};
    if (ScriptHandler()) {
        // Copied so that a handler may replace itself while it runs.
        const Handler handler = ScriptHandler();
        const Answer answer = handler(message);
        return offers(buttons, answer) ? answer : escapeAnswer(buttons);
    }
    return ShowBox(parent, message, defaultAnswer);
}

MessageBox::Handler MessageBox::setScriptHandler(Handler handler) {
    return std::exchange(ScriptHandler(), std::move(handler));
}

void Stop(QWidget* parent, const QString& text) {
    MessageBox::show(parent, kSystemTitle, text, MessageBox::Icon::Stop, MessageBox::Buttons::Ok);
}

void Information(QWidget* parent, const QString& text) {
    MessageBox::show(parent, kSystemTitle, text, MessageBox::Icon::Information,
                     MessageBox::Buttons::Ok);
}

void Exclamation(QWidget* parent, const QString& text) {
    MessageBox::show(parent, kSystemTitle, text, MessageBox::Icon::Exclamation,
                     MessageBox::Buttons::Ok);
}

bool Confirm(QWidget* parent, const QString& text) {
    return MessageBox::show(parent, kSystemTitle, text, MessageBox::Icon::Question,
                            MessageBox::Buttons::OkCancel,
                            MessageBox::Answer::Ok) == MessageBox::Answer::Ok;
}

MessageBox::Answer AskYesNoCancel(QWidget* parent, const QString& text) {
    return MessageBox::show(parent, kSystemTitle, text, MessageBox::Icon::Question,
                            MessageBox::Buttons::YesNoCancel, MessageBox::Answer::Yes);
}

void ShowDatabaseError(QWidget* parent, const QString& reason) {
    MessageBox::show(parent, kSystemTitle, QStringLiteral("数据库操作失败：") + reason,
                     MessageBox::Icon::Stop, MessageBox::Buttons::Ok);
}

}  // namespace ui
