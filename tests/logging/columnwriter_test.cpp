// The column rule both logs share, the single-byte text, and the date and time texts.
#include "logging/columnwriter.h"
#include "logging/logclock.h"

#include <gtest/gtest.h>
#include <vector>

using namespace fh;

namespace {

TEST(ColumnWriter, PadsUpToTheStopOrStartsANewLinePastIt) {
    const struct {
        const char* what;
        std::vector<std::pair<int, const char*>> items; // column, text
        QByteArray bytes;
    } cases[] = {
        {"padded to the stop", {{1, "ab"}, {5, "c"}}, "ab  c\r\n"},
        {"line ends just before the stop", {{1, "abcd"}, {5, "e"}}, "abcde\r\n"},
        {"line reaches the stop", {{1, "abcde"}, {5, "f"}}, "abcde\r\n    f\r\n"},
        {"line far past the stop",
         {{1, "abcdefgh"}, {5, "x"}, {7, "y"}},
         "abcdefgh\r\n    x y\r\n"},
        {"column 1 after text", {{1, "a"}, {1, "b"}}, "a\r\nb\r\n"},
        {"empty item still pads", {{1, "a"}, {5, ""}}, "a   \r\n"},
        {"empty item past the stop", {{1, "abcdef"}, {3, ""}}, "abcdef\r\n  \r\n"},
        {"columns below 1 count as 1", {{0, "a"}, {-3, "b"}}, "a\r\nb\r\n"},
        {"first item at a later column", {{4, "z"}}, "   z\r\n"},
        {"control characters cannot break a line", {{1, "a\r\nb"}, {6, "c"}}, "a??b c\r\n"}};
    for (const auto& c : cases) {
        ColumnWriter w;
        for (const auto& [column, text] : c.items)
            w.at(column, QString::fromUtf8(text));
        w.endLine();
        EXPECT_EQ(w.bytes(), c.bytes) << c.what;
    }
}

TEST(LogBytes, OneBytePerCharacter) {
    const struct {
        QString text;
        QByteArray bytes;
        bool fits;
    } cases[] = {{"Addr. 12", "Addr. 12", true},
                 {QString::fromUtf8("\u00e9t\u00e9"), "\xe9t\xe9", true},
                 {QString::fromUtf8("4:27\u202fPM"), "4:27 PM", true}, // narrow no-break space
                 {"a\tb", "a b", true},
                 {QString::fromUtf8("4\u6642"), "4?", false},
                 {QString(QChar(0)) + "x\x7f", "?x?", false},
                 {"\r\n", "??", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ToLogBytes(c.text), c.bytes) << qPrintable(c.text);
        EXPECT_EQ(FitsLogBytes(c.text), c.fits) << qPrintable(c.text);
    }
}

TEST(LogClock, LocaleDateAndTimeWithSecondsInSingleBytes) {
    const QDate date(2026, 12, 5);
    const QTime time(16, 7, 9);
    const struct {
        QLocale locale;
        const char* date;
        const char* time;
    } cases[] = {{QLocale(QLocale::English, QLocale::UnitedStates), "12/5/26", "4:07:09 PM"},
                 {QLocale(QLocale::German, QLocale::Germany), "05.12.26", "16:07:09"},
                 // Texts with no single-byte form fall back to fixed forms.
                 {QLocale(QLocale::Arabic, QLocale::Egypt), "2026-12-05", "16:07:09"}};
    for (const auto& c : cases) {
        const LogClock clock([] { return QDateTime(); }, c.locale);
        EXPECT_EQ(clock.dateText(date), c.date) << qPrintable(c.locale.name());
        EXPECT_EQ(clock.timeText(time), c.time) << qPrintable(c.locale.name());
        EXPECT_FALSE(TimeWithSecondsFormat(c.locale).contains(u't'));
    }
}

} // namespace
