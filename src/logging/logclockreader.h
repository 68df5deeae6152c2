#pragma once
// Reading back the date and time texts of the logs, by the rules LogClock writes them with: the
// locale's short date and its time of day with seconds, or the single-byte fallbacks.
#include "logging/logclock.h"

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace fh {

// A Qt date or time format taken apart into the pieces a text of it is made of, in log bytes.
class LogTextPattern {
public:
    LogTextPattern(const QString& format, const QLocale& locale);

    struct Values {
        int year = -1;
        bool twoDigitYear = false;
        int month = -1, day = -1;
        int hour = -1, minute = 0, second = 0;
        int pm = -1; // 0 AM, 1 PM, -1 no AM/PM in the text
    };
    // The values a text of this form shows; nothing when the text has another form. Names
    // (months, weekdays, AM/PM) are taken as the locale writes them; a weekday is not kept.
    std::optional<Values> match(QByteArrayView text) const;

private:
    enum class Field { Literal, Year, Month, Day, Hour, Minute, Second, AmPm, Weekday };
    struct Piece {
        Field field = Field::Literal;
        int minDigits = 0, maxDigits = 0; // numbers
        QByteArray literal;
        std::vector<QByteArray> names; // value - 1 (AM/PM: 0, 1) -> its text; empty for numbers
    };
    void addName(Field field, const QString& token, const QLocale& locale);

    std::vector<Piece> pieces_;
};

// Reads dates and times of one locale: its own texts first, then the fallbacks, which a machine
// whose locale has no single-byte texts writes (and which are read whatever this locale is).
// Two-digit years are read as 2000 to 2099. A text is only taken when writing the value it
// gives back yields the same text, so a loose match never passes for a date or time.
class LogClockReader {
public:
    explicit LogClockReader(QLocale locale = QLocale::system());

    std::optional<QDate> date(QByteArrayView text);
    std::optional<QTime> time(QByteArrayView text) const;

    // "M/d/yy", "h:mm:ss AP": the forms a text is matched against, for messages.
    const QString& dateFormat() const { return dateFormat_; }
    const QString& timeFormat() const { return timeFormat_; }

private:
    QLocale locale_;
    QString dateFormat_, timeFormat_;
    LogTextPattern localeDate_, localeTime_, fallbackDate_, fallbackTime_;
    // Records come in runs of one day: the last date read is asked for again and again.
    QByteArray lastDateText_;
    QDate lastDate_;
};

} // namespace fh
