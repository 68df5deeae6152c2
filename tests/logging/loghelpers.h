#pragma once
// Shared by the logging tests: a clock with known texts and a detector on a good link.
#include "common/bytes.h"
#include "detector/detectorrecord.h"
#include "logging/logclock.h"

#include <QDateTime>
#include <QLocale>

namespace fh::test {

// In en_US: "12/5/26" and "4:27:37 AM".
inline const QDateTime FixedNow(QDate(2026, 12, 5), QTime(4, 27, 37));

// Reads *now, which a test may move on.
inline LogClock fixedClock(const QDateTime* now = &FixedNow) {
    return LogClock([now] { return *now; }, QLocale(QLocale::English, QLocale::UnitedStates));
}

inline DetectorRecord goodRecord(char status = 'N', quint8 address = 1, quint16 serial = 4660) {
    return {.Address = address,
            .ModelName = {},
            .SerialNumber = serial,
            .StatusChar = quint8(status),
            .LinkGood = true};
}

} // namespace fh::test
