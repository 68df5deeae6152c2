#pragma once
// The main screen's message line: the program's own warnings and results, newest first, each
// with its time. A message about a state (the port gone, a log refusing records) carries a
// topic; the next message on that topic replaces it, so a state never shows after it ended.
#include "logging/logclock.h"

#include <QList>
#include <QObject>
#include <QString>

namespace fh {

class MessageLine : public QObject {
    Q_OBJECT
public:
    static constexpr int Kept = 20;

    struct Message {
        QString time; // as shown, e.g. "14:02:11"
        QString text;
        QString topic;
    };

    // The clock gives each message its time of day, the wall's as in the logs.
    explicit MessageLine(LogClock clock = {}, QObject* parent = nullptr);

    // A message stamped with the time now.
    void note(const QString& text, const QString& topic = {});
    // A state on the topic: said while it holds, taken back once text is "". Said already, or
    // nothing to take back: nothing changes.
    void noteState(const QString& text, const QString& topic);

    // An empty text on a topic only clears that topic. The same text again only renews its
    // time.
    void add(const QString& time, const QString& text, const QString& topic = {});
    const QList<Message>& all() const { return messages_; }
    // The newest message with its time, or "".
    QString newest() const;
    // The older ones, newest first, one a line.
    QString older() const;
    bool contains(const QString& text) const;

signals:
    void changed();

private:
    LogClock clock_;
    QList<Message> messages_; // newest first
};

} // namespace fh
