#include "logging/logclockreader.h"

#include "logging/columnwriter.h"

namespace fh {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// How many times `c` repeats from `i` on.
qsizetype repeatAt(const QString& s, qsizetype i) {
    qsizetype n = 1;
    while (i + n < s.size() && s[i + n] == s[i])
        ++n;
    return n;
}

} // namespace

LogTextPattern::LogTextPattern(const QString& format, const QLocale& locale) {
    // The letters and their counts as QLocale::toString reads them; every other character,
    // and quoted text, stands for itself.
    auto literal = [this](const QString& text) {
        if (pieces_.empty() || pieces_.back().field != Field::Literal)
            pieces_.push_back({});
        pieces_.back().literal += ToLogBytes(text);
    };
    auto number = [this](Field field, int minDigits, int maxDigits) {
        pieces_.push_back({field, minDigits, maxDigits, {}, {}});
    };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            if (end == i + 1) { // '' is a quote
                literal(QStringLiteral("'"));
                i += 2;
                continue;
            }
            const qsizetype stop = end < 0 ? format.size() : end;
            literal(
                format.mid(i + 1, stop - i - 1).replace(QStringLiteral("''"), QStringLiteral("'")));
            i = stop + 1;
            continue;
        }
        qsizetype n = repeatAt(format, i);
        switch (c.unicode()) {
        case u'd':
        case u'M': {
            n = qMin<qsizetype>(n, 4);
            const Field numeric = c == u'd' ? Field::Day : Field::Month;
            if (n <= 2)
                number(numeric, int(n), 2);
            else
                addName(c == u'd' ? Field::Weekday : Field::Month, QString(n, c), locale);
            break;
        }
        case u'y':
            n = n >= 4 ? 4 : n >= 2 ? 2 : 1;
            if (n == 1)
                literal(QStringLiteral("y"));
            else
                number(Field::Year, int(n), int(n));
            break;
        case u'h':
        case u'H':
        case u'm':
        case u's':
            n = qMin<qsizetype>(n, 2);
            number(c == u'm' ? Field::Minute : c == u's' ? Field::Second : Field::Hour, int(n), 2);
            break;
        case u'a':
        case u'A': {
            const bool twoLetters =
                i + 1 < format.size() && (format[i + 1] == u'p' || format[i + 1] == u'P');
            n = twoLetters ? 2 : 1;
            addName(Field::AmPm, format.mid(i, n), locale);
            break;
        }
        default:
            n = 1;
            literal(QString(c));
            break;
        }
        i += n;
    }
}

void LogTextPattern::addName(Field field, const QString& token, const QLocale& locale) {
    // Each name as the locale writes it for this very token, so case and form agree.
    Piece piece;
    piece.field = field;
    if (field == Field::AmPm) {
        for (int hour : {1, 13})
            piece.names.push_back(ToLogBytes(locale.toString(QTime(hour, 0), token)));
    } else if (field == Field::Month) {
        for (int month = 1; month <= 12; ++month)
            piece.names.push_back(ToLogBytes(locale.toString(QDate(2001, month, 1), token)));
    } else { // 2001-01-01 was a Monday
        for (int day = 1; day <= 7; ++day)
            piece.names.push_back(ToLogBytes(locale.toString(QDate(2001, 1, day), token)));
    }
    pieces_.push_back(std::move(piece));
}

std::optional<LogTextPattern::Values> LogTextPattern::match(QByteArrayView text) const {
    Values v;
    qsizetype at = 0;
    for (const Piece& p : pieces_) {
        const QByteArrayView rest = text.sliced(at);
        if (p.field == Field::Literal) {
            if (!rest.startsWith(p.literal))
                return std::nullopt;
            at += p.literal.size();
            continue;
        }
        int value = 0;
        if (p.names.empty()) {
            int digits = 0;
            while (digits < p.maxDigits && digits < rest.size() && isDigit(rest[digits]))
                value = value * 10 + (rest[digits++] - '0');
            if (digits < p.minDigits)
                return std::nullopt;
            at += digits;
        } else {
            // The longest name that fits ("June" before "Jun").
            qsizetype best = 0;
            for (size_t k = 0; k < p.names.size(); ++k) {
                const QByteArray& name = p.names[k];
                if (name.size() > best && rest.startsWith(name)) {
                    best = name.size();
                    value = int(k) + (p.field == Field::AmPm ? 0 : 1);
                }
            }
            if (best == 0)
                return std::nullopt;
            at += best;
        }
        switch (p.field) {
        case Field::Year:
            v.year = value;
            v.twoDigitYear = p.maxDigits == 2;
            break;
        case Field::Month:
            v.month = value;
            break;
        case Field::Day:
            v.day = value;
            break;
        case Field::Hour:
            v.hour = value;
            break;
        case Field::Minute:
            v.minute = value;
            break;
        case Field::Second:
            v.second = value;
            break;
        case Field::AmPm:
            v.pm = value;
            break;
        default:
            break;
        }
    }
    if (at != text.size())
        return std::nullopt;
    return v;
}

LogClockReader::LogClockReader(QLocale locale)
    : locale_(std::move(locale)), dateFormat_(locale_.dateFormat(QLocale::ShortFormat)),
      timeFormat_(TimeWithSecondsFormat(locale_)), localeDate_(dateFormat_, locale_),
      localeTime_(timeFormat_, locale_), fallbackDate_(FallbackDateFormat, QLocale::c()),
      fallbackTime_(FallbackTimeFormat, QLocale::c()) {}

std::optional<QDate> LogClockReader::date(QByteArrayView text) {
    if (!lastDateText_.isEmpty() && text == lastDateText_)
        return lastDate_;
    auto toDate = [](const LogTextPattern::Values& v) {
        const int year = v.twoDigitYear ? 2000 + v.year : v.year;
        return QDate(year, v.month, v.day);
    };
    // The writer's own call, so a text is read only if this locale writes it so.
    QDate found;
    if (const auto v = localeDate_.match(text)) {
        const QDate d = toDate(*v);
        const QString written = locale_.toString(d, QLocale::ShortFormat);
        if (d.isValid() && FitsLogBytes(written) && ToLogBytes(written) == text)
            found = d;
    }
    if (!found.isValid()) {
        if (const auto v = fallbackDate_.match(text)) {
            const QDate d = toDate(*v);
            if (d.isValid() && d.toString(FallbackDateFormat).toLatin1() == text)
                found = d;
        }
    }
    if (!found.isValid())
        return std::nullopt;
    lastDateText_ = text.toByteArray();
    lastDate_ = found;
    return found;
}

std::optional<QTime> LogClockReader::time(QByteArrayView text) const {
    auto toTime = [](const LogTextPattern::Values& v) {
        int hour = v.hour;
        if (v.pm >= 0) // a twelve-hour clock: 12 AM is midnight, 12 PM noon
            hour = hour == 12 ? (v.pm ? 12 : 0) : hour + (v.pm ? 12 : 0);
        return QTime(hour, v.minute, v.second);
    };
    if (const auto v = localeTime_.match(text)) {
        const QTime t = toTime(*v);
        const QString written = locale_.toString(t, timeFormat_);
        if (t.isValid() && FitsLogBytes(written) && ToLogBytes(written) == text)
            return t;
    }
    if (const auto v = fallbackTime_.match(text)) {
        const QTime t = toTime(*v);
        if (t.isValid() && t.toString(FallbackTimeFormat).toLatin1() == text)
            return t;
    }
    return std::nullopt;
}

} // namespace fh
