#include "support/message_script.h"

#include <QTest>

namespace {

QString IconName(MessageScript::Icon icon) {
    switch (icon) {
        case MessageScript::Icon::Stop:
            return QStringLiteral("stop");
        case MessageScript::Icon::Information:
            return QStringLiteral("information");
        case MessageScript::Icon::Question:
            return QStringLiteral("question");
        case MessageScript::Icon::Exclamation:
            return QStringLiteral("exclamation");
        case MessageScript::Icon::None:
            return QStringLiteral("none");
    }
    return QStringLiteral("?");
}

QString AnswerName(MessageScript::Answer answer) {
    switch (answer) {
        case MessageScript::Answer::Ok:
            return QStringLiteral("OK");
        case MessageScript::Answer::Cancel:
            return QStringLiteral("Cancel");
        case MessageScript::Answer::Yes:
            return QStringLiteral("Yes");
        case MessageScript::Answer::No:
            return QStringLiteral("No");
    }
    return QStringLiteral("?");
}

QString Describe(const MessageScript::Message& message) {
    return QStringLiteral("\"%1\" (title \"%2\", %3 icon)")
        .arg(message.text, message.title, IconName(message.icon));
}

}  // namespace

MessageScript::MessageScript() {
    previous_ = ui::MessageBox::setScriptHandler(
        [this](const Message& message) { return answer(message); });
}

MessageScript::~MessageScript() {
    ui::MessageBox::setScriptHandler(std::move(previous_));
    const QStringList left = problems();
    if (left.isEmpty() || left == verifiedProblems_)
        return;
    const QByteArray text = "unverified messages: " + left.join(QStringLiteral("; ")).toUtf8();
    if (QTest::currentTestFunction() == nullptr)
        qFatal("%s", text.constData());
    else if (QTest::currentTestFailed())
        qWarning("%s", text.constData());
    else
        QTest::qFail(text.constData(), __FILE__, __LINE__);
}

MessageScript& MessageScript::expect(const QString& text, Answer answer) {
    expected_.append({std::nullopt, text, std::nullopt, answer});
    return *this;
}

MessageScript& MessageScript::expect(const QString& title, const QString& text, Icon icon,
                                     Answer answer) {
    expected_.append({title, text, icon, answer});
    return *this;
}

MessageScript::Answer MessageScript::answer(const Message& message) {
    shown_.append(message);
    const Answer safe = ui::MessageBox::escapeAnswer(message.buttons);
    if (next_ >= expected_.size()) {
        recorded_.append(QStringLiteral("unexpected message ") + Describe(message));
        return safe;
    }
    // A message that differs still uses up its place, so later messages stay in step.
    const Expected& wanted = expected_.at(next_++);
    const bool matches = message.text == wanted.text &&
                         (!wanted.title || *wanted.title == message.title) &&
                         (!wanted.icon || *wanted.icon == message.icon);
    if (!matches) {
        Message expectedMessage{wanted.title.value_or(message.title), wanted.text,
                                wanted.icon.value_or(message.icon), message.buttons};
        recorded_.append(QStringLiteral("expected %1 but got %2")
                             .arg(Describe(expectedMessage), Describe(message)));
        return safe;
    }
    if (!ui::MessageBox::offers(message.buttons, wanted.answer)) {
        recorded_.append(QStringLiteral("message %1 has no %2 button")
                             .arg(Describe(message), AnswerName(wanted.answer)));
        return safe;
    }
    return wanted.answer;
}

QStringList MessageScript::problems() const {
    QStringList all = recorded_;
    for (qsizetype i = next_; i < expected_.size(); ++i)
        all.append(QStringLiteral("expected message \"%1\" never came").arg(expected_.at(i).text));
    return all;
}

bool MessageScript::verify() {
    verifiedProblems_ = problems();
    return verifiedProblems_.isEmpty();
}

const char* MessageScript::report() {
    report_ = problems().join(QStringLiteral("; ")).toUtf8();
    return report_.constData();
}

QStringList MessageScript::takeProblems() {
    QStringList all = problems();
    recorded_.clear();
    next_ = expected_.size();
    verifiedProblems_.clear();
    return all;
}
