#pragma once
// Shared pieces of the logging tests: a clock with known texts and whole-file helpers.
#include "logging/logclock.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QString>

namespace fh::test {

// 5 December 2026, 04:27:37, in en_US: "12/5/26" and "4:27:37 AM".
inline LogClock fixedClock() {
    return LogClock([] { return QDateTime(QDate(2026, 12, 5), QTime(4, 27, 37)); },
                    QLocale(QLocale::English, QLocale::UnitedStates));
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

} // namespace fh::test
