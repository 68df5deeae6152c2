// The bus overview's Survey... and Compare with... on simulated detectors: what the dialog
// records and where it saves, Cancel midway, a survey the operator discards, the comparison
// window and the report with the comparison. The survey's reads and the record's contents are
// the visit library's tests; here what the screens add.
#include "hostrig.h"
#include "screens/overview/busoverview.h"
#include "screens/overview/busoverviewwindow.h"
#include "screens/overview/comparewindow.h"
#include "screens/overview/comparisonhtml.h"
#include "screens/overview/surveydialog.h"
#include "screens/overview/visitfiles.h"
#include "visit/diff.h"
#include "visit/recordjson.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

// One detector of each kind a site has: a good one, one that shows a fault, and one that
// answers the scan and then stops answering.
std::unique_ptr<SimBus> siteBus() {
    auto bus = std::make_unique<SimBus>();
    bus->add(2, 117, 100)->setStatusChar('N');
    bus->add(5, 113, 200)->setFaultFlag(1);
    bus->add(7, 118, 300)->setFaults({.stopAfter = 2});
    return bus;
}

struct OverviewRig : ScreenRig {
    OverviewRig() : ScreenRig(siteBus(), 2) {
        window = new BusOverviewWindow(*this);
        window->show();
    }
    ~OverviewRig() { Dispose(window); }
    QString path(const char* name) const { return dir.filePath(name); }

    // Opens the survey dialog, fills it in and starts it.
    QPointer<SurveyDialog> start(bool bit) {
        Find<QPushButton>(window, "cmdSurvey")->click();
        QPointer<SurveyDialog> d = Find<SurveyDialog>(window, "frmSurvey");
        Find<QLineEdit>(d, "txtSite")->setText("North hall");
        Find<QLineEdit>(d, "txtTechnician")->setText("A. Tech");
        Find<QCheckBox>(d, "chkBit")->setChecked(bit);
        Find<QPushButton>(d, "cmdStart")->click();
        return d;
    }
    bool ended(const SurveyDialog* d) {
        return WaitFor([&] { return Find<QPushButton>(d, "cmdClose")->isEnabled(); });
    }

    QPointer<BusOverviewWindow> window;
};

QList<int> addresses(const visit::SiteRecord& r) {
    QList<int> out;
    for (const visit::DetectorEntry& e : r.detectors)
        out << e.address;
    return out;
}

TEST(SurveyDialog, RecordsTheBusSavesBothFilesWhereChosenAndPreviewsTheReport) {
    OverviewRig rig;
    rig.prompts.saveAnswers = {rig.path("north"), rig.path("north report.pdf")};
    QPointer<SurveyDialog> d = rig.start(true);
    EXPECT_FALSE(Find<QPushButton>(rig.window, "cmdRescan")->isEnabled());
    ASSERT_TRUE(rig.ended(d));

    QString error;
    const auto record = visit::ReadRecordFile(rig.path("north.json"), &error);
    ASSERT_TRUE(record) << error.toStdString();
    EXPECT_EQ(record->visit.site, "North hall");
    EXPECT_EQ(record->visit.technician, "A. Tech");
    EXPECT_TRUE(record->visit.complete);
    EXPECT_TRUE(record->visit.bitAsked);
    EXPECT_EQ(addresses(*record), QList<int>({2, 5, 7}));
    EXPECT_EQ(record->detectors[1].identity->fault, 1);
    EXPECT_TRUE(record->detectors[0].fullyRead());
    EXPECT_FALSE(record->detectors[2].fullyRead());
    EXPECT_TRUE(readAll(rig.path("north report.pdf")).startsWith("%PDF"));

    // The record's name was offered from the site and the folder is remembered for next time.
    const auto saves = rig.prompts.callsOf(Call::SaveFile);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_TRUE(QFileInfo(saves[0].defaultText).fileName().startsWith("North hall 20"));
    EXPECT_EQ(saves[1].defaultText, rig.path("north.pdf"));
    EXPECT_EQ(VisitFolder(), rig.dir.path());
    // A first page and one per detector.
    const auto previews = rig.prompts.callsOf(Call::Preview);
    ASSERT_EQ(previews.size(), 1u);
    EXPECT_GE(previews[0].copies, 4);
    const QString told = Find<QLabel>(d, "lblProgress")->text();
    EXPECT_TRUE(told.contains("3 detector(s) found, 2 read fully")) << told.toStdString();
    EXPECT_TRUE(told.contains("Report saved: " + rig.path("north report.pdf")))
        << told.toStdString();
    // The overview has the line again: its scan, which the survey came before, runs now.
    EXPECT_TRUE(rig.window->overview().scanning());
    EXPECT_TRUE(Find<QPushButton>(rig.window, "cmdRescan")->isEnabled());
}

// What happens to the record when the survey is cut short or the save dialog is cancelled.
TEST(SurveyDialog, CancelKeepsTheRecordAndOnlyTheOperatorDiscardsIt) {
    struct Case {
        const char* what;
        bool cancelMidway;
        std::deque<std::optional<QString>> saves; // record, then report
        std::deque<Prompts::Answer> answers;      // "Discard it?"
        bool written, complete;
        const char* told;
    } cases[] = {
        {"cancelled midway",
         true,
         {"rec.json", std::nullopt},
         {},
         true,
         false,
         "The report was not saved."},
        {"save cancelled, then discarded",
         false,
         {std::nullopt},
         {Prompts::Answer::Yes},
         false,
         true,
         "The survey was discarded: no file was written."},
        {"save cancelled, then kept",
         false,
         {std::nullopt, "rec.json", std::nullopt},
         {Prompts::Answer::No},
         true,
         true,
         "Record saved"},
    };
    for (const Case& c : cases) {
        OverviewRig rig;
        for (const auto& s : c.saves)
            rig.prompts.saveAnswers.push_back(s ? std::optional(rig.path(qPrintable(*s))) : s);
        rig.prompts.messageAnswers = {c.answers.begin(), c.answers.end()};
        QPointer<SurveyDialog> d = rig.start(false);
        if (c.cancelMidway) {
            ASSERT_TRUE(WaitFor([&] {
                return Find<QLabel>(d, "lblProgress")->text().startsWith("Reading address");
            })) << c.what;
            Find<QPushButton>(d, "cmdCancel")->click();
        }
        ASSERT_TRUE(rig.ended(d)) << c.what;
        QString error;
        const auto record = visit::ReadRecordFile(rig.path("rec.json"), &error);
        EXPECT_EQ(record.has_value(), c.written) << c.what << ": " << error.toStdString();
        if (record) {
            EXPECT_EQ(record->visit.complete, c.complete) << c.what;
            EXPECT_EQ(record->visit.interrupted, c.complete ? "" : "cancelled") << c.what;
        }
        EXPECT_TRUE(Find<QLabel>(d, "lblProgress")->text().contains(c.told)) << c.what;
        EXPECT_EQ(rig.prompts.callsOf(Call::Preview).size(), c.written ? 1u : 0u) << c.what;
    }
}

TEST(SurveyDialog, ClosingTheOverviewMidSurveyGivesTheLineBack) {
    OverviewRig rig;
    QPointer<SurveyDialog> d = rig.start(false);
    ASSERT_TRUE(WaitFor([&] { return rig.bus.count([](auto&) { return true; }) > 10; }));
    Dispose(rig.window);
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(rig.returns, 1);
    EXPECT_TRUE(rig.waitPolls(2, 2)) << "the main poll did not come back";
}

// The earlier visit: the same site with detector 5 elsewhere, 7 not there, another detector
// that is gone now, and a sum far off.
visit::SiteRecord earlier(visit::SiteRecord r) {
    r.visit.started = r.visit.started.addDays(-365);
    for (visit::DetectorEntry& e : r.detectors) {
        if (e.address == 5)
            e.address = 6;
        if (e.address == 2 && e.readings)
            e.readings->sum4 = e.readings->sum4 * 2 + 100;
    }
    std::erase_if(r.detectors, [](const visit::DetectorEntry& e) { return e.address == 7; });
    visit::DetectorEntry gone = r.detectors.front();
    gone.address = 9;
    gone.identity->serial = 999;
    r.detectors.push_back(gone);
    return r;
}

TEST(SurveyDialog, CompareShowsWhatChangedAndPutsItIntoTheReport) {
    OverviewRig rig;
    rig.prompts.saveAnswers = {rig.path("now.json"), std::nullopt};
    ASSERT_TRUE(rig.ended(rig.start(false)));
    QString error;
    const auto now = visit::ReadRecordFile(rig.path("now.json"), &error);
    ASSERT_TRUE(now) << error.toStdString();
    ASSERT_TRUE(visit::WriteRecordFile(rig.path("then.json"), earlier(*now), &error))
        << error.toStdString();
    writeAll(rig.path("alien.json"), R"({"format":"something-else/1"})");

    // A file that is not a record is refused by name; the window opens for a real one.
    rig.prompts.openAnswers = {rig.path("alien.json"), rig.path("then.json")};
    Find<QPushButton>(rig.window, "cmdCompare")->click();
    const auto told = rig.prompts.callsOf(Call::Message);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].text.startsWith("Cannot compare: " + rig.path("alien.json")))
        << told[0].text.toStdString();
    EXPECT_EQ(rig.window->findChild<CompareWindow*>(), nullptr);
    Find<QPushButton>(rig.window, "cmdCompare")->click();
    QPointer<CompareWindow> w = Find<CompareWindow>(rig.window, "frmCompare");
    const QString text = w->text();
    for (const char* part :
         {"New (1)", "Missing (1)", "Moved (1)", "Sums changed by more than 20 %"})
        EXPECT_TRUE(text.contains(part)) << part << " in " << text.toStdString();
    // A threshold no change reaches leaves the sums out.
    Find<QSpinBox>(w, "txtThreshold")->setValue(1000);
    EXPECT_FALSE(w->text().contains("Sums changed")) << w->text().toStdString();

    rig.prompts.saveAnswers = {rig.path("with comparison.pdf")};
    Find<QPushButton>(w, "cmdReport")->click();
    EXPECT_TRUE(readAll(rig.path("with comparison.pdf")).startsWith("%PDF"));
    const auto previews = rig.prompts.callsOf(Call::Preview);
    ASSERT_EQ(previews.size(), 2u);
    // Only the comparison names the detector that is gone.
    QProcess pdf;
    pdf.start("pdftotext", {"-raw", rig.path("with comparison.pdf"), "-"});
    ASSERT_TRUE(pdf.waitForFinished(20000));
    EXPECT_TRUE(pdf.readAllStandardOutput().contains("serial 999"));
    Dispose(w);
}

// Which kinds the window lists, and that texts from files are never taken for markup.
TEST(ComparisonHtml, ListsEachKindOnlyWhenSomethingIsInIt) {
    const visit::DetectorRef a{3, "Zorvan A2", 100}, b{4, "Zorvan <b>", 200};
    visit::DetectorChange moved{a, 1, {}, {}, {}};
    visit::DetectorChange setup{a, 3, {{"delay", "1 s", "3 s"}}, {}, {}};
    visit::DetectorChange firmware{a, 3, {}, std::pair<QString, QString>{"1.0", "1.1"}, {}};
    visit::DetectorChange sums{a, 3, {}, {}, {{"sum4", 100, 150, 50.0}}};
    struct Case {
        visit::VisitDiff diff;
        QStringList shown;
    } cases[] = {
        {{}, {"Nothing differs"}},
        {{{a}, {}, {}, {}}, {"New (1)", "Zorvan A2"}},
        {{{}, {b}, {}, {}}, {"Missing (1)", "Zorvan &lt;b&gt;"}},
        {{{}, {}, {moved}, {}}, {"Moved (1)", "<td>1</td><td>3</td>"}},
        {{{}, {}, {setup}, {}}, {"Setup changed (1)", "<td>Delay</td><td>1 s</td><td>3 s</td>"}},
        {{{}, {}, {firmware}, {}}, {"Firmware changed (1)", "<td>1.0</td><td>1.1</td>"}},
        {{{}, {}, {sums}, {}}, {"Sums changed by more than 20 % (1)", "+50.0 %"}},
        {{{}, {}, {}, {8}}, {"Not identified (1)", "its status was not read"}},
    };
    const QStringList kinds = {"Nothing differs", "New (",           "Missing (",
                               "Moved (",         "Setup changed (", "Firmware changed (",
                               "Sums changed",    "Not identified ("};
    visit::Visit older, newer;
    older.site = "<script>";
    for (const Case& c : cases) {
        const QString html = ComparisonHtml(older, newer, c.diff, 20);
        for (const QString& s : c.shown)
            EXPECT_TRUE(html.contains(s)) << s.toStdString() << " in " << html.toStdString();
        for (const QString& k : kinds)
            EXPECT_EQ(html.contains(k), c.shown.front().startsWith(k.left(k.size() - 1)))
                << k.toStdString() << " in " << html.toStdString();
        EXPECT_FALSE(html.contains("<script>"));
    }
}

// A site name is typed by the operator; the file name made from it stays one name in the folder.
TEST(VisitFiles, FileNamesFromTheSiteStayInTheirFolder) {
    const struct {
        const char* site;
        const char* base;
    } cases[] = {{"North hall", "North hall 2026-03-04 1015"},
                 {"Hall 2/../../etc", "Hall 2_.._.._etc 2026-03-04 1015"},
                 {"  ", "survey 2026-03-04 1015"},
                 {"..", "survey.. 2026-03-04 1015"},
                 {"a:b*c?", "a_b_c_ 2026-03-04 1015"}};
    for (const auto& c : cases) {
        visit::Visit v;
        v.site = c.site;
        v.started = QDateTime::fromString("2026-03-04T10:15:02+01:00", Qt::ISODate);
        EXPECT_EQ(VisitFileBase(v), c.base) << c.site;
    }
}

} // namespace
} // namespace fh::test
