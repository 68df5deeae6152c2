// Misbehaviour on demand: each fault changes the reply in its own way and no other.
#include "sim/simcheck.h"
#include "sim/simdetector.h"
#include "sim/simhelpers.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

constexpr qint64 Latency = SimDetector::DefaultLatencyUs;

TEST(SimFaultCases, ShapeTheReply) {
    const QByteArray clean = hex("01 C8 09 00 20 00 75 4F C1 00 4E 00 CB 62");
    const struct {
        const char* name;
        SimFaults faults;
        // Expected timing and bytes: {delay, byte count} per segment.
        std::vector<std::pair<qint64, int>> shape;
        bool checkOk; // the reply part (without garbage) passes its check
    } cases[] = {
        {"None", {}, {{Latency, 14}}, true},
        {"Silent", {.silent = true}, {}, false},
        {"LateFirstByte", {.lateFirstByteUs = 590'000}, {{590'000, 14}}, true},
        {"Short", {.shortReply = 11}, {{Latency, 11}}, false},
        {"CutToNothing", {.shortReply = 0}, {}, false},
        {"WrongCheck", {.wrongCheck = true}, {{Latency, 14}}, false},
        {"Exception", {.exceptionFunction = 0x83, .exceptionCode = 2}, {{Latency, 5}}, true},
        {"Split", {.splitAfter = 6, .splitGapUs = 50'000}, {{Latency, 6}, {50'000, 8}}, true},
        {"Garbage", {.garbageBytes = 20, .garbageDelayUs = 700}, {{Latency, 14}, {700, 20}}, true},
        {"GarbageWithoutReply", {.shortReply = 0, .garbageBytes = 3}, {{0, 3}}, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimDetector d(1, 117, 0x4FC1), twin(1, 117, 0x4FC1);
        d.setFaults(c.faults);
        twin.setFaults(c.faults);
        const auto segments = d.respond(hex(StatusTo1), 0);
        // The same on every run, noise included, so a failing test can be run again.
        EXPECT_EQ(joined(twin.respond(hex(StatusTo1), 0)), joined(segments));
        ASSERT_EQ(segments.size(), c.shape.size());
        for (size_t i = 0; i < segments.size(); ++i) {
            EXPECT_EQ(segments[i].delayUs, c.shape[i].first) << i;
            EXPECT_EQ(segments[i].bytes.size(), c.shape[i].second) << i;
        }
        if (segments.empty())
            continue;
        const QByteArray all = joined(segments);
        const QByteArray reply = all.left(all.size() - c.faults.garbageBytes);
        EXPECT_EQ(simCheckOk(reply), c.checkOk);
        if (c.faults.exceptionFunction == 0) {
            EXPECT_EQ(reply.left(12), clean.left(std::min<qsizetype>(reply.size(), 12)));
        }
        const QByteArray noise = all.right(c.faults.garbageBytes);
        EXPECT_TRUE(noise.size() < 2 || noise.count(noise.at(0)) < noise.size()); // not one byte
    }
}

TEST(SimFaults, ExceptionBytesAndNoEffect) {
    SimDetector d(1, 117, 1);
    d.setFaults({.exceptionFunction = 0x86, .exceptionCode = 4});
    EXPECT_EQ(joined(d.respond(hex("01 06 00 00 00 02 08 0B"), 0)), simWithCheck(hex("01 86 04")));
    EXPECT_EQ(d.address(), 1);
}

TEST(SimCountedFaults, AnswerOnTheRightAttempts) {
    const struct {
        const char* name;
        int ignoreNext;
        int answerEvery;
        int stopAfter;
        const char* pattern; // one letter per request: 'a' answered, '-' silent
    } cases[] = {{"AcknowledgedOnAttempt4", 3, 0, 0, "---aaa"},
                 {"AcknowledgedOnAttempt6", 5, 0, 0, "-----a"},
                 {"EveryThird", 0, 3, 0, "--a--a--a"},
                 {"IgnoreThenEverySecond", 2, 2, 0, "---a-a"},
                 {"StopsHalfway", 1, 0, 2, "-aa---"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimDetector d(1, 117, 1);
        d.setFaults(
            {.ignoreNext = c.ignoreNext, .answerEvery = c.answerEvery, .stopAfter = c.stopAfter});
        std::string seen;
        for (size_t i = 0; i < std::strlen(c.pattern); ++i) {
            seen += d.respond(hex("01 06 00 01 12 34 D5 7D"), 0).empty() ? '-' : 'a';
            // An ignored write changes nothing until one is heard.
            EXPECT_EQ(d.holding(1), seen.find('a') == std::string::npos ? 0x2530 : 0x1234) << seen;
        }
        EXPECT_EQ(seen, c.pattern);
        EXPECT_EQ(d.requestsSeen(), static_cast<int>(seen.size()));
    }
}
