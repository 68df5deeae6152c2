// One watched line on the virtual line and virtual time: the order of the requests, readings at
// their period, and detectors (or the whole line) that stop answering properly shown as down.
#include "common/waitfor.h"
#include "link/requests.h"
#include "link/virtualport.h"
#include "sim/simbus.h"
#include "watch/linepoller.h"

#include <gtest/gtest.h>
#include <mutex>

using namespace fh;
using namespace fh::watch;
using fh::test::WaitFor;

namespace {

// The simulated bus, with every request it hears and when.
struct Rig : LinePeer {
    explicit Rig(LineConfig config) {
        config.name = "trunk-a";
        config.port = "/dev/virtual";
        poller = std::make_unique<LinePoller>(
            config,
            [this] {
                auto p = std::make_unique<VirtualPort>(clock, *this);
                port = p.get();
                return p;
            },
            clock);
    }
    ~Rig() override { poller.reset(); } // the worker goes before the bus it talks to
    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        {
            std::lock_guard lock(mutex);
            heard.push_back({request, endUs});
        }
        return bus.answer(request, endUs);
    }
    std::vector<std::pair<QByteArray, qint64>> requests() {
        std::lock_guard lock(mutex);
        return heard;
    }
    const DetectorState& at(int address) const { return poller->detectors().at(address); }

    VirtualClock clock;
    SimBus bus;
    VirtualPort* port = nullptr;
    std::mutex mutex;
    std::vector<std::pair<QByteArray, qint64>> heard;
    std::unique_ptr<LinePoller> poller;
};

LineConfig lineOf(QList<int> detectors, int readingsPeriodS = 0) {
    LineConfig c;
    c.detectors = detectors;
    c.readingsPeriodS = readingsPeriodS;
    return c;
}

TEST(LinePoller, StatusRoundRobinAndReadingsAtTheirPeriod) {
    Rig rig(lineOf({3, 1, 2}, 10));
    rig.bus.add(1, 117, 20417);
    rig.bus.add(2, 358, 31208)->setInputFloat(5, 1520.5f); // C1: 22 registers
    rig.bus.add(3, 113, 1203)->setInput(4, 7);             // a gain code outside 0..3
    rig.poller->start();
    ASSERT_TRUE(WaitFor([&] { return rig.clock.nowUs() > 35'000'000; }, 60000));
    rig.poller->requestStop();
    rig.poller->waitStopped(QDeadlineTimer(5000));

    QList<int> statusOrder;
    std::map<int, std::vector<qint64>> readingsAt;
    for (const auto& [request, t] : rig.requests()) {
        const int address = quint8(request.at(0));
        if (request == SendCommand(quint8(address), cmd::Status))
            statusOrder << address;
        else if (request == ReadInputs(quint8(address), address == 2 ? 22 : 15))
            readingsAt[address].push_back(t);
        else
            ADD_FAILURE() << "unexpected request " << request.toHex(' ').toStdString();
    }
    ASSERT_GE(statusOrder.size(), 30);
    for (int i = 0; i < statusOrder.size(); ++i)
        EXPECT_EQ(statusOrder[i], (QList<int>{3, 1, 2})[i % 3]) << "poll " << i;
    // Read at once, then every 10 s (give or take an exchange: the next one is chosen while the
    // one before is on the line), 22 registers for C1.
    for (int address : {1, 2, 3}) {
        const std::vector<qint64>& at = readingsAt[address];
        ASSERT_GE(at.size(), 3u) << address;
        for (size_t i = 1; i < at.size(); ++i) {
            EXPECT_GE(at[i] - at[i - 1], 9'900'000) << address;
            EXPECT_LT(at[i] - at[i - 1], 10'500'000) << address;
        }
    }
    ASSERT_TRUE(rig.at(2).readings);
    EXPECT_EQ(rig.at(2).readings->Sum4, 1520.5f);
    EXPECT_TRUE(rig.at(2).bitSums);
    EXPECT_FALSE(rig.at(1).bitSums);
    EXPECT_TRUE(rig.at(1).gainKnown);
    EXPECT_FALSE(rig.at(3).gainKnown) << "no gain the detector did not report";
    EXPECT_EQ(rig.poller->counters().timeouts, 0u);
}

// A detector whose replies stop passing the reply check is down, its fault is counted by kind,
// and nothing of those replies is taken: the serial it now reports shows only once a reply
// passes again.
TEST(LinePoller, AnswersTheCheckRefusesTurnTheDetectorDownAndDecodeNothing) {
    const struct {
        SimFaults faults;
        ReplyFault counted;
    } rows[] = {
        {{.silent = true}, ReplyFault::NoReply},
        {{.wrongCheck = true}, ReplyFault::BadCheck},
        {{.shortReply = 9}, ReplyFault::WrongLength},
        {{.replyAddress = 9}, ReplyFault::OtherAddress},
    };
    for (const auto& row : rows) {
        Rig rig(lineOf({1, 2}, 1));
        auto one = rig.bus.add(1, 117, 20417);
        rig.bus.add(2, 113, 1203);
        QList<DetectorState> changes;
        QObject::connect(rig.poller.get(), &LinePoller::stateChanged,
                         [&](const DetectorState& d) { changes << d; });
        rig.poller->start();
        ASSERT_TRUE(WaitFor([&] { return rig.at(1).up && rig.at(1).readings; }));

        one->setFaults(row.faults);
        one->setSerial(777);
        ASSERT_TRUE(WaitFor([&] { return !rig.at(1).up; }));
        ASSERT_TRUE(WaitFor([&] { return rig.poller->counters().polls > 20; }));
        const DetectorState down = rig.at(1);
        EXPECT_EQ(down.serial, 20417);
        EXPECT_FALSE(down.readings) << "readings of a detector that is down are not shown";
        const LineCounters c = rig.poller->counters();
        if (row.counted == ReplyFault::NoReply)
            EXPECT_GT(c.timeouts, 0u);
        else
            EXPECT_GT(c.faults[size_t(row.counted)], 0u) << int(row.counted);
        EXPECT_TRUE(rig.at(2).up) << "the other detector is polled on";

        one->setFaults({});
        ASSERT_TRUE(WaitFor([&] { return rig.at(1).up; }));
        EXPECT_EQ(rig.at(1).serial, 777);
        // Told once each way: up, down, up again with the new serial.
        QList<std::pair<bool, int>> seen;
        for (const DetectorState& d : changes)
            if (d.address == 1)
                seen << std::pair{d.up, int(d.serial)};
        EXPECT_EQ(seen, (QList<std::pair<bool, int>>{{true, 20417}, {false, 20417}, {true, 777}}));
    }
}

TEST(LinePoller, ALostLineShowsEveryDetectorDownUntilItIsBack) {
    Rig rig(lineOf({1, 2}));
    rig.bus.add(1, 117, 20417);
    rig.bus.add(2, 113, 1203);
    rig.poller->start();
    ASSERT_TRUE(WaitFor([&] { return rig.at(1).up && rig.at(2).up; }));
    rig.port->setPresent(false);
    ASSERT_TRUE(WaitFor([&] { return !rig.poller->lineUp(); }));
    EXPECT_FALSE(rig.at(1).up);
    EXPECT_FALSE(rig.at(2).up);
    const quint64 polls = rig.poller->counters().polls;
    const qint64 gone = rig.clock.nowUs();
    ASSERT_TRUE(WaitFor([&] { return rig.clock.nowUs() > gone + 3'000'000; }));
    EXPECT_EQ(rig.poller->counters().polls, polls) << "nothing is sent while the line is gone";
    rig.port->setPresent(true);
    ASSERT_TRUE(WaitFor([&] { return rig.at(1).up && rig.at(2).up; }));
    EXPECT_TRUE(rig.poller->lineUp());
}

TEST(LinePoller, AScanFindsTheDetectorsThenPollsThem) {
    LineConfig scan;
    scan.scan = true;
    Rig rig(scan);
    rig.bus.add(5, 117, 20417);
    rig.bus.add(200, 113, 1203);
    QList<int> found;
    QObject::connect(rig.poller.get(), &LinePoller::scanFinished,
                     [&](const QList<int>& f) { found = f; });
    rig.poller->start();
    ASSERT_TRUE(WaitFor([&] { return !found.isEmpty(); }, 60000));
    EXPECT_EQ(found, (QList<int>{5, 200}));
    const quint64 polls = rig.poller->counters().polls;
    EXPECT_EQ(polls, 0u) << "a scan's silent addresses are no time-outs of the line";
    ASSERT_TRUE(WaitFor([&] { return rig.poller->counters().polls > polls + 4; }));
    EXPECT_EQ(rig.poller->detectors().size(), 2u);
    EXPECT_TRUE(rig.at(5).up && rig.at(200).up);
}

} // namespace
