#pragma once
// Where the logs take the date and time of a record from, and how they are written.
#include <functional>
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace fh {

// The time source and the locale of the logs; both can be replaced so a test writes known
// texts. The default reads the system clock and the system locale.
class LogClock {
public:
    LogClock();
    LogClock(std::function<QDateTime()> now, QLocale locale);

    QDateTime now() const { return now_(); }
    const QLocale& locale() const { return locale_; }

    // The locale's short date ("12/5/26" in en_US). A locale whose date text has no
    // single-byte form (other digits, direction marks) gives yyyy-MM-dd instead.
    QString dateText(const QDate& date) const;
    // The locale's time of day with seconds and without a time zone ("4:27:37 AM" in en_US),
    // or HH:mm:ss when the locale's text has no single-byte form.
    QString timeText(const QTime& time) const;

private:
    std::function<QDateTime()> now_;
    QLocale locale_;
};

// The locale's long time format without its time-zone part; "HH:mm:ss" when what is left
// shows no seconds.
QString TimeWithSecondsFormat(const QLocale& locale);

// What the logs write instead of a locale's text that has no single-byte form.
inline const QString FallbackDateFormat = QStringLiteral("yyyy-MM-dd");
inline const QString FallbackTimeFormat = QStringLiteral("HH:mm:ss");

} // namespace fh
