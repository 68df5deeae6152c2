// The bus overview against simulated detectors: what a scan finds and reports, the live table
// (a status change, a detector going silent and coming back, the port lost), Cancel, and the
// hand-over to the main screen.
#include "hostrig.h"
#include "screens/overview/busoverview.h"
#include "screens/overview/busoverviewwindow.h"

#include <QColor>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

using namespace fh;
using namespace fh::test;

namespace {

std::unique_ptr<SimBus> loopOfFour() {
    auto bus = std::make_unique<SimBus>();
    bus->add(2, 117, 100);
    bus->add(5, 113, 200);
    bus->add(7, 118, 300);
    bus->add(3, 117, 400)->setFaults({.wrongCheck = true});
    bus->add(9, 117, 500)->setFaults({.answerEvery = 2}); // misses the one request a scan sends
    return bus;
}

QList<int> addresses(const BusOverview& o) {
    QList<int> out;
    for (const auto& e : o.entries())
        out << e.address;
    return out;
}

const BusOverview::Entry* entry(const BusOverview& o, int address) {
    for (const auto& e : o.entries())
        if (e.address == address)
            return &e;
    return nullptr;
}

bool isGrey(const BusOverview& o, int row) {
    return o.data(o.index(row, BusOverview::Model), Qt::ForegroundRole).value<QColor>() ==
           QColor(128, 128, 128);
}

// The rig's detectors answer 60 ms after a request.
struct Scanned {
    explicit Scanned(ScreenRig& rig) : overview(*rig.worker) {
        overview.scan(1, 10, 150);
        EXPECT_TRUE(WaitFor([&] { return overview.polling(); }));
    }
    BusOverview overview;
};

TEST(Overview, ScanFindsTheDetectorsThatAnswerAndNamesGarbledAddresses) {
    ScreenRig rig(loopOfFour(), 2);
    Scanned scanned(rig);
    const BusOverview& o = scanned.overview;
    EXPECT_EQ(addresses(o), QList<int>({2, 5, 7}));
    EXPECT_EQ(o.garbled(), QList<int>({3}));
    EXPECT_EQ(o.garbledText(), "Address 3: garbled — two detectors on one address?");
    EXPECT_TRUE(
        o.csv().startsWith("Address,Model,Serial,Status,Link,Last change,Last heard\n2,Zorvan "
                           "A2,100,"));
}

TEST(Overview, TableStaysLiveWhileTheMainCycleStaysOffTheLine) {
    ScreenRig rig(loopOfFour(), 2);
    LineWatch watch(*rig.worker);
    Scanned scanned(rig);
    const BusOverview& o = scanned.overview;
    const size_t cycles = watch.cycles.size();
    rig.detector(5).setStatusChar('A');
    EXPECT_TRUE(WaitFor([&] { return entry(o, 5)->status == "A"; }));
    EXPECT_TRUE(entry(o, 5)->highlightUntil > QDateTime::currentDateTime());
    rig.detector(7).setFaults({.silent = true});
    ASSERT_TRUE(WaitFor([&] { return !entry(o, 7)->linkGood; }));
    EXPECT_EQ(o.data(o.index(2, BusOverview::Link)).toString(), "BAD");
    // What 7 said before is still there, grey, with the time it was last heard.
    EXPECT_EQ(o.data(o.index(2, BusOverview::Serial)).toString(), "300");
    EXPECT_TRUE(isGrey(o, 2));
    EXPECT_FALSE(o.data(o.index(2, BusOverview::LastHeard)).toString().isEmpty());
    EXPECT_TRUE(o.data(o.index(2, BusOverview::Model), Qt::ToolTipRole)
                    .toString()
                    .startsWith("Not heard since "));
    EXPECT_FALSE(isGrey(o, 1));
    rig.detector(7).clearFaults();
    EXPECT_TRUE(WaitFor([&] { return entry(o, 7)->linkGood; }));
    EXPECT_LE(watch.cycles.size(), cycles + 1); // at most the one already in flight
}

// The window as the main screen opens it, its scan cancelled once address 5 is found.
QPointer<BusOverviewWindow> OpenCancelled(ScreenRig& rig) {
    QPointer<BusOverviewWindow> screen = new BusOverviewWindow(rig);
    Find<QSpinBox>(screen, "txtWindow")->setValue(150); // before the scan starts, once events run
    screen->show();
    const BusOverview& o = screen->overview();
    EXPECT_TRUE(WaitFor([&] { return entry(o, 5) != nullptr; }));
    Find<QPushButton>(screen, "cmdCancel")->click();
    return screen;
}

TEST(Overview, CancelKeepsWhatWasFoundAndPollsIt) {
    ScreenRig rig(loopOfFour(), 2);
    QPointer<BusOverviewWindow> screen = OpenCancelled(rig);
    const BusOverview& o = screen->overview();
    EXPECT_FALSE(o.scanning());
    auto* table = Find<QTableView>(screen, "grdBus");
    EXPECT_TRUE(WaitFor([&] { return o.polling() && table->currentIndex().isValid(); }));
    EXPECT_EQ(addresses(o).mid(0, 2), QList<int>({2, 5}));
    EXPECT_LT(o.entries().back().address, 247);
    EXPECT_TRUE(Find<QProgressBar>(screen, "prgScan")->format().startsWith("scan cancelled"));
    Dispose(screen);
}

// No row reads GOOD or "polling" while the port is away; the window says so, both ways.
TEST(Overview, ALostPortStopsEveryRowUntilItIsBack) {
    ScreenRig rig(loopOfFour(), 2);
    QPointer<BusOverviewWindow> screen = OpenCancelled(rig);
    const BusOverview& o = screen->overview();
    ASSERT_TRUE(WaitFor([&] { return o.polling(); }));
    const auto every = [&](const QString& link) { // "~": grey, what was last heard
        for (int row = 0; row < o.rowCount(); ++row)
            if (o.data(o.index(row, BusOverview::Link)).toString() + (isGrey(o, row) ? "~" : "") !=
                link)
                return false;
        return true;
    };
    auto* line = Find<QLabel>(screen, "lblLine");
    auto* progress = Find<QProgressBar>(screen, "prgScan");
    rig.port->setPresent(false);
    ASSERT_TRUE(WaitFor([&] { return o.lineLost(); }));
    EXPECT_TRUE(every("line lost~"));
    EXPECT_TRUE(WaitFor(
        [&] { return line->isVisible() && line->text().contains("The line is lost (virtual"); }));
    EXPECT_EQ(progress->format(), "line lost: nothing is polled");
    rig.port->setPresent(true);
    EXPECT_TRUE(WaitFor([&] { return every("GOOD"); }));
    EXPECT_TRUE(line->text().contains("The line is back"));
    EXPECT_TRUE(progress->format().startsWith("scan cancelled"));
    Dispose(screen);
}

TEST(Overview, EnterHandsTheAddressToTheMainScreen) {
    ScreenRig rig(loopOfFour(), 2);
    QPointer<BusOverviewWindow> screen = OpenCancelled(rig);
    auto* table = Find<QTableView>(screen, "grdBus");
    ASSERT_TRUE(WaitFor([&] { return screen->overview().polling(); }));
    table->setCurrentIndex(screen->overview().index(1, 0));
    QTest::keyClick(table, Qt::Key_Return);
    EXPECT_EQ(rig.m().link().record().Address, 5);
    EXPECT_EQ(rig.returns, 1);
    Dispose(screen);
    EXPECT_TRUE(screen.isNull());
}

// Export CSV writes the table whole and says where; a file it cannot write is said, and a
// cancelled dialog writes nothing.
TEST(Overview, ExportWritesTheTableOrSaysWhyNot) {
    ScreenRig rig(loopOfFour(), 2);
    QPointer<BusOverviewWindow> screen = OpenCancelled(rig);
    ASSERT_TRUE(WaitFor([&] { return screen->overview().polling(); }));
    const QString good = rig.dir.filePath("bus.csv");
    const QString bad = rig.dir.filePath("no-such-folder/bus.csv");
    const struct {
        std::optional<QString> chosen;
        const char* told;    // on the main screen's message line
        const char* warning; // in a message box
    } cases[] = {
        {good, "Bus table exported to ", nullptr},
        {bad, "before", "Cannot write "},
        {std::nullopt, "before", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen.value_or("cancelled").toStdString());
        rig.prompts.calls.clear();
        rig.m().messages().add("00:00:00", "before");
        rig.prompts.saveAnswers = {c.chosen};
        Find<QPushButton>(screen, "cmdExport")->click();
        EXPECT_TRUE(rig.m().messages().newest().contains(c.told))
            << rig.m().messages().newest().toStdString();
        const auto warned = rig.prompts.callsOf(ScriptedPrompts::Call::Message);
        ASSERT_EQ(warned.size(), c.warning ? 1u : 0u);
        if (c.warning) {
            EXPECT_TRUE(warned[0].text.startsWith(c.warning)) << warned[0].text.toStdString();
        }
    }
    EXPECT_EQ(readAll(good), screen->overview().csv().toUtf8());
    EXPECT_FALSE(QFile::exists(bad));
    Dispose(screen);
}

} // namespace
