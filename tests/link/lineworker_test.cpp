// The line worker: commands between cycle exchanges, holding the line, losing the device.
#include "common/waitfor.h"
#include "link/lineworker.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray BitTo1 = hex("01 C8 07 00 11 D1 5B 04 05 03 18 CC");
const QByteArray BitReply = hex("01 C8 02 00 11 AA BB");

// A detector at address 1 answering status and BIT, on virtual time.
struct Bus {
    VirtualClock clock;
    ScriptedPeer peer{[](const QByteArray& req, qint64) {
        return std::vector<ReplySegment>{{5000, req == BitTo1 ? BitReply : StatusReply}};
    }};
    VirtualPort* port = nullptr;
    bool adapterEchoes = false, present = true;
    LineWorker worker{[this] {
                          auto p = std::make_unique<VirtualPort>(clock, peer);
                          p->setEcho(adapterEchoes);
                          p->setPresent(present);
                          port = p.get();
                          return p;
                      },
                      MakeReplyChecker(), clock};
    QSignalSpy cycles{&worker, &LineWorker::cycleDone};
    QSignalSpy commands{&worker, &LineWorker::commandDone};
    QSignalSpy states{&worker, &LineWorker::portStateChanged};
    QSignalSpy notices{&worker, &LineWorker::notice};
};

std::vector<Exchange> collect(QSignalSpy& spy) {
    std::vector<Exchange> out;
    for (const auto& args : spy)
        out.push_back(args.at(0).value<Exchange>());
    return out;
}

// A held line runs commands but no cycle; a command's hold keeps the cycle quiet after it. A
// command waits for the poll in flight, which still counts as good.
TEST(LineWorker, HoldsAndCommandsBetweenPolls) {
    Bus bus;
    ASSERT_TRUE(bus.worker.openPort());
    bus.port->setTracing(true);
    bus.worker.setHeld(true);
    bus.worker.setCycle(Transaction{Pattern::Poll, StatusTo1});
    Transaction bit{Pattern::ButtonRead, BitTo1};
    bus.worker.submit(bit);
    bit.holdAfterMs = 300;
    bus.worker.submit(bit);
    ASSERT_TRUE(WaitFor([&] { return bus.commands.count() == 2; }));
    EXPECT_EQ(bus.cycles.count(), 0);
    bus.worker.setHeld(false);
    ASSERT_TRUE(WaitFor([&] { return bus.cycles.count() >= 3; }));
    const quint64 id = bus.worker.submit({Pattern::ButtonRead, BitTo1});
    ASSERT_TRUE(WaitFor([&] { return bus.commands.count() == 3; }));
    ASSERT_TRUE(WaitFor([&] { return bus.cycles.count() >= 10; }));
    const std::vector<LineEvent> events = bus.port->events(); // the port goes with the worker
    bus.worker.stop();

    // The first poll keys the line no sooner than 300 ms after the second BIT's reply.
    qint64 lastReply = 0, nextKeying = 0;
    int keyings = 0;
    for (const LineEvent& e : events) {
        if (e.kind == LineEvent::RxByte && nextKeying == 0)
            lastReply = e.timeUs;
        if (e.kind == LineEvent::RtsOn && ++keyings == 3)
            nextKeying = e.timeUs;
    }
    EXPECT_GE(nextKeying - lastReply, 300'000);
    const Exchange third = collect(bus.commands).at(2);
    EXPECT_EQ(third.id, id);
    EXPECT_TRUE(third.collected);
    EXPECT_EQ(third.reply, BitReply);
    for (const Exchange& poll : collect(bus.cycles)) {
        EXPECT_TRUE(poll.collected) << "a poll around the command turned BAD";
        EXPECT_EQ(poll.reply, StatusReply);
    }
}

TEST(LineWorker, UnpluggedDeviceTurnsBadAndPollingResumesWhenItIsBack) {
    Bus bus;
    bus.worker.setReopenIntervalMs(20);
    ASSERT_TRUE(bus.worker.openPort());
    bus.worker.setCycle(Transaction{Pattern::Poll, StatusTo1});
    ASSERT_TRUE(bus.cycles.wait(10000));

    bus.port->setPresent(false);
    ASSERT_TRUE(bus.states.wait(10000));
    EXPECT_FALSE(bus.states.at(0).at(0).toBool());
    EXPECT_FALSE(bus.worker.portIsOpen());
    // A command while the device is gone fails at once, it is not left hanging.
    bus.worker.submit({Pattern::ButtonRead, BitTo1});
    ASSERT_TRUE(bus.commands.wait(10000));
    EXPECT_TRUE(collect(bus.commands).at(0).portError);
    const qint64 gone = bus.clock.nowUs();
    ASSERT_TRUE(WaitFor([&] { return bus.clock.nowUs() > gone + 1'000'000; }));
    EXPECT_EQ(bus.states.count(), 1) << "one message per episode, not a storm";

    bus.cycles.clear();
    bus.port->setPresent(true);
    ASSERT_TRUE(bus.states.wait(10000));
    EXPECT_TRUE(bus.states.at(1).at(0).toBool());
    ASSERT_TRUE(WaitFor([&] { return bus.cycles.count() >= 2; }));
    EXPECT_TRUE(collect(bus.cycles).back().collected);
}

// Echo expected but absent, or present but not expected: every poll fails, and the operator
// is told once what to change. With Echo on, a second copy fails the poll but is no reason to
// advise turning Echo on.
TEST(LineWorker, EchoTheSettingsDoNotExpectFailsEveryPollAndIsToldOnce) {
    for (const auto& [adapterEchoes, echoOption, detectorCopies, notice] :
         {std::tuple{false, true, false, "expected echo not heard"},
          {true, false, false, "the adapter echoes what it sends: turn on Echo"},
          {true, true, false, ""},
          {true, true, true, ""}}) {
        Bus bus;
        bus.adapterEchoes = adapterEchoes;
        if (detectorCopies)
            bus.peer.setScript([](const QByteArray& request, qint64) {
                return std::vector<ReplySegment>{{5000, request}};
            });
        bus.worker.setEcho(echoOption);
        ASSERT_TRUE(bus.worker.openPort());
        bus.worker.setCycle(Transaction{Pattern::Poll, StatusTo1});
        ASSERT_TRUE(WaitFor([&] { return bus.cycles.count() >= 3; }));
        for (const Exchange& x : collect(bus.cycles))
            EXPECT_EQ(x.answered, !*notice && !detectorCopies) << notice;
        ASSERT_EQ(bus.notices.count(), *notice ? 1 : 0) << notice;
        if (*notice) {
            EXPECT_TRUE(bus.notices.at(0).at(0).toString().startsWith(notice));
        }
    }
}

TEST(LineWorker, OpenFailureIsReportedWithTheDevice) {
    Bus bus;
    bus.present = false;
    QString why;
    EXPECT_FALSE(bus.worker.openPort(&why));
    EXPECT_EQ(why, "virtual: No such device");
}

// A service starts before its adapter is plugged in: the failed open is told, not fatal, and
// the port is tried again until it opens.
TEST(LineWorker, RetryingOpenTellsTheFailureAndOpensOnceTheDeviceIsThere) {
    Bus bus;
    bus.present = false;
    bus.worker.setReopenIntervalMs(20);
    bus.worker.openPortRetrying();
    ASSERT_TRUE(bus.states.wait(10000));
    EXPECT_FALSE(bus.states.at(0).at(0).toBool());
    EXPECT_EQ(bus.states.at(0).at(1).toString(), "virtual: No such device");
    bus.port->setPresent(true);
    ASSERT_TRUE(WaitFor([&] { return bus.states.count() == 2; }));
    EXPECT_TRUE(bus.states.at(1).at(0).toBool());
    bus.worker.setCycle(Transaction{Pattern::Poll, StatusTo1});
    ASSERT_TRUE(bus.cycles.wait(10000));
    EXPECT_TRUE(collect(bus.cycles).at(0).answered);
}

// Quitting ends the wait in progress at once, however long it was to last: the six attempts of
// a write, or an hour's first-byte window. Nothing of the exchange is delivered afterwards.
TEST(LineWorker, QuittingEndsAnyWaitAndDeliversNothingLater) {
    Transaction write{Pattern::ConfirmedWrite, Write1};
    write.test = [](const QByteArray&) { return true; };
    Transaction hour{Pattern::ButtonRead, ReadSetup1};
    hour.firstByteMs = 3'600'000;
    for (const Transaction& t : {write, hour}) {
        // Real time: the worker is waiting on the line when it is stopped.
        ScriptedPeer peer;
        auto worker = std::make_unique<LineWorker>(
            [&] { return std::make_unique<VirtualPort>(SteadyClock::instance(), peer); },
            MakeReplyChecker());
        ASSERT_TRUE(worker->openPort());
        int delivered = 0;
        QObject receiver;
        QObject::connect(worker.get(), &LineWorker::commandDone, &receiver, [&] { ++delivered; });
        worker->submit(t);
        ASSERT_TRUE(WaitFor([&] { return !peer.heard().empty(); })); // the request is out
        worker->stop(); // a wait that did not end would hang the test here
        EXPECT_TRUE(worker->isFinished());
        worker.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(delivered, 0);
    }
}

// An exchange comes back as one message: its frames in the order they crossed the line, then
// its result; a confirmed write's frames of each attempt come before the next attempt begins.
TEST(LineWorker, FramesComeInOrderBeforeTheirResult) {
    Bus bus;
    int heard = 0;
    bus.peer.setScript([&](const QByteArray& request, qint64) {
        // The write is answered on its third attempt; everything else at once.
        if (request == Write1 && ++heard < 3)
            return std::vector<ReplySegment>{};
        return std::vector<ReplySegment>{{5000, request == Write1 ? Write1 : StatusReply}};
    });
    QStringList log;
    QObject::connect(&bus.worker, &LineWorker::traffic, &bus.worker, [&](const Traffic& t) {
        log << (t.direction == Traffic::Sent ? QStringLiteral("sent")
                : t.bytes.isEmpty()          ? QStringLiteral("silence")
                                             : QStringLiteral("reply"));
    });
    QObject::connect(
        &bus.worker, &LineWorker::writeAttempt, &bus.worker,
        [&](quint64, int attempt, int) { log << QStringLiteral("attempt %1").arg(attempt); });
    int done = 0;
    QObject::connect(&bus.worker, &LineWorker::commandDone, &bus.worker, [&] {
        log << QStringLiteral("done");
        ++done;
    });
    ASSERT_TRUE(bus.worker.openPort());
    bus.worker.submit({Pattern::ButtonRead, StatusTo1});
    Transaction write{Pattern::ConfirmedWrite, Write1};
    write.test = [](const QByteArray& r) { return r == Write1; };
    bus.worker.submit(write);
    ASSERT_TRUE(WaitFor([&] { return done == 2; }));
    EXPECT_EQ(log.join(", "), "sent, reply, done, attempt 1, sent, silence, attempt 2, sent, "
                              "silence, attempt 3, sent, reply, done");
}

} // namespace
