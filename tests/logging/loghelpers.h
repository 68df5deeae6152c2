#pragma once
// Shared by the logging tests: a clock with known texts.
#include "common/bytes.h"
#include "logging/logclock.h"

#include <QDateTime>
#include <QLocale>

namespace fh::test {

// 5 December 2026, 04:27:37, in en_US: "12/5/26" and "4:27:37 AM".
inline LogClock fixedClock() {
    return LogClock([] { return QDateTime(QDate(2026, 12, 5), QTime(4, 27, 37)); },
                    QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace fh::test
