// The exchange engine on the virtual line in virtual time: windows, keying, patterns.
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

namespace {

TEST(CollectReply, AFloodKeepsTheFirst257BytesAndCountsTheRest) {
    Line l;
    l.link.turnaroundUs = 0;
    l.peer.setScript(always({{0, QByteArray(300, 'q')}}));
    l.link.send(ReadSetup1);
    l.link.finishSending();
    l.clock.advanceUs(400'000); // the whole burst is waiting
    ASSERT_TRUE(l.link.collectReply());
    EXPECT_EQ(l.link.reply().size(), 257);
    EXPECT_EQ(l.link.discardedBytes(), 43);
    EXPECT_EQ(l.link.reply()[256], 'q');
}

// A register frame leaves at once, without the key-up wait of a command frame, its bytes back
// to back; the line is released exactly the turnaround after the last byte, and what the
// detector says while the driver is still keyed is lost.
TEST(Keying, RegisterFramesAndTurnaround) {
    for (const auto& [frame, turnaround, lost] :
         {std::tuple{ReadSetup1, 4000, 0}, {Write1, 25000, 8}}) {
        Line l(always({{5000, Write1}})); // over 13.3 ms after the request
        l.link.turnaroundUs = turnaround;
        l.link.send(frame);
        l.link.finishSending();
        l.port.bytesWaiting(); // let the line record the bytes
        const qint64 firstByte = l.first(LineEvent::TxByte);
        const qint64 lastByte = l.first(LineEvent::TxByte, true);
        EXPECT_NEAR(firstByte - l.first(LineEvent::RtsOn), 1042, 2) << turnaround;
        EXPECT_NEAR(lastByte - firstByte, (frame.size() - 1) * VirtualPort::ByteUs, 2);
        EXPECT_NEAR(l.first(LineEvent::RtsOff) - lastByte, turnaround + 1, 1) << turnaround;
        EXPECT_EQ(l.port.lostBytes(), lost) << turnaround;
    }
}

// Confirmed write: the detector stays silent for the first `silent` attempts, then answers.
// Only the reply check makes a write acknowledged, whatever the write's own test says, and
// only the frame of a proper answer is handed on.
TEST(ConfirmedWrite, RetriesUntilAProperAnswer) {
    const struct {
        int silent;
        QByteArray reply;
        ReplyFault fault; // of the last attempt's answer
    } rows[] = {{0, Write1, ReplyFault::None},
                {3, Write1 + hex("EE EE"), ReplyFault::None}, // trailing bytes: not handed on
                {5, Write1, ReplyFault::None},
                {6, Write1, ReplyFault::None},
                {0, Write1 + Write1, ReplyFault::Echo}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.silent);
        int heard = 0;
        Line l([&](const QByteArray&, qint64) {
            if (++heard <= row.silent)
                return std::vector<ReplySegment>{};
            return std::vector<ReplySegment>{{5000, row.reply}};
        });
        std::vector<Traffic> received;
        l.link.onTraffic = [&](const Traffic& t) {
            if (t.direction == Traffic::Received)
                received.push_back(t);
        };
        Transaction t{Pattern::ConfirmedWrite, Write1};
        t.test = [](const QByteArray&) { return true; };
        const qint64 start = l.clock.nowUs();
        const Exchange x = l.link.run(t);
        const bool acked = row.silent < 6 && row.fault == ReplyFault::None;
        EXPECT_EQ(x.acknowledged, acked);
        EXPECT_EQ(x.answered, acked);
        EXPECT_EQ(x.attempts, acked ? row.silent + 1 : 6);
        EXPECT_EQ(int(l.peer.heard().size()), x.attempts);
        // Each unanswered attempt costs 500 ms + 600 ms; an answered one 500 ms + 100 ms.
        const int unanswered = std::min(row.silent, 6);
        EXPECT_NEAR(l.clock.nowUs() - start,
                    unanswered * 1'100'000 + (x.attempts - unanswered) * 600'000, 30'000);
        if (acked) {
            EXPECT_EQ(x.reply, Write1);
        }
        if (row.silent < 6) {
            EXPECT_EQ(x.verdict.fault, row.fault);
            EXPECT_EQ(x.verdict.trailingBytes, acked ? row.reply.size() - Write1.size() : 0);
            ASSERT_FALSE(received.empty());
            EXPECT_EQ(received.back().verdict.fault, row.fault);
            EXPECT_EQ(received.back().bytes, row.reply);
        }
    }
}

TEST(Patterns, ALateByteOfOneExchangeIsNeverTakenForTheNextAnswer) {
    Line l;
    // A reply, then stray bytes 300 ms later, after the collection has ended.
    l.peer.setScript(always({{5000, StatusReply}, {300'000, hex("EE EE")}}));
    ASSERT_EQ(l.link.run({Pattern::Poll, StatusTo1}).reply, StatusReply);
    l.clock.advanceUs(400'000);
    l.peer.setScript({});
    const Exchange x = l.link.run({Pattern::ButtonRead, ReadSetup1});
    EXPECT_FALSE(x.collected);
}

TEST(Patterns, AnUnpluggedDeviceEndsTheExchangeWithAPortError) {
    Line l;
    l.port.setPresent(false);
    const Exchange x = l.link.run({Pattern::Poll, StatusTo1});
    EXPECT_TRUE(x.portError);
    EXPECT_FALSE(x.collected);
}

} // namespace

// Frame-complete collection: a reply of known length ends 3.5 character times after it is
// in; anything else, and a reply still arriving, keeps the 100 ms window. The fixed window
// takes everything within 100 ms of the first byte, and nothing after.
TEST(Collection, EndsAfterTheFrameOrTheWindowButNeverCutsAReplyShort) {
    const QByteArray& good = SetupReply;
    const QByteArray badCheck = good.chopped(1) + '\0';
    struct Case {
        const char* name;
        bool fast;
        std::vector<ReplySegment> segments;
        int collected;
        qint64 minUs, maxUs; // first byte to the end of collection
    } cases[] = {
        {"whole frame", true, {{5000, good}}, 7, 10'000, 11'500},
        {"paused mid-frame",
         true,
         {{5000, good.left(3)}, {60'000, good.mid(3)}},
         7,
         70'000,
         72'000},
        {"trailing bytes are collected", true, {{5000, good}, {2000, "xy"}}, 9, 14'000, 16'000},
        {"bad check bytes keep the window", true, {{5000, badCheck}}, 7, 100'000, 102'000},
        {"exception", true, {{5000, hex("01 83 02 C0 F1")}}, 5, 8'000, 11'500},
        {"fixed, pause", false, {{5000, good.left(3)}, {60'000, good.mid(3)}}, 7, 101'000, 102'000},
        {"fixed, late byte stays out", false, {{5000, good}, {95'000, "x"}}, 7, 101'000, 102'000},
    };
    for (const Case& c : cases) {
        Line l;
        l.peer.setScript(always(c.segments));
        Transaction t{Pattern::Poll, ReadSetup1};
        t.fastReply = c.fast;
        l.link.run(t);
        const qint64 took = l.clock.nowUs() - l.first(LineEvent::RxByte) + 1042;
        EXPECT_EQ(l.link.reply().size(), c.collected) << c.name;
        EXPECT_GE(took, c.minUs) << c.name;
        EXPECT_LE(took, c.maxUs) << c.name;
    }
}
