// The operations on simulated detectors over the line worker, on virtual time: what each one
// asks of the line, what it refuses before writing, and how it tells its end.
#include "common/bytes.h"
#include "common/waitfor.h"
#include "detector/replycheck.h"
#include "detector/setupverify.h"
#include "link/crc.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/virtualport.h"
#include "operations/addresschange.h"
#include "operations/masterguard.h"
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

enum class Spoil { Drop, BreakCheck, ClearLatch };
// Replies to one function (and address, 0: any), the first `times` of them (-1: all): dropped,
// with wrong check bytes, or with the alarm-latch bit of register 1 cleared (check bytes right).
TamperedBus::Tamper Spoiled(quint8 function, Spoil how, int times = -1, quint8 address = 0) {
    auto left = std::make_shared<int>(times);
    return [=](const QByteArray& req, QByteArray& reply) {
        if (quint8(req.at(1)) != function || (address && quint8(req.at(0)) != address) || !*left)
            return;
        --*left;
        if (how == Spoil::Drop)
            reply.clear();
        else if (how == Spoil::BreakCheck)
            reply[reply.size() - 1] = char(reply.back() ^ 0x55);
        else
            reply = withCrc(
                reply.left(reply.size() - 2).replace(3, 1, QByteArray(1, char(reply.at(3) & ~1))));
    };
}
constexpr auto Status = fn::Command, Read = fn::ReadHolding;
using Arrange = std::function<void(SimBus&)>;

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

// A Zorvan A2 at 1 and a Zorvan C1 at 2.
void DefaultBus(SimBus& bus) {
    bus.add(1, 117, 20417);
    bus.add(2, 358, 31208);
}

TEST(SetupOpen, OpensOnlyWithTheModelItsOwnStatusReplyConfirmed) {
    const QString NotOpened = ": the setup screen was not opened.";
    const QString Silent1 = "No answer from address 1" + NotOpened;
    struct Case {
        const char* what;
        quint8 address; // 0: master mode
        TamperedBus::Tamper tamper;
        const char* model; // the snapshot's, or nullptr: refused with `refusal`
        QString refusal;
        int requests;    // heard in all
        QByteArray read; // the last of them, when it is the setup read
        Arrange arrange = DefaultBus;
    };
    const Case cases[] = {
        {"C1: four registers read", 2, nullptr, "Zorvan C1", "", 2, ReadSetup(2, 4)},
        {"master mode: read where it answered", 0, nullptr, "Zorvan B1", "", 2, ReadSetup(12, 4),
         [](SimBus& bus) { bus.add(12, 118, 4711); }},
        {"status with bad check bytes", 1, Spoiled(Status, Spoil::BreakCheck), nullptr,
         "The reply from address 1 could not be read (bad check bytes)" + NotOpened, 1, ""},
        {"a poll missed once: asked again", 1, Spoiled(Status, Spoil::Drop, 1), "Zorvan A2", "", 3,
         ReadSetup(1, 1)},
        {"polls missed twice", 1, Spoiled(Status, Spoil::Drop, 2), nullptr, Silent1, 2, ""},
        {"setup reply with bad check bytes", 1, Spoiled(Read, Spoil::BreakCheck), nullptr,
         SetupCouldNotReadText, 2, ReadSetup(1, 1)},
        {"setup read missed twice", 1, Spoiled(Read, Spoil::Drop), nullptr, Silent1, 3,
         ReadSetup(1, 1)},
        {"master mode on a bus of two", 0, nullptr, nullptr, MasterCollisionText, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        c.arrange(line.peer.bus);
        line.peer.tamper = c.tamper;
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
        ASSERT_EQ(int(heard.size()), c.requests);
        EXPECT_EQ(heard.back(), c.read.isEmpty() ? heard.front() : c.read);
    }
}

TEST(SetupWrite, ReadsBackWhatWasWrittenAndNamesWhatDiffers) {
    const ConfirmedDetector a2{1, 117, "Zorvan A2", 20417};
    const SetupValue changed{"10", "15", "", "", {.alarmL = true, .autoBit = true}};
    const QByteArray frame = WriteSetup(1, "Zorvan A2", changed);
    using R = SetupWrite::Result;
    const QString Unread = "Setup written, but it could not be read back to verify it.";
    struct Case {
        const char* what;
        TamperedBus::Tamper tamper;
        bool master;
        R result;
        QString text;
        int writes, reads;
        Arrange arrange = {};
    };
    const Case cases[] = {
        {"verified", nullptr, false, R::Verified, SetupVerifiedText, 1, 1},
        {"a bit the detector keeps", Spoiled(Read, Spoil::ClearLatch), false, R::Differs,
         "Setup written, but it reads back differently: Enable Alarm Latch.", 1, 1},
        {"read back missed once", Spoiled(Read, Spoil::Drop, 1), false, R::Verified,
         SetupVerifiedText, 1, 2},
        {"read back never comes", Spoiled(Read, Spoil::Drop), false, R::Unverified, Unread, 1, 3},
        {"never acknowledged", nullptr, false, R::NotAcknowledged, SetupNotSavedText, 6, 0,
         [](SimBus& bus) { bus.detector(1)->setFaults({.silent = true}); }},
        {"master mode, alone", nullptr, true, R::Verified, SetupVerifiedText, 1, 1},
        {"master mode, not alone", nullptr, true, R::Refused, MasterCollisionText, 0, 0,
         [](SimBus& bus) { bus.add(2, 358, 31208); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        const auto detector = line.peer.bus.add(1, 117, 20417);
        if (c.arrange)
            c.arrange(line.peer.bus);
        line.peer.tamper = c.tamper;
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
    const QString Moved12 = "Detector 20417 now answers at address 12";
    struct Case {
        const char* what;
        quint8 from, to; // from 0: master mode
        TamperedBus::Tamper tamper;
        R result;
        QString text;
        int writes;
        quint8 endsAt; // where serial 20417 answers afterwards
        Arrange arrange = {};
    };
    const Case cases[] = {
        {"moved", 1, 12, nullptr, R::Moved, Moved12, 1, 12},
        {"taken by a detector", 1, 2, nullptr, R::Refused,
         "Address 2 is already used by Zorvan C1, serial 31208", 0, 1},
        {"taken by one that missed a poll", 1, 2, Spoiled(Status, Spoil::Drop, 1, 2), R::Refused,
         "Address 2 is already used by Zorvan C1, serial 31208", 0, 1},
        {"taken by a reply that cannot be read", 1, 2, Spoiled(Status, Spoil::BreakCheck, -1, 2),
         R::Refused, "Address 2 is already used by a detector whose reply could not be read", 0, 1},
        {"nobody at the old address", 9, 12, nullptr, R::Refused,
         "No answer from address 9: nothing was written.", 0, 1},
        {"acknowledgement lost, but it moved", 1, 12, Spoiled(fn::WriteSingle, Spoil::Drop),
         R::Moved, Moved12, 6, 12},
        {"acknowledged, but silent there", 1, 12, Spoiled(Status, Spoil::Drop, -1, 12), R::Unheard,
         "Detector 20417 does not answer at address 12", 1, 12},
        {"master mode, alone", 0, 30, nullptr, R::Moved, "Detector 20417 now answers at address 30",
         1, 30, [](SimBus& bus) { bus.remove(2); }},
        {"master mode, not alone", 0, 30, nullptr, R::Refused, MasterCollisionText, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Line line;
        DefaultBus(line.peer.bus);
        if (c.arrange)
            c.arrange(line.peer.bus);
        line.peer.tamper = c.tamper;
        AddressChange op(c.from, c.to, c.from == 0);
        line.run(op);
        EXPECT_EQ(op.result(), c.result);
        EXPECT_EQ(op.text(), c.text);
        EXPECT_EQ(line.heard(WriteAddr(c.from ? c.from : 1, c.to)), c.writes);
        EXPECT_EQ(line.peer.bus.detectorAt(0)->address(), c.endsAt);
    }
}

} // namespace
} // namespace fh::test
