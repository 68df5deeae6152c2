#include "screens/host/messageline.h"

#include <algorithm>
#include <QStringList>

namespace fh {

namespace {
QString shown(const MessageLine::Message& m) {
    return m.time + QStringLiteral("  ") + m.text;
}
} // namespace

MessageLine::MessageLine(LogClock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)) {}

void MessageLine::note(const QString& text, const QString& topic) {
    add(clock_.now().time().toString(QStringLiteral("HH:mm:ss")), text, topic);
}

void MessageLine::noteState(const QString& text, const QString& topic) {
    const bool there = std::any_of(messages_.begin(), messages_.end(), [&](const Message& m) {
        return m.topic == topic && (text.isEmpty() || m.text == text);
    });
    if (there != text.isEmpty())
        return;
    note(text, topic);
}

void MessageLine::add(const QString& time, const QString& text, const QString& topic) {
    const auto sameText = [&](const Message& m) { return m.text == text; };
    const auto sameTopic = [&](const Message& m) { return !topic.isEmpty() && m.topic == topic; };
    messages_.removeIf([&](const Message& m) { return sameText(m) || sameTopic(m); });
    if (!text.isEmpty())
        messages_.prepend(Message{time, text, topic});
    while (messages_.size() > Kept)
        messages_.removeLast();
    emit changed();
}

QString MessageLine::newest() const {
    return messages_.isEmpty() ? QString() : shown(messages_.first());
}

QString MessageLine::older() const {
    QStringList lines;
    for (qsizetype i = 1; i < messages_.size(); ++i)
        lines << shown(messages_[i]);
    return lines.join(QLatin1Char('\n'));
}

bool MessageLine::contains(const QString& text) const {
    for (const Message& m : messages_)
        if (m.text == text)
            return true;
    return false;
}

} // namespace fh
