// Writing a saved setup back: refused for another model or an entry that cannot be written,
// nothing written when nothing changes, and a write that is acknowledged and read back.
#include "linerig.h"
#include "operations/masterguard.h"
#include "samples.h"
#include "visit/restore.h"

using namespace fh;
using namespace fh::visit;

namespace {

const char* const Bus = R"({"detectors":[{"address":1,"model":"Zorvan A2","serial":1},
    {"address":2,"model":"Zorvan C1","serial":2},
    {"address":3,"model":"Zorvan C1","serial":3,"setup":[17664,0,1,15]}]})";
// One detector alone, whose status reply is cut short.
const char* const LoneShort =
    R"({"detectors":[{"address":1,"model":"Zorvan A2","serial":1,"faults":{"shortReply":9}}]})";

DetectorEntry saved(quint16 code, const char* model, const std::vector<quint16>& registers) {
    DetectorEntry e;
    e.address = 9;
    e.identity = Identity{code, model, 77, 'N', 0};
    if (!registers.empty())
        e.setup = test::SetupOf(model, registers);
    return e;
}

TEST(SetupRestore, RefusesWritesNothingOrWritesAndReadsBack) {
    using R = SetupRestore::Result;
    const struct {
        const char* name;
        quint8 address;
        DetectorEntry saved;
        R result;
        const char* says; // part of the message, or of the changes when the result is Pending
        int writes;
        quint16 register1After;
        bool silentAfterCheck = false;
        const char* bus = Bus;
    } cases[] = {
        {"Written", 1, saved(117, "Zorvan A2", {0x4560}), R::Verified,
         "sensitivity 5 -> 7.5; delay 5 -> 20", 1, 0x4560},
        {"SameSetup", 3, saved(358, "Zorvan C1", {0x4500, 0, 1, 15}), R::Pending, "", 0, 0x4500},
        // The bits no setting shows are written as 0, and so the write is no repetition.
        {"HiddenBitsOnly", 2, saved(358, "Zorvan C1", {0x4505, 0, 1, 15}), R::Verified,
         "registers 0x4505 0x0000 0x0001 0x000f -> 0x4500 0x0000 0x0001 0x000f", 1, 0x4500},
        {"OtherModel", 2, saved(117, "Zorvan A2", {0x4560}), R::Refused,
         "the setup is for a Zorvan A2 (model code 117), but the detector at address 2 is a "
         "Zorvan C1 (model code 358); nothing was written",
         0, 0x4505},
        {"NotRead", 1, saved(117, "Zorvan A2", {}), R::Refused, "holds no setup", 0, 0x2530},
        {"OutsideItsList", 1, saved(113, "Zorvan A1", {0x4500}), R::Refused,
         "its sensitivity was read outside its list (raw 2)", 0, 0x2530},
        {"MasterModeOnABus", 0, saved(117, "Zorvan A2", {0x4560}), R::Refused, MasterCollisionText,
         0, 0x2530},
        {"MasterModeLoneFaultyReply", 0, saved(117, "Zorvan A2", {0x4560}), R::NoAnswer,
         "did not answer the status command properly: wrong length", 0, 0x2530, false, LoneShort},
        {"NotAcknowledged", 1, saved(117, "Zorvan A2", {0x4560}), R::NotAcknowledged,
         "did not acknowledge the setup in 6 attempts", 6, 0x2530, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LineRig rig(c.bus);
        SetupRestore restore(*rig.worker, c.address, c.saved);
        bool ended = false;
        QObject::connect(&restore, &SetupRestore::finished, [&] { ended = true; });
        QObject::connect(&restore, &SetupRestore::checked, [&] {
            if (c.silentAfterCheck)
                rig.bus->detector(1)->setFaults({.silent = true});
            if (restore.changes().empty())
                ended = true;
            else
                restore.write();
        });
        restore.check();
        ASSERT_TRUE(test::WaitFor([&] { return ended; }));
        EXPECT_EQ(restore.result(), c.result);
        QStringList changes;
        for (const SettingChange& s : restore.changes())
            changes << QStringLiteral("%1 %2 -> %3").arg(s.setting, s.before, s.after);
        EXPECT_TRUE((c.result == R::Pending || c.result == R::Verified ? changes.join("; ")
                                                                       : restore.message())
                        .contains(c.says))
            << qPrintable(restore.message()) << qPrintable(changes.join("; "));
        EXPECT_EQ(rig.sentWithFunction("06").size() + rig.sentWithFunction("10").size(), c.writes);
        const quint8 target = c.address == 0 ? 1 : c.address;
        EXPECT_EQ(rig.bus->detector(target)->holding(1), c.register1After);
        if (c.name == std::string("NotRead") || c.name == std::string("OutsideItsList")) {
            EXPECT_TRUE(rig.sent.isEmpty()); // refused before the line is asked anything
        }
    }
}

TEST(SetupRestore, ReadBackComparesTheRegistersTheWriteCovers) {
    const struct {
        const char* model;
        std::vector<quint16> written, readBack;
        QStringList mismatches;
    } cases[] = {
        {"Zorvan A2", {0x4560}, {0x4560}, {}},
        {"Zorvan A2", {0x4560}, {0x2530}, {"register 1: 0x2530 read, 0x4560 written"}},
        {"Zorvan B1", {0x2400, 5, 6, 7}, {0x2400, 0, 0, 0}, {}}, // writes register 1 only
        {"Zorvan C1",
         {0x4505, 0, 2, 30},
         {0x4505, 0, 2, 31},
         {"register 4: 0x001f read, 0x001e written"}},
        {"Zorvan C1",
         {0x4505, 0, 2, 30},
         {},
         {"register 1: nothing read, 0x4505 written", "register 2: nothing read, 0x0000 written",
          "register 3: nothing read, 0x0002 written", "register 4: nothing read, 0x001e written"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadBackMismatches(c.model, c.written, c.readBack), c.mismatches) << c.model;
}

} // namespace
