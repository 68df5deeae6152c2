// The exchange engine on the virtual line in virtual time: windows, keying, patterns.
#include "detector/replycheck.h"
#include "link/link.h"
#include "link/virtualport.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using fh::test::hex;

namespace {

const QByteArray StatusTo1 = hex("01 C8 07 00 20 D1 5B 04 05 03 BD 27");
const QByteArray ReadSetup1 = hex("01 03 00 01 00 01 D5 CA");
const QByteArray StatusReply = hex("01 C8 0A 00 20 00 75 01 00 00 4E 00 AA BB");

struct Line {
    VirtualClock clock;
    test::ScriptedPeer peer;
    VirtualPort port{clock, peer};
    Link link{port, clock, MakeReplyChecker()};
    Line() {
        port.setTracing(true);
        port.open();
    }

    qint64 first(LineEvent::Kind kind) const {
        for (const auto& e : port.events())
            if (e.kind == kind)
                return e.timeUs;
        return -1;
    }
    qint64 last(LineEvent::Kind kind) const {
        qint64 t = -1;
        for (const auto& e : port.events())
            if (e.kind == kind)
                t = e.timeUs;
        return t;
    }
};

// The detector answers so that its first byte lands `firstByteUs` after the wait starts.
int waitWithFirstByteAt(Line& l, qint64 firstByteUs, qint64* tookUs) {
    l.link.TurnaroundDelay = 0; // the wait starts the moment the last byte has left
    l.peer.setScript([&](const QByteArray&, qint64 end) {
        return test::arrivingAt(end, end + firstByteUs, hex("01 03 02 00 07 F9 86"));
    });
    l.link.Send(ReadSetup1);
    l.link.OnTransmitDone();
    const qint64 start = l.clock.nowUs();
    const int r = l.link.WaitReply(start);
    *tookUs = l.clock.nowUs() - start;
    return r;
}

TEST(WaitReply, CollectsAFirstByteJustInsideTheWindowAndTakes100msMore) {
    Line l;
    qint64 took = 0;
    EXPECT_EQ(waitWithFirstByteAt(l, 590'000, &took), 1);
    EXPECT_EQ(l.link.RxCount, 7);
    EXPECT_GE(took, 690'000);
    EXPECT_LE(took, 692'000);
}

TEST(WaitReply, ByteJustOutsideTheWindowIsNotAReply) {
    Line l;
    qint64 took = 0;
    EXPECT_EQ(waitWithFirstByteAt(l, 601'000, &took), 0);
    EXPECT_EQ(l.link.RxCount, 0);
}

TEST(WaitReply, SilenceReturnsZeroAfter600msAndKeepsTheLastReply) {
    Line l;
    l.peer.setScript([](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{5000, StatusReply}};
    });
    ASSERT_TRUE(l.link.run({Pattern::Poll, StatusTo1}).collected);
    const auto before = l.link.RxBuf;
    ASSERT_EQ(l.link.RxCount, 14);

    l.peer.setScript({});
    const qint64 start = l.clock.nowUs();
    EXPECT_EQ(l.link.WaitReply(start), 0);
    EXPECT_GE(l.clock.nowUs() - start, 600'000);
    EXPECT_LE(l.clock.nowUs() - start, 650'000);
    EXPECT_EQ(l.link.RxCount, 14);
    EXPECT_EQ(l.link.RxBuf, before);
}

TEST(WaitReply, WrongCheckBytesAreStillCollected) {
    Line l;
    QByteArray bad = StatusReply;
    bad[12] = '\x00';
    bad[13] = '\x00';
    l.peer.setScript([&](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{5000, bad}};
    });
    const Exchange x = l.link.run({Pattern::Poll, StatusTo1});
    EXPECT_TRUE(x.collected);
    EXPECT_EQ(x.reply, bad);
}

TEST(WaitReply, AFloodKeepsTheFirst257BytesAndCountsTheRest) {
    Line l;
    l.link.TurnaroundDelay = 0;
    l.peer.setScript([](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{0, QByteArray(300, 'q')}};
    });
    l.link.Send(ReadSetup1);
    l.link.OnTransmitDone();
    l.clock.advanceUs(400'000); // the whole burst is waiting
    ASSERT_EQ(l.link.WaitReply(), 1);
    EXPECT_EQ(l.link.RxCount, 257);
    EXPECT_EQ(l.link.discardedBytes(), 43);
    EXPECT_EQ(l.link.RxBuf[256], 'q');
}

struct KeyCase {
    const char* name;
    QByteArray frame;
    qint16 turnaround;
    qint64 keyToFirstByteUs; // RTS on -> first byte has left
};

class Keying : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keying, CommandFramesWait4000usAndTheLineIsReleasedAfterTheTurnaround) {
    const KeyCase& c = GetParam();
    Line l;
    l.link.TurnaroundDelay = c.turnaround;
    l.link.Send(c.frame);
    l.link.OnTransmitDone();
    l.port.bytesWaiting(); // let the line record the bytes
    const qint64 on = l.first(LineEvent::RtsOn);
    const qint64 firstByte = l.first(LineEvent::TxByte);
    const qint64 lastByte = l.last(LineEvent::TxByte);
    const qint64 off = l.first(LineEvent::RtsOff);
    EXPECT_NEAR(firstByte - on, c.keyToFirstByteUs, 2);
    EXPECT_NEAR(lastByte - firstByte, (c.frame.size() - 1) * VirtualPort::ByteUs, 2);
    EXPECT_GE(off - lastByte, c.turnaround);
    EXPECT_LE(off - lastByte, c.turnaround + 2);
}

INSTANTIATE_TEST_SUITE_P(Frames, Keying,
                         ::testing::Values(KeyCase{"command", StatusTo1, 4000, 4000 + 1042},
                                           KeyCase{"register_read", ReadSetup1, 4000, 1042},
                                           KeyCase{"tuned_25000", StatusTo1, 25000, 4000 + 1042},
                                           KeyCase{"tuned_write", hex("01 06 00 00 00 02 08 0B"),
                                                   25000, 1042}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Keying, RepliesHeardWhileTheDriverIsKeyedAreLost) {
    Line l;
    l.link.TurnaroundDelay = 25000;
    l.peer.setScript([](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{1000, StatusReply}};
    });
    const Exchange x = l.link.run({Pattern::Poll, StatusTo1});
    // The reply ends about 15.6 ms after the request; the driver is still keyed until 25 ms.
    EXPECT_FALSE(x.collected);
    EXPECT_EQ(l.port.lostBytes(), 14);
}

// Confirmed write: the detector stays silent for the first `silent` attempts.
class ConfirmedWrite : public ::testing::TestWithParam<int> {};

TEST_P(ConfirmedWrite, StopsAtTheFirstAcknowledgedAttempt) {
    const int silent = GetParam();
    Line l;
    const QByteArray write = hex("01 06 00 00 00 02 08 0B");
    int heard = 0;
    l.peer.setScript([&](const QByteArray& req, qint64) {
        if (++heard <= silent)
            return std::vector<ReplySegment>{};
        return std::vector<ReplySegment>{{5000, req}};
    });
    Transaction t{Pattern::ConfirmedWrite, write};
    t.test = [](const QByteArray& r) { return r.size() == 8 && r[1] == 6; };
    const qint64 start = l.clock.nowUs();
    const Exchange x = l.link.run(t);
    const bool acked = silent < 6;
    EXPECT_EQ(x.acknowledged, acked);
    EXPECT_EQ(x.attempts, acked ? silent + 1 : 6);
    EXPECT_EQ(static_cast<int>(l.peer.heard().size()), x.attempts);
    // Each unanswered attempt costs 500 ms + 600 ms; an answered one 500 ms + 100 ms.
    const qint64 took = l.clock.nowUs() - start;
    const qint64 expected = qint64(acked ? silent : 6) * 1'100'000 + (acked ? 600'000 : 0);
    EXPECT_NEAR(took, expected, 30'000);
}

INSTANTIATE_TEST_SUITE_P(Attempts, ConfirmedWrite, ::testing::Values(0, 3, 5, 6));

TEST(ConfirmedWrite, ARefusingReplyCountsAsNoAcknowledgement) {
    Line l;
    l.peer.setScript([](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{5000, hex("01 86 02 C3 A1")}};
    });
    Transaction t{Pattern::ConfirmedWrite, hex("01 06 00 00 00 02 08 0B")};
    t.test = [](const QByteArray& r) { return r.size() == 8 && r[1] == 6; };
    const Exchange x = l.link.run(t);
    EXPECT_FALSE(x.acknowledged);
    EXPECT_EQ(x.attempts, 6);
    EXPECT_TRUE(x.collected);
}

// Only the reply check makes a write acknowledged, whatever the write's own test says, and
// only the frame of a proper answer is handed on.
TEST(ConfirmedWrite, OnlyAProperAnswerAcknowledges) {
    const QByteArray write = hex("01 06 00 00 00 02 08 0B");
    QByteArray badCheck = write;
    badCheck[7] = 0;
    const struct {
        const char* name;
        QByteArray reply;
        bool acknowledged;
        ReplyFault fault;
        int trailing;
    } rows[] = {
        {"proper", write, true, ReplyFault::None, 0},
        {"trailing junk", write + hex("EE EE"), true, ReplyFault::None, 2},
        {"bad check bytes", badCheck, false, ReplyFault::BadCheck, 0},
        {"echo, then the answer", write + write, false, ReplyFault::Echo, 0},
        {"another value", hex("01 06 00 00 00 03 C9 CB"), false, ReplyFault::OtherCommand, 0},
        {"exception", hex("01 86 03 02 61"), false, ReplyFault::Exception, 0},
    };
    for (const auto& row : rows) {
        Line l;
        std::vector<Traffic> received;
        l.link.onTraffic = [&](const Traffic& t) {
            if (t.direction == Traffic::Received)
                received.push_back(t);
        };
        l.peer.setScript([&](const QByteArray&, qint64) {
            return std::vector<ReplySegment>{{5000, row.reply}};
        });
        Transaction t{Pattern::ConfirmedWrite, write};
        t.test = [](const QByteArray&) { return true; };
        const Exchange x = l.link.run(t);
        EXPECT_EQ(x.acknowledged, row.acknowledged) << row.name;
        EXPECT_EQ(x.answered, row.acknowledged) << row.name;
        EXPECT_EQ(x.attempts, row.acknowledged ? 1 : 6) << row.name;
        EXPECT_EQ(x.verdict.fault, row.fault) << row.name;
        EXPECT_EQ(x.verdict.trailingBytes, row.trailing) << row.name;
        if (row.acknowledged) {
            EXPECT_EQ(x.reply, write) << row.name;
        }
        ASSERT_FALSE(received.empty()) << row.name;
        EXPECT_EQ(received.back().verdict.fault, row.fault) << row.name;
        EXPECT_EQ(received.back().bytes, row.reply) << row.name;
    }
}

TEST(Patterns, ALateByteOfOneExchangeIsNeverTakenForTheNextAnswer) {
    Line l;
    // A reply, then stray bytes 300 ms later, after the collection has ended.
    l.peer.setScript([](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{5000, StatusReply}, {300'000, hex("EE EE")}};
    });
    ASSERT_EQ(l.link.run({Pattern::Poll, StatusTo1}).reply, StatusReply);
    l.clock.advanceUs(400'000);
    l.peer.setScript({});
    const Exchange x = l.link.run({Pattern::ButtonRead, ReadSetup1});
    EXPECT_FALSE(x.collected);
}

TEST(Patterns, PollWindowCoversTheTransmissionButAButtonReadsStartsAfterIt) {
    // A poll's window opens when the request is handed over; a button read's only when
    // the line is released, 16.5 ms later for a status command.
    for (Pattern p : {Pattern::Poll, Pattern::ButtonRead}) {
        Line l;
        qint64 handedOver = 0;
        l.peer.setScript([&](const QByteArray&, qint64 end) {
            return test::arrivingAt(end, handedOver + 610'000, StatusReply);
        });
        handedOver = l.clock.nowUs() + 4000; // the 4 ms key time comes first
        const Exchange x = l.link.run({p, StatusTo1});
        // 610 ms after hand-over is too late for a poll, in time for a button read.
        EXPECT_EQ(x.collected, p == Pattern::ButtonRead) << int(p);
    }
}

TEST(Patterns, SendOnlyCollectsNothing) {
    Line l;
    l.peer.setScript([](const QByteArray&, qint64) {
        return std::vector<ReplySegment>{{5000, StatusReply}};
    });
    const Exchange x = l.link.run({Pattern::SendOnly, StatusTo1});
    EXPECT_FALSE(x.collected);
    l.port.bytesWaiting();
    EXPECT_EQ(l.peer.heard().size(), 1u);
    EXPECT_FALSE(l.port.rts());
}

TEST(Patterns, AnUnpluggedDeviceEndsTheExchangeWithAPortError) {
    Line l;
    l.port.setPresent(false);
    const Exchange x = l.link.run({Pattern::Poll, StatusTo1});
    EXPECT_TRUE(x.portError);
    EXPECT_FALSE(x.collected);
}

} // namespace
