#include "logging/logperiod.h"

#include <cmath>

namespace fh {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The leading number of `text` in the C locale's form (sign, digits, point, exponent), or an
// empty string when the text does not start with one.
QString leadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return {};
    // An exponent counts only when digits follow it ("2e1" is 20, "2e" is 2).
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return text.mid(start, i - start);
}

// Nearest whole number, halves to the even neighbour, whatever the floating-point mode.
double roundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5)
        return lower;
    if (diff > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

} // namespace

PeriodAnswer ReadPeriodAnswer(const QString& answer, bool cancelled) {
    PeriodAnswer result;
    if (cancelled || answer.trimmed().isEmpty())
        return result;

    bool ok = false;
    const double value = leadingNumber(answer).toDouble(&ok);
    if (ok && std::isfinite(value)) {
        const double rounded = roundHalfEven(value);
        if (rounded >= 1 && rounded <= 255) {
            result.kind = PeriodAnswer::Kind::Start;
            result.period = quint8(rounded);
            return result;
        }
    }
    result.kind = PeriodAnswer::Kind::Refused;
    result.message = PeriodRangeMessage;
    return result;
}

bool MinuteTick(quint8& count, quint8 period) {
    if (count < 255)
        ++count;
    if (count < period)
        return false;
    count = 0;
    return true;
}

} // namespace fh
