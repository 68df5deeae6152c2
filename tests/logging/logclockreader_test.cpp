// Dates and times read back in the locale they were written in, and the single-byte fallbacks.
#include "logging/columnwriter.h"
#include "logging/logclockreader.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

TEST(LogClockReader, EveryLocaleReadsBackWhatItWrites) {
    const QDateTime instants[] = {
        {QDate(2026, 12, 5), QTime(4, 27, 37)},
        {QDate(2031, 1, 9), QTime(16, 5, 9)},
        {QDate(2000, 2, 29), QTime(0, 0, 0)},
        {QDate(2099, 7, 31), QTime(12, 59, 59)},
    };
    QStringList failed;
    for (const QLocale& locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        LogClockReader reader(locale);
        for (const QDateTime& at : instants) {
            const LogClock clock([&] { return at; }, locale);
            const QByteArray date = ToLogBytes(clock.dateText(at.date()));
            const QByteArray time = ToLogBytes(clock.timeText(at.time()));
            if (reader.date(date) != at.date() || reader.time(time) != at.time())
                failed << locale.name() + ": " + QString::fromLatin1(date + " " + time);
        }
    }
    EXPECT_TRUE(failed.isEmpty()) << failed.size() << " texts, first "
                                  << qPrintable(failed.mid(0, 10).join("\n"));
}

TEST(LogClockReader, TakesOnlyTextsTheWriterWrites) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const struct {
        QLocale locale;
        const char* text;
        const char* date; // ISO; nullptr: not a date
        const char* time; // nullptr: not a time
    } rows[] = {
        {us, "12/5/26", "2026-12-05", nullptr},
        {us, "1/1/99", "2099-01-01", nullptr}, // two-digit years are this century's
        {us, "12/05/26", nullptr, nullptr},    // no leading zero in M/d/yy
        {us, "2/30/26", nullptr, nullptr},
        {us, "2026-12-05", "2026-12-05", nullptr}, // the fallbacks, in any locale
        {us, "04:27:37", nullptr, "04:27:37"},
        {us, "4:27:37 AM", nullptr, "04:27:37"},
        {us, "12:00:00 AM", nullptr, "00:00:00"},
        {us, "12:00:00 PM", nullptr, "12:00:00"},
        {us, "4:27:37 am", nullptr, nullptr},
        {us, "16:27:37 PM", nullptr, nullptr},
        {QLocale::c(), "5 Dec 2026", "2026-12-05", nullptr},
        {QLocale::c(), "5 December 2026", nullptr, nullptr},
        {QLocale(QLocale::German, QLocale::Germany), "05.12.26", "2026-12-05", nullptr},
        {QLocale(QLocale::German, QLocale::Germany), "5.12.26", nullptr, nullptr},
    };
    for (const auto& row : rows) {
        LogClockReader reader(row.locale);
        const auto date = reader.date(row.text);
        const auto time = reader.time(row.text);
        EXPECT_EQ(date ? date->toString(Qt::ISODate).toStdString() : "-", row.date ? row.date : "-")
            << row.text;
        EXPECT_EQ(time ? time->toString(Qt::ISODate).toStdString() : "-", row.time ? row.time : "-")
            << row.text;
    }
}

} // namespace
