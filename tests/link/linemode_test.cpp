// Direction modes and local echo on the virtual line, in virtual time: who keys the driver,
// the silences every mode keeps, and the echo taken off before the reply.
#include "link/requests.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

namespace {

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
        Line l(always({{6000, StatusReply}}));
        l.port.setAdapter(c.mode);
        l.link.mode = c.mode;
        ASSERT_TRUE(l.link.prepareLine());
        l.port.clearEvents();

        const qint64 start = l.clock.nowUs();
        EXPECT_FALSE(l.link.run({Pattern::SendOnly, StatusTo1}).collected);
        const qint64 end = l.clock.nowUs();
        l.port.bytesWaiting();
        std::vector<LineEvent::Kind> rts;
        for (const LineEvent& e : l.port.events())
            if (e.kind == K::RtsOn || e.kind == K::RtsOff)
                rts.push_back(e.kind);
        EXPECT_EQ(rts, c.rts);
        EXPECT_EQ(l.peer.heard(), std::vector<QByteArray>{StatusTo1}); // whole frame on the line
        // 4 ms of key-up (or silence) before a function-200 frame, 4 ms of turnaround after it.
        EXPECT_NEAR(l.first(K::TxByte) - start, 4000 + 1042, 2);
        EXPECT_NEAR(end - l.first(K::TxByte, true), 4000, 2);

        l.clock.advanceUs(100'000); // the answer to the frame above is over
        EXPECT_EQ(l.link.run({Pattern::Poll, StatusTo1}).reply, StatusReply);
    }
}

// Where nothing is keyed, the 4 ms before a command frame is silence on the line, counted from
// the last byte heard: after a reply that came in whole, the line has been quiet for the rest
// of its window and the next frame goes out at once. A driver the program keys always gets its
// key-up time, and a line not known to be quiet gets 4 ms from the request.
TEST(DirectionMode, KeyUpWhereNothingIsKeyedIsSilenceOnTheLine) {
    const struct {
        const char* name;
        LineMode mode;
        bool before;    // a status exchange comes first
        bool whole;     // its reply is all in when collection starts (else it trickles in)
        bool stray;     // a byte comes after its window
        qint64 idleUs;  // between that exchange and the next request
        qint64 keyUpUs; // from the next request to its first byte leaving, minus a byte
    } cases[] = {
        {"quiet_line_at_once", LineMode::Auto, true, true, false, 0, 0},
        {"fresh_line", LineMode::Auto, false, true, false, 0, 4000},
        {"reply_still_arriving_late_in_the_window", LineMode::Auto, true, false, false, 0, 4000},
        {"stray_byte_after_the_window", LineMode::Auto, true, true, true, 60'000, 4000},
        {"keyed_driver_always", LineMode::Rts, true, true, false, 0, 4000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ReplySegment> answer{{6000, StatusReply}};
        if (c.stray)
            answer.push_back({120'000, "x"});
        Line l(always(answer));
        l.port.setAdapter(c.mode);
        l.link.mode = c.mode;
        ASSERT_TRUE(l.link.prepareLine());
        if (c.before) {
            ASSERT_TRUE(l.link.send(StatusTo1));
            l.link.finishSending(true);
            if (c.whole)
                l.clock.advanceUs(40'000); // the whole reply is waiting
            ASSERT_TRUE(l.link.collectReply());
            EXPECT_EQ(l.link.reply(), StatusReply);
            l.clock.advanceUs(c.idleUs);
        }
        l.port.clearEvents();
        const qint64 start = l.clock.nowUs();
        ASSERT_TRUE(l.link.send(StatusTo1));
        l.link.finishSending();
        l.port.bytesWaiting();
        EXPECT_NEAR(l.first(K::TxByte) - start - 1042, c.keyUpUs, 2);
    }
}

const QByteArray None;
TEST(LocalEcho, ComesOffFirstOrFailsTheExchange) {
    // The answers, after the request's last byte.
    using Answer = std::vector<ReplySegment>;
    const Answer status{{10'000, StatusReply}}, written{{10'000, Write1}}, silent;
    const Answer early{{2'000, StatusReply}};
    // An adapter that holds received bytes back (a USB latency timer): its copy comes late.
    const Answer late{{30'000, StatusTo1}, {10'000, StatusReply}};
    const struct {
        const char* name;
        bool adapterEchoes;
        bool echoOption;
        Answer answer;
        Pattern pattern;  // a confirmed write sends Write1, the others StatusTo1
        ReplyFault fault; // the exchange's verdict
        QByteArray reply; // what is collected
    } cases[] = {
        {"removed", true, true, status, Pattern::Poll, ReplyFault::None, StatusReply},
        {"removed_before_an_acknowledged_write", true, true, written, Pattern::ConfirmedWrite,
         ReplyFault::None, Write1},
        // Without the option an echo is never stripped: the reply check refuses it.
        {"kept_when_not_asked", true, false, status, Pattern::Poll, ReplyFault::Echo,
         StatusTo1 + StatusReply},
        {"missing_write_is_not_repeated", false, true, silent, Pattern::ConfirmedWrite,
         ReplyFault::EchoMissing, None},
        {"differs_when_a_reply_comes_instead", false, true, early, Pattern::ButtonRead,
         ReplyFault::EchoDiffers, None},
        {"late_copy_within_the_window", false, true, late, Pattern::ButtonRead, ReplyFault::None,
         StatusReply},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Line l(always(c.answer));
        l.port.setEcho(c.adapterEchoes);
        l.link.echo = c.echoOption;
        std::vector<Traffic> traffic;
        l.link.onTraffic = [&](const Traffic& t) { traffic.push_back(t); };

        Transaction t{c.pattern, c.pattern == Pattern::ConfirmedWrite ? Write1 : StatusTo1};
        t.test = [](const QByteArray& r) { return r == Write1; };
        const Exchange x = l.link.run(t);

        EXPECT_EQ(x.reply.toHex(' '), c.reply.toHex(' '));
        EXPECT_EQ(x.collected, !c.reply.isEmpty());
        EXPECT_EQ(x.verdict.fault, c.fault);
        EXPECT_EQ(l.peer.heard().size(), 1u); // a write is never repeated into a wrong echo
        if (c.fault == ReplyFault::EchoMissing || c.fault == ReplyFault::EchoDiffers) {
            // The line fault is in the traffic, as heard.
            ASSERT_FALSE(traffic.empty());
            EXPECT_EQ(traffic.back().direction, Traffic::Received);
            EXPECT_EQ(traffic.back().verdict.fault, c.fault);
        }
    }
}

// A detector may answer BIT with a copy of the request. Each row polls status first, as every
// caller does, then runs BIT; only a line that has shown an echo without Echo distrusts a copy.
TEST(LocalEcho, ABitAnsweredWithACopyIsPerformedUnlessTheLineEchoedWithoutEcho) {
    const QByteArray bit = SendCommand(1, cmd::Bit);
    for (const auto& [adapterEchoes, echoOption, detectorCopies] : {std::tuple{false, false, true},
                                                                    {true, true, true},
                                                                    {true, false, false},
                                                                    {true, false, true}}) {
        Line l([&](const QByteArray& request, qint64) {
            if (request == StatusTo1 || detectorCopies)
                return std::vector<ReplySegment>{
                    {10'000, request == StatusTo1 ? StatusReply : bit}};
            return std::vector<ReplySegment>{};
        });
        l.port.setEcho(adapterEchoes);
        l.link.echo = echoOption;
        const bool lineOk = !adapterEchoes || echoOption;
        EXPECT_EQ(l.link.run({Pattern::Poll, StatusTo1}).answered, lineOk);
        l.clock.advanceUs(100'000);
        const Exchange x = l.link.run({Pattern::ButtonRead, bit});
        EXPECT_EQ(x.verdict.fault, lineOk ? ReplyFault::None : ReplyFault::Echo) << adapterEchoes;
        EXPECT_EQ(x.answered ? x.reply : bit, bit);
    }
}

} // namespace
