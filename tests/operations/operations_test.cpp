// The operations on simulated detectors over the line worker, on virtual time: what each one
// asks of the line, what it refuses before writing, and how it tells its end.
#include "common/bytes.h"
#include "common/waitfor.h"
#include "detector/masterguard.h"
#include "detector/replycheck.h"
#include "detector/setupverify.h"
#include "link/crc.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/virtualport.h"
#include "operations/addresschange.h"
#include "operations/setupopen.h"
#include "operations/setupwrite.h"
#include "sim/simbus.h"

#include <gtest/gtest.h>
#include <mutex>

namespace fh::test {
namespace {

// A bus whose replies a test may change or drop, and which records what it heard.
struct TamperedBus final : LinePeer {
    using Tamper = std::function<void(const QByteArray& request, QByteArray& reply)>;
    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        std::vector<ReplySegment> reply = bus.answer(request, endUs);
        std::lock_guard lock(mutex);
        heard.push_back(request);
        if (tamper && !reply.empty()) {
            tamper(request, reply.front().bytes);
            if (reply.front().bytes.isEmpty())
                reply.clear();
        }
        return reply;
    }
    std::vector<QByteArray> requests() {
        std::lock_guard lock(mutex);
        return heard;
    }
    SimBus bus;
    Tamper tamper; // set before the run
    std::mutex mutex;
    std::vector<QByteArray> heard;
};

// Replies to one function: dropped, or with wrong check bytes, or with register 1's high byte
// changed (check bytes made right again).
TamperedBus::Tamper Drop(quint8 function) {
    return [=](const QByteArray& req, QByteArray& reply) {
        if (quint8(req.at(1)) == function)
            reply.clear();
    };
}
TamperedBus::Tamper BreakCheck(quint8 function) {
    return [=](const QByteArray& req, QByteArray& reply) {
        if (quint8(req.at(1)) == function)
            reply[reply.size() - 1] = char(reply.back() ^ 0x55);
    };
}
TamperedBus::Tamper DropFirst(quint8 function, int n) {
    auto left = std::make_shared<int>(n);
    return [=](const QByteArray& req, QByteArray& reply) {
        if (quint8(req.at(1)) == function && (*left)-- > 0)
            reply.clear();
    };
}
TamperedBus::Tamper FlipSetupBits(quint8 mask) {
    return [=](const QByteArray& req, QByteArray& reply) {
        if (quint8(req.at(1)) == fn::ReadHolding && reply.size() > 5)
            reply =
                withCrc(reply.left(3) + char(reply.at(3) ^ mask) + reply.mid(4, reply.size() - 6));
    };
}

struct Line {
    VirtualClock clock;
    TamperedBus peer;
    LineWorker worker{[this] { return std::make_unique<VirtualPort>(clock, peer); },
                      MakeReplyChecker(), clock};
    Line() { EXPECT_TRUE(worker.openPort()); }
    // Runs the operation to its end as the command-line tool does, one exchange at a time.
    void run(LineOperation& op) {
        RunOperation(op, [this](const Transaction& t) {
            std::optional<Exchange> result;
            QObject context;
            quint64 id = 0;
            QObject::connect(&worker, &LineWorker::commandDone, &context, [&](const Exchange& x) {
                if (x.id == id)
                    result = x;
            });
            id = worker.submit(t);
            EXPECT_TRUE(WaitFor([&] { return result.has_value(); }));
            return result.value_or(Exchange{});
        });
    }
    int heard(const QByteArray& frame) {
        const auto all = peer.requests();
        return int(std::count(all.begin(), all.end(), frame));
    }
};

void DefaultBus(Line& l) {
    l.peer.bus.add(1, 117, 20417); // Zorvan A2
    l.peer.bus.add(2, 358, 31208); // Zorvan C1
}

TEST(SetupOpen, OpensOnlyWithTheModelItsOwnStatusReplyConfirmed) {
    const QString NotOpened = "the setup screen was not opened.";
    struct Case {
        const char* what;
        quint8 address; // 0: master mode
        std::function<void(Line&)> arrange;
        const char* model; // the snapshot's, or nullptr: refused with `refusal`
        QString refusal;
        QByteArray read; // the setup read sent, if any
    };
    const Case cases[] = {
        {"C1: four registers read", 2, {}, "Zorvan C1", {}, ReadSetup(2, 4)},
        {"master mode: read at the address that answered",
         0,
         [](Line& l) { l.peer.bus.add(12, 118, 4711); },
         "Zorvan B1",
         {},
         ReadSetup(12, 4)},
        {"nobody there", 9, {}, nullptr, "No answer from address 9: " + NotOpened, {}},
        {"status reply with bad check bytes",
         1,
         [](Line& l) { l.peer.tamper = BreakCheck(fn::Command); },
         nullptr,
         "The reply from address 1 could not be read (bad check bytes): " + NotOpened,
         {}},
        {"a poll the detector misses",
         1,
         [](Line& l) { l.peer.tamper = DropFirst(fn::Command, 1); },
         nullptr,
         "No answer from address 1: " + NotOpened,
         {}},
        {"setup reply with bad check bytes", 1,
         [](Line& l) { l.peer.tamper = BreakCheck(fn::ReadHolding); }, nullptr,
         SetupCouldNotReadText, ReadSetup(1, 1)},
        {"setup read missed", 1, [](Line& l) { l.peer.tamper = Drop(fn::ReadHolding); }, nullptr,
         "No answer from address 1: " + NotOpened, ReadSetup(1, 1)},
        {"master mode on a bus of two", 0, DefaultBus, nullptr, MasterCollisionText, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        if (c.address != 0)
            DefaultBus(line);
        if (c.arrange)
            c.arrange(line);
        SetupOpen op(c.address, c.address == 0);
        line.run(op);
        const SetupOpening end = op.opening();
        EXPECT_EQ(end.refusal, c.refusal);
        ASSERT_EQ(end.snapshot.has_value(), c.model != nullptr);
        if (end.snapshot) {
            EXPECT_EQ(end.snapshot->detector.modelName, c.model);
            EXPECT_TRUE(DecodeSetupReply(end.snapshot->reply, c.model));
        }
        const auto heard = line.peer.requests();
        ASSERT_EQ(heard.size(), c.read.isEmpty() ? 1u : 2u);
        EXPECT_EQ(heard.back(), c.read.isEmpty() ? heard.front() : c.read);
    }
}

TEST(SetupWrite, ReadsBackWhatWasWrittenAndNamesWhatDiffers) {
    const ConfirmedDetector a2{1, 117, "Zorvan A2", 20417};
    const SetupValue changed{"10", "15", "", "", {.alarmL = true, .autoBit = true}};
    const QByteArray frame = WriteSetup(1, "Zorvan A2", changed);
    using R = SetupWrite::Result;
    struct Case {
        const char* what;
        std::function<void(Line&)> arrange;
        bool master;
        R result;
        QString text;
        int writes, reads;
    };
    const Case cases[] = {
        {"verified", {}, false, R::Verified, SetupVerifiedText, 1, 1},
        {"a bit the detector keeps", [](Line& l) { l.peer.tamper = FlipSetupBits(0x01); }, false,
         R::Differs, "Setup written, but it reads back differently: Enable Alarm Latch.", 1, 1},
        {"read back missed once", [](Line& l) { l.peer.tamper = DropFirst(fn::ReadHolding, 1); },
         false, R::Verified, SetupVerifiedText, 1, 2},
        {"read back never comes", [](Line& l) { l.peer.tamper = Drop(fn::ReadHolding); }, false,
         R::Unverified, "Setup written, but it could not be read back to verify it.", 1, 3},
        {"never acknowledged", [](Line& l) { l.peer.bus.detector(1)->setFaults({.silent = true}); },
         false, R::NotAcknowledged, SetupNotSavedText, 6, 0},
        {"master mode, alone", {}, true, R::Verified, SetupVerifiedText, 1, 1},
        {"master mode, not alone", [](Line& l) { l.peer.bus.add(2, 358, 31208); }, true, R::Refused,
         MasterCollisionText, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        const auto detector = line.peer.bus.add(1, 117, 20417);
        if (c.arrange)
            c.arrange(line);
        SetupWrite op(a2, changed, c.master);
        line.run(op);
        EXPECT_EQ(op.result(), c.result);
        EXPECT_EQ(op.refused(), c.result == R::Refused);
        EXPECT_EQ(op.text(SetupSettingCaption), c.text);
        EXPECT_EQ(line.heard(frame), c.writes);
        EXPECT_EQ(line.heard(ReadSetup(1, 1)), c.reads);
        const bool stored = c.writes > 0 && c.result != R::NotAcknowledged;
        EXPECT_EQ(detector->holding(1), stored ? 0x6550 : 0x2530);
    }
}

TEST(AddressChange, WritesOnlyToAFreeAddressAndConfirmsTheSerialThere) {
    using R = AddressChange::Result;
    struct Case {
        const char* what;
        quint8 from, to; // from 0: master mode
        std::function<void(Line&)> arrange;
        R result;
        QString text;
        int writes;
        quint8 endsAt; // where serial 20417 answers afterwards
    };
    const Case cases[] = {
        {"moved", 1, 12, {}, R::Moved, "Detector 20417 now answers at address 12", 1, 12},
        {"taken by a detector",
         1,
         2,
         {},
         R::Refused,
         "Address 2 is already used by Zorvan C1, serial 31208",
         0,
         1},
        {"taken by a reply that cannot be read", 1, 2,
         [](Line& l) { l.peer.bus.detector(2)->setFaults({.wrongCheck = true}); }, R::Refused,
         "Address 2 is already used by a detector whose reply could not be read", 0, 1},
        {"taken by two detectors at once", 1, 7,
         [](Line& l) {
             l.peer.bus.add(7, 118, 1);
             l.peer.bus.add(7, 118, 2);
         },
         R::Refused, "Address 7 is already used by a detector whose reply could not be read", 0, 1},
        {"its own address",
         1,
         1,
         {},
         R::Refused,
         "Address 1 is already used by Zorvan A2, serial 20417",
         0,
         1},
        {"nobody at the old address",
         9,
         12,
         {},
         R::Refused,
         "No answer from address 9: nothing was written.",
         0,
         1},
        {"acknowledgement lost, but it moved", 1, 12,
         [](Line& l) { l.peer.tamper = Drop(fn::WriteSingle); }, R::Moved,
         "Detector 20417 now answers at address 12", 6, 12},
        {"acknowledged, but silent there", 1, 12,
         [](Line& l) {
             l.peer.tamper = [](const QByteArray& req, QByteArray& reply) {
                 if (quint8(req.at(0)) == 12 && quint8(req.at(1)) == fn::Command)
                     reply.clear();
             };
         },
         R::Unheard, "Detector 20417 does not answer at address 12", 1, 12},
        {"master mode, alone", 0, 30, [](Line& l) { l.peer.bus.remove(2); }, R::Moved,
         "Detector 20417 now answers at address 30", 1, 30},
        {"master mode, not alone", 0, 30, {}, R::Refused, MasterCollisionText, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        DefaultBus(line);
        if (c.arrange)
            c.arrange(line);
        AddressChange op(c.from, c.to, c.from == 0);
        line.run(op);
        EXPECT_EQ(op.result(), c.result);
        EXPECT_EQ(op.text(), c.text);
        EXPECT_EQ(line.heard(WriteAddr(c.from ? c.from : 1, c.to)), c.writes);
        const auto moved = line.peer.bus.detectorAt(0);
        EXPECT_EQ(moved->address(), c.endsAt);
    }
}

} // namespace
} // namespace fh::test
