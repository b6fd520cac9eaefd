#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// The one entry point for every message the application shows. Each message is modal and
// returns the button the operator pressed.
class MessageBox {
public:
    enum class Icon { Stop, Information, Question, Exclamation, None };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Message {
        QString title;
        QString text;
        Icon icon = Icon::Information;
        Buttons buttons = Buttons::Ok;
    };
    using Handler = std::function<Answer(const Message&)>;

    // Shows the message and waits for an answer. The default answer is the button Enter
    // presses; when it is not one of the buttons the first button is the default. Escape and
    // the close box give Cancel, No, or Ok when that is the only button.
    static Answer show(QWidget* parent, const QString& title, const QString& text, Icon icon,
                       Buttons buttons, Answer defaultAnswer = Answer::Ok);

    // For tests: while a handler is installed, show() asks it instead of opening a box. An
    // answer that is not one of the buttons is taken as the escape answer. Returns the handler
    // that was installed before, so that scripts can nest.
    static Handler setScriptHandler(Handler handler);

    // The narrowest a box is, in pixels, so that its title stays readable in a title bar
    // beside the window manager's buttons however short the message.
    static constexpr int kMinimumWidth = 260;

    // What Escape means for these buttons.
    static Answer escapeAnswer(Buttons buttons);
    static bool offers(Buttons buttons, Answer answer);
};

// The application's own messages: title "系统提示", one OK button.
void Stop(QWidget* parent, const QString& text);
void Information(QWidget* parent, const QString& text);
void Exclamation(QWidget* parent, const QString& text);

// A question with OK and Cancel; only OK goes on.
bool Confirm(QWidget* parent, const QString& text);

// A question with Yes, No and Cancel (also Escape), Yes the default: "save before closing?".
MessageBox::Answer AskYesNoCancel(QWidget* parent, const QString& text);

// The one message for a statement that failed: "数据库操作失败：" and the reason it gave.
void ShowDatabaseError(QWidget* parent, const QString& reason);

}  // namespace ui
