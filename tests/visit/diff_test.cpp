// Two visits compared: detectors matched by model and serial wherever they moved, and each
// difference named once.
#include "samples.h"
#include "visit/diff.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::visit;

namespace {

using Change = std::function<void(SiteRecord&)>;

TEST(VisitDiff, NamesEachDifferenceAndNothingElse) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        Change change; // made to the newer visit
        QStringList lines;
        double threshold = DefaultSumsThreshold;
        Change olderChange = [](SiteRecord&) {};
    } cases[] = {
        {"Same", [](SiteRecord&) {}, {}},
        {"Moved",
         [](SiteRecord& r) { r.detectors[0].address = 12; },
         {"moved: Zorvan C1 serial 31208 from address 3 to 12"}},
        {"SetupAndFirmware",
         [](SiteRecord& r) {
             r.detectors[0].setup = test::SetupOf("Zorvan C1", {0xC505, 0, 2, 10});
             r.detectors[0].firmware = "C1 FW 3.01";
         },
         {"setup changed: Zorvan C1 serial 31208 at address 3: heat_on 30 -> 10",
          "setup changed: Zorvan C1 serial 31208 at address 3: relay_as_eol off -> on",
          "firmware changed: Zorvan C1 serial 31208 at address 3: C1 FW 3.00 -> C1 FW 3.01"}},
        // Register 2 is no setting: it differs only in the registers.
        {"HiddenBits",
         [](SiteRecord& r) {
             r.detectors[0].setup = test::SetupOf("Zorvan C1", {0x4505, 7, 2, 30});
         },
         {"setup changed: Zorvan C1 serial 31208 at address 3: registers 0x4505 0x0000 0x0002 "
          "0x001e -> 0x4505 0x0007 0x0002 0x001e"}},
        {"ReplacedByAnotherUnit",
         [](SiteRecord& r) { r.detectors[1].identity->serial = 1204; },
         {"new: Zorvan A1 serial 1204 at address 5",
          "missing: Zorvan A1 serial 1203 (was at address 5)"}},
        {"SameSerialOtherModel",
         [](SiteRecord& r) {
             r.detectors[1].identity->modelCode = 117;
             r.detectors[1].identity->model = "Zorvan A2";
             r.detectors[1].setup.reset();
         },
         {"new: Zorvan A2 serial 1203 at address 5",
          "missing: Zorvan A1 serial 1203 (was at address 5)"}},
        // Over the threshold counts, at or under it does not; from 0 or NaN has no percentage.
        {"Sums",
         [](SiteRecord& r) {
             r.detectors[0].readings->sum4 = 1900;
             r.detectors[0].readings->sum45 = 1700;
             r.detectors[0].readings->bitSum45 = 3485;
             r.detectors[1].readings->sum4 = 1064;
             r.detectors[1].readings->sum5 = 12; // was NaN
         },
         {"sum changed: Zorvan C1 serial 31208 at address 3: sum4 1520.50 -> 1900.00 (+25.0 %)",
          "sum changed: Zorvan A1 serial 1203 at address 5: sum4 1520.50 -> 1064.00 (-30.0 %)",
          "sum changed: Zorvan A1 serial 1203 at address 5: sum5 nan -> 12.00"}},
        {"AtTheThreshold",
         [](SiteRecord& r) { r.detectors[0].readings->sum4 = 1900.625f; }, // exactly +25 %
         {},
         25},
        {"LowerThreshold",
         [](SiteRecord& r) { r.detectors[0].readings->bitSum45 = 3485; },
         {"sum changed: Zorvan C1 serial 31208 at address 3: bit_sum45 4100.00 -> 3485.00 (-15.0 "
          "%)"},
         10},
        {"FromZero",
         [](SiteRecord& r) { r.detectors[0].readings->noise4 = 9; }, // noise is no sum
         {"sum changed: Zorvan C1 serial 31208 at address 3: sum45 0.00 -> 1480.00"},
         DefaultSumsThreshold,
         [nan](SiteRecord& r) {
             r.detectors[0].readings->sum45 = 0;
             r.detectors[0].readings->sum5 = nan; // NaN before and after: the same
         }},
        {"Missing",
         [](SiteRecord& r) { r.detectors.erase(r.detectors.begin() + 1); },
         {"missing: Zorvan A1 serial 1203 (was at address 5)"}},
        {"NotIdentifiedAtAll",
         [](SiteRecord& r) { r.detectors[0].identity.reset(); },
         // Address 8 was not identified the time before either.
         {"missing: Zorvan C1 serial 31208 (was at address 3)",
          "not identified: address 3 (its status was not read)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SiteRecord older = test::SampleRecord();
        SiteRecord newer = older;
        c.olderChange(older);
        newer.detectors.pop_back(); // the garbled detector: not identified in either visit
        c.change(newer);
        if (std::string(c.name) == "NotIdentifiedAtAll")
            newer.detectors.push_back(older.detectors.back());
        const VisitDiff diff = CompareVisits(older, newer, c.threshold);
        EXPECT_EQ(DiffLines(diff), c.lines);
        EXPECT_EQ(diff.empty(), c.lines.isEmpty());
    }
}

} // namespace
