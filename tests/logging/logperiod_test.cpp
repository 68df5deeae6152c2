// The operator's period answer and the minute count of both logs.
#include "logging/logperiod.h"

#include <gtest/gtest.h>
#include <vector>

using namespace fh;

namespace {

using Kind = PeriodAnswer::Kind;

TEST(PeriodAnswer, LeadingNumberRoundedHalfToEvenAndKeptIn1To255) {
    const struct {
        const char* answer;
        bool cancelled;
        Kind kind;
        int period;
    } cases[] = {
        {"15", false, Kind::Start, 15},     {"  15 minutes", false, Kind::Start, 15},
        {"2.5", false, Kind::Start, 2},     {"3.5", false, Kind::Start, 4},
        {"2.6", false, Kind::Start, 3},     {"255.4", false, Kind::Start, 255},
        {"+7", false, Kind::Start, 7},      {"1e2", false, Kind::Start, 100},
        {"2e", false, Kind::Start, 2},      {"12,5", false, Kind::Start, 12},
        {"0.5", false, Kind::Refused, 0},   {"0", false, Kind::Refused, 0},
        {".4", false, Kind::Refused, 0},    {"255.5", false, Kind::Refused, 0},
        {"300", false, Kind::Refused, 0},   {"-3", false, Kind::Refused, 0},
        {"abc", false, Kind::Refused, 0},   {"minutes 15", false, Kind::Refused, 0},
        {"1e999", false, Kind::Refused, 0}, {"", false, Kind::Nothing, 0},
        {"   ", false, Kind::Nothing, 0},   {"15", true, Kind::Nothing, 0},
    };
    for (const auto& c : cases) {
        const PeriodAnswer a = ReadPeriodAnswer(QString::fromUtf8(c.answer), c.cancelled);
        EXPECT_EQ(a.kind, c.kind) << c.answer;
        EXPECT_EQ(a.period, c.period) << c.answer;
        EXPECT_EQ(a.message.isEmpty(), c.kind != Kind::Refused) << c.answer;
    }
}

TEST(MinuteTick, RecordDueWhenTheCountReachesThePeriod) {
    const struct {
        int period;
        std::vector<int> dueTicks; // within ticks 1..7
    } cases[] = {
        {1, {1, 2, 3, 4, 5, 6, 7}}, {3, {3, 6}}, {7, {7}}, {8, {}},
        {0, {1, 2, 3, 4, 5, 6, 7}}, // no period yet: every tick, nothing counted up
    };
    for (const auto& c : cases) {
        quint8 count = 0;
        std::vector<int> due;
        for (int tick = 1; tick <= 7; ++tick) {
            if (MinuteTick(count, quint8(c.period)))
                due.push_back(tick);
        }
        EXPECT_EQ(due, c.dueTicks) << "period " << c.period;
    }

    quint8 count = 255; // the count never wraps to start a period over
    EXPECT_TRUE(MinuteTick(count, 255));
    EXPECT_EQ(count, 0);
}

} // namespace
