// The survey on the virtual line: which addresses a scan takes up, what each detector's entry
// holds when it answers, answers badly, stops answering or the line goes, and cancelling.
#include "linerig.h"
#include "visit/survey.h"

using namespace fh;
using namespace fh::visit;

namespace {

const QDateTime Now = QDateTime::fromString("2026-03-04T10:15:02+01:00", Qt::ISODate);

// "address model [gain] [bit] | part: reason, ... | fault=count ...".
QString summary(const DetectorEntry& e) {
    QString s = QStringLiteral("%1 %2").arg(e.address).arg(e.identity ? e.identity->model : "-");
    if (e.readings)
        s += QStringLiteral(" gain=%1")
                 .arg(e.readings->gain ? QString::number(*e.readings->gain)
                                       : QStringLiteral("unknown"));
    if (e.bit.outcome != BitOutcome::NotRun)
        s += QStringLiteral(" bit=") + BitOutcomeText(e.bit.outcome);
    QStringList unread, faults;
    for (const Unread& u : e.unread)
        unread << u.part + QStringLiteral(": ") + u.reason;
    for (const auto& [key, count] : e.replyFaults)
        faults << QStringLiteral("%1=%2").arg(key).arg(count);
    if (!unread.isEmpty() || !faults.isEmpty())
        s += QStringLiteral(" | ") + unread.join(", ") + QStringLiteral(" | ") + faults.join(' ');
    return s;
}

struct SurveyRun {
    SiteRecord record;
    QStringList summaries;
    QStringList requestsTo2; // function (or command, for 200) of each request to address 2
};

// Runs a survey; `atDetector2` is called when it begins reading the second detector.
SurveyRun survey(test::LineRig& rig, SurveyPlan plan,
                 const std::function<void(test::LineRig&, Survey&)>& atDetector2 = {}) {
    plan.now = [] { return Now; };
    Survey s(*rig.worker, Visit{}, plan);
    bool done = false;
    QObject::connect(&s, &Survey::finished, [&] { done = true; });
    QObject::connect(&s, &Survey::progress, [&](bool scanning, int, int index, int) {
        if (!scanning && index == 2 && atDetector2)
            atDetector2(rig, s);
    });
    s.start();
    EXPECT_TRUE(test::WaitFor([&] { return done; }, 60000));
    SurveyRun r{s.record(), {}, {}};
    for (const DetectorEntry& e : r.record.detectors)
        r.summaries << summary(e);
    for (const QString& frame : rig.sent)
        if (frame.startsWith("02 "))
            r.requestsTo2 << (frame.mid(3, 2) == "c8" ? frame.mid(12, 2) : frame.mid(3, 2));
    return r;
}

TEST(Survey, EachDetectorsEntrySaysWhatWasReadAndWhatWasNot) {
    const struct {
        const char* name;
        const char* scenario;
        std::vector<quint8> addresses; // empty: scan
        bool bit;
        QStringList expected;
        const char* requestsTo2 = "";
    } cases[] = {
        // A garbled answer is listed as not read; a proper reply from another address is a
        // neighbour's late answer, not a detector here.
        {"Scan",
         R"({"detectors":[{"address":1,"model":"Zorvan A2","serial":1},
             {"address":7,"model":"Zorvan A2","serial":7,"faults":{"wrongCheck":true}},
             {"address":12,"model":"Zorvan A2","serial":12,"faults":{"replyAddress":30}}]})",
         {},
         false,
         {"1 Zorvan A2 gain=2",
          "7 - | status: bad check bytes, firmware: the status was not read, setup: the status was "
          "not read, readings: the status was not read | bad_check=3"}},
        // A missed request is asked again; an address asked for that stays silent is listed;
        // BIT comes before the readings so they carry its sums; no gain is made up.
        {"Given",
         R"({"detectors":[{"address":2,"model":"Zorvan C1","serial":2,
               "readings":{"gainCode":7},"faults":{"ignoreNext":1}},
             {"address":5,"model":"Zorvan B1","serial":5,"faults":{"stopAfter":2}}]})",
         {2, 3, 5},
         true,
         {"2 Zorvan C1 gain=unknown bit=performed |  | no_reply=1",
          "3 - | status: no answer, firmware: the status was not read, setup: the status was not "
          "read, readings: the status was not read | no_reply=2",
          "5 Zorvan B1 | setup: no answer, readings: the detector stopped answering | no_reply=2"},
         "20 20 14 03 11 04"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::LineRig rig(c.scenario);
        const SurveyRun r = survey(rig, {.addresses = c.addresses, .bit = c.bit});
        EXPECT_EQ(r.summaries, c.expected);
        EXPECT_TRUE(r.record.visit.complete);
        if (*c.requestsTo2) {
            EXPECT_EQ(r.requestsTo2.join(' '), c.requestsTo2);
        }
    }
}

TEST(Survey, ALostLineOrACancelEndsItWithTheRecordMarkedIncomplete) {
    const char* const threeA2 = R"({"detectors":[{"address":1,"model":"Zorvan A2","serial":1},
        {"address":2,"model":"Zorvan A2","serial":2},{"address":3,"model":"Zorvan A2","serial":3}]})";
    const struct {
        const char* interrupted;
        std::function<void(test::LineRig&, Survey&)> atDetector2;
        QStringList expected;
    } cases[] = {
        {"line lost",
         [](test::LineRig& rig, Survey&) { rig.port->setPresent(false); },
         {"1 Zorvan A2 gain=2",
          "2 - | status: line lost, firmware: line lost, setup: line lost, readings: line lost | ",
          "3 - | status: line lost | "}},
        // The status already asked is taken; nothing after it.
        {"cancelled",
         [](test::LineRig&, Survey& s) { s.cancel(); },
         {"1 Zorvan A2 gain=2",
          "2 Zorvan A2 | firmware: cancelled, setup: cancelled, readings: cancelled | ",
          "3 - | status: cancelled | "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.interrupted);
        test::LineRig rig(threeA2);
        const SurveyRun r = survey(rig, {.addresses = {1, 2, 3}}, c.atDetector2);
        EXPECT_EQ(r.summaries, c.expected);
        EXPECT_FALSE(r.record.visit.complete);
        EXPECT_EQ(r.record.visit.interrupted, c.interrupted);
        EXPECT_EQ(r.record.visit.ended, Now);
    }
}

} // namespace
