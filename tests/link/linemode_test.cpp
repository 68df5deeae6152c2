// Direction modes and local echo on the virtual line, in virtual time: who keys the driver,
// the silences every mode keeps, and the echo taken off before the reply.
#include "detector/replycheck.h"
#include "link/crc.h"
#include "link/link.h"
#include "link/virtualport.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray StatusReply = withCrc(hex("01 C8 0A 00 20 00 75 01 00 00 4E 00"));

using K = LineEvent::Kind;

// The adapter suits the mode, so a reply comes back in every mode; what differs is the trace.
TEST(DirectionMode, KeysAsItsAdapterNeedsAndKeepsKeyUpAndTurnaround) {
    const struct {
        const char* name;
        LineMode mode;
        std::vector<LineEvent::Kind> rts; // the RTS trace of one exchange, in order
    } cases[] = {{"rts", LineMode::Rts, {K::RtsOn, K::RtsOff}},
                 {"rts_inverted", LineMode::RtsInverted, {K::RtsOff, K::RtsOn}},
                 {"auto", LineMode::Auto, {}},
                 {"kernel", LineMode::Kernel, {K::RtsOn, K::RtsOff}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualClock clock;
        test::ScriptedPeer peer(always({{6000, StatusReply}}));
        VirtualPort port(clock, peer);
        port.setAdapter(c.mode);
        port.setTracing(true);
        port.open();
        Link link(port, clock, MakeReplyChecker());
        link.Mode = c.mode;
        ASSERT_TRUE(link.PrepareLine());
        port.clearEvents();

        const qint64 start = clock.nowUs();
        EXPECT_FALSE(link.run({Pattern::SendOnly, StatusTo1}).collected);
        const qint64 end = clock.nowUs();
        port.bytesWaiting();
        std::vector<LineEvent::Kind> rts;
        qint64 firstByte = -1, lastByte = -1;
        for (const LineEvent& e : port.events()) {
            if (e.kind == LineEvent::RtsOn || e.kind == LineEvent::RtsOff)
                rts.push_back(e.kind);
            if (e.kind == LineEvent::TxByte) {
                lastByte = e.timeUs;
                if (firstByte < 0)
                    firstByte = e.timeUs;
            }
        }
        EXPECT_EQ(rts, c.rts);
        EXPECT_EQ(peer.heard(), std::vector<QByteArray>{StatusTo1}); // whole frame on the line
        // 4 ms of key-up (or silence) before a function-200 frame, 4 ms of turnaround after it.
        EXPECT_NEAR(firstByte - start, 4000 + 1042, 2);
        EXPECT_GE(end - lastByte, 4000);

        clock.advanceUs(100'000); // the answer to the frame above is over
        EXPECT_EQ(link.run({Pattern::Poll, StatusTo1}).reply, StatusReply);
    }
}

const QByteArray None;
TEST(LocalEcho, ComesOffFirstOrFailsTheExchange) {
    const struct {
        const char* name;
        bool adapterEchoes;
        bool echoOption;
        qint64 replyDelayUs; // after the request's last byte; < 0: the detector stays silent
        Pattern pattern;
        QByteArray frame;
        ReplyFault fault; // the exchange's verdict
        QByteArray reply; // what is collected
    } cases[] = {
        {"removed", true, true, 10'000, Pattern::Poll, StatusTo1, ReplyFault::None, StatusReply},
        {"removed_before_an_acknowledged_write", true, true, 10'000, Pattern::ConfirmedWrite,
         Write1, ReplyFault::None, Write1},
        // Without the option an echo is never stripped: the reply check refuses it.
        {"kept_when_not_asked", true, false, 10'000, Pattern::Poll, StatusTo1, ReplyFault::Echo,
         StatusTo1 + StatusReply},
        {"missing_write_is_not_repeated", false, true, -1, Pattern::ConfirmedWrite, Write1,
         ReplyFault::EchoMissing, None},
        {"differs_when_a_reply_comes_instead", false, true, 2'000, Pattern::ButtonRead, StatusTo1,
         ReplyFault::EchoDiffers, None}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualClock clock;
        test::ScriptedPeer peer([&c](const QByteArray& req, qint64) {
            if (c.replyDelayUs < 0)
                return std::vector<ReplySegment>{};
            return std::vector<ReplySegment>{
                {c.replyDelayUs, req == Write1 ? Write1 : StatusReply}};
        });
        VirtualPort port(clock, peer);
        port.setEcho(c.adapterEchoes);
        port.open();
        Link link(port, clock, MakeReplyChecker());
        link.Echo = c.echoOption;
        std::vector<Traffic> traffic;
        link.onTraffic = [&](const Traffic& t) { traffic.push_back(t); };

        Transaction t{c.pattern, c.frame};
        t.test = [](const QByteArray& r) { return r == Write1; };
        const Exchange x = link.run(t);

        EXPECT_EQ(x.reply.toHex(' '), c.reply.toHex(' '));
        EXPECT_EQ(x.collected, !c.reply.isEmpty());
        EXPECT_EQ(x.verdict.fault, c.fault);
        EXPECT_EQ(peer.heard().size(), 1u); // a write is never repeated into a wrong echo
        if (c.fault == ReplyFault::EchoMissing || c.fault == ReplyFault::EchoDiffers) {
            // The line fault is in the traffic, as heard.
            ASSERT_FALSE(traffic.empty());
            EXPECT_EQ(traffic.back().direction, Traffic::Received);
            EXPECT_EQ(traffic.back().verdict.fault, c.fault);
        }
    }
}

} // namespace
