#include "ui/input_box.h"

#include <QInputDialog>
#include <utility>

namespace ui {

namespace {

InputBox::Handler& ScriptHandler() {
    static InputBox::Handler handler;
    return handler;
}

}  // namespace

QString InputBox::ask(QWidget* parent, const QString& prompt, const QString& title,
                      const QString& defaultText) {
    if (ScriptHandler()) {
        const Handler handler = ScriptHandler();
        return handler({title, prompt, defaultText});
    }
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? answer : QString();
}

InputBox::Handler InputBox::setScriptHandler(Handler handler) {
    return std::exchange(ScriptHandler(), std::move(handler));
}

}  // namespace ui
