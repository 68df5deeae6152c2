#include "logging/logclock.h"

#include "logging/columnwriter.h"

namespace fh {

LogClock::LogClock() : LogClock([] { return QDateTime::currentDateTime(); }, QLocale::system()) {}

LogClock::LogClock(std::function<QDateTime()> now, QLocale locale)
    : now_(now ? std::move(now) : [] { return QDateTime::currentDateTime(); }),
      locale_(std::move(locale)) {}

QString LogClock::dateText(const QDate& date) const {
    const QString text = locale_.toString(date, QLocale::ShortFormat);
    if (!text.isEmpty() && FitsLogBytes(text))
        return text;
    return date.toString(FallbackDateFormat);
}

QString LogClock::timeText(const QTime& time) const {
    const QString text = locale_.toString(time, TimeWithSecondsFormat(locale_));
    if (!text.isEmpty() && FitsLogBytes(text))
        return text;
    return time.toString(FallbackTimeFormat);
}

QString TimeWithSecondsFormat(const QLocale& locale) {
    // The long format is the one that carries seconds; its zone ("t") means nothing in a log
    // read beside the machine that wrote it. Quoted literal text is kept as it stands.
    const QString full = locale.timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    bool seconds = false;
    for (QChar c : full) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        if (!quoted && c == u's')
            seconds = true;
        format.append(c);
    }
    format = format.simplified();
    if (!seconds)
        return FallbackTimeFormat;
    return format;
}

} // namespace fh
