#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// The one entry point for asking the operator to type a short answer. Tests script the answers,
// as they do for messages and file names.
class InputBox {
public:
    struct Request {
        QString title;
        QString prompt;
        QString defaultText;
    };
    // The answer, or an empty text for Cancel.
    using Handler = std::function<QString(const Request&)>;

    // What the operator typed; Cancel, Escape and the close box give an empty text.
    static QString ask(QWidget* parent, const QString& prompt, const QString& title,
                       const QString& defaultText);

    // For tests: while a handler is installed it answers instead of a dialog. Returns the handler
    // installed before.
    static Handler setScriptHandler(Handler handler);
};

}  // namespace ui
