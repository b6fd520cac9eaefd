#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "ui/message_box.h"

// Scripts the messages a test expects, in order, with the answer to each. While the script
// lives every message goes to it instead of the screen. A message that was not expected, or
// that differs from the one expected next, is answered safely (Cancel, No or OK) and recorded.
//
//     MessageScript messages;
//     messages.expect(QStringLiteral("是否保存？"), MessageScript::Answer::Ok)
//             .expect(QStringLiteral("保存成功！"));
//     ... drive the window ...
//     VERIFY_MESSAGES(messages);
//
// The check cannot be forgotten: a script destroyed with problems nobody verified fails the
// running test.
class MessageScript {
public:
    using Answer = ui::MessageBox::Answer;
    using Icon = ui::MessageBox::Icon;
    using Message = ui::MessageBox::Message;

    MessageScript();
    ~MessageScript();
    MessageScript(const MessageScript&) = delete;
    MessageScript& operator=(const MessageScript&) = delete;

    // Expects a message with this text (any title and icon).
    MessageScript& expect(const QString& text, Answer answer = Answer::Ok);
    // Expects a message with exactly this title, text and icon.
    MessageScript& expect(const QString& title, const QString& text, Icon icon,
                          Answer answer = Answer::Ok);

    // True when every expected message came, in order and as expected, and nothing else did.
    bool verify();
    // What went wrong, for QVERIFY2; valid until the next call.
    const char* report();
    // The problems so far, which the script then forgets (for tests of the script itself).
    QStringList takeProblems();

    // Every message shown while the script lived, expected or not.
    const QList<Message>& shown() const { return shown_; }
    bool allShown() const { return next_ == expected_.size(); }

private:
    struct Expected {
        std::optional<QString> title;
        QString text;
        std::optional<Icon> icon;
        Answer answer;
    };

    Answer answer(const Message& message);
    QStringList problems() const;

    QList<Expected> expected_;
    qsizetype next_ = 0;
    QStringList recorded_;
    QList<Message> shown_;
    QStringList verifiedProblems_;
    QByteArray report_;
    ui::MessageBox::Handler previous_;
};

#define VERIFY_MESSAGES(script) QVERIFY2((script).verify(), (script).report())
