// The maintenance screen against the simulated bus: what goes on the line while it is open,
// what it shows, BIT, version, keys, the sums log and closing with exchanges in flight.
#include "screens/maintenance/maintenancescreen.h"

#include "hostrig.h"
#include "link/clocktimer.h"
#include "screens/charts/readingschart.h"
#include "screens/common/lampshape.h"
#include "sim/simmodels.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

// The main screen's status poll to the detector at 2.
bool isStatusPoll(const QByteArray& f) {
    return isStatusTo(f, 2);
}

struct Rig {
    explicit Rig(std::unique_ptr<SimBus> bus = makeDefaultBus(), quint8 address = 1)
        : main(std::move(bus), address), address(address) {}

    MaintenanceScreen* open() {
        screen = new MaintenanceScreen(main, &main.standIn);
        watch = std::make_unique<LineWatch>(*main.worker);
        main.standIn.hide(); // as the main screen hides behind it
        screen->show();
        return screen;
    }
    int refreshes() const {
        return int(std::count_if(watch->cycles.begin(), watch->cycles.end(), [](const Exchange& x) {
            return quint8(x.request.at(1)) == fn::ReadInput;
        }));
    }
    bool refreshes(int n) {
        const int target = refreshes() + n;
        return WaitFor([&] { return refreshes() >= target; }, 8000);
    }
    bool commandsDone(int n) {
        const size_t target = watch->commands.size() + n;
        return WaitFor([&] { return watch->commands.size() >= target; }, 8000);
    }
    SimDetector& detector() { return *main.bus.sim().detector(address); }
    void key(int k) { QTest::keyClick(box("txtSum4Val"), Qt::Key(k)); }
    void key(char c) { QTest::keyClick(box("txtSum4Val"), c); }
    static void deleteClosed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void startLog(const char* period) {
        main.prompts.inputAnswers = {QString(period)};
        key('l');
    }
    QPushButton* button(const char* name) const { return Find<QPushButton>(screen, name); }
    QLabel* label(const char* name) const { return Find<QLabel>(screen, name); }
    QLineEdit* box(const char* name) const { return Find<QLineEdit>(screen, name); }
    QGroupBox* frame(const char* name) const { return Find<QGroupBox>(screen, name); }
    QByteArray sumsLog() const { return readAll(main.dir.filePath("Ir3SumsLog.txt")); }

    ScreenRig main;
    quint8 address;
    QPointer<MaintenanceScreen> screen;
    std::unique_ptr<LineWatch> watch;
};

// The value fields (labels and boxes alike) in a fixed order, joined by '|'.
QString valueTexts(MaintenanceScreen* s) {
    QStringList out;
    for (const char* n :
         {"lblDetM", "lblDetS", "lblDetS2", "lblDetGain", "lblAddr", "lblserNum", "lblVol",
          "lblTemp", "txtSum4Val", "txtSum45Val", "txtSum5Val", "txtN4Val", "txtN45Val", "txtN5Val",
          "lblBitSum4", "lblBitSum45", "lblBitSum5"})
        out << s->findChild<QWidget*>(n)->property("text").toString();
    return out.join('|');
}

// While open the screen reads inputs only (how many each model reads is the model table's test:
// C1 at 2 reads 22) and shows them; closed, the status poll resumes.
// A different value in every field, so that a label wired to the wrong one shows; how each is
// formatted is the decoder's test. Gain code 2 is gain 1, 0xFB is -5 degrees.
void setDistinctInputs(SimDetector& d) {
    for (auto [reg, value] : {std::pair{4, 2}, {11, 0xFB}, {12, 241}, {13, 0x0304}, {14, 0xFF00}})
        d.setInput(reg, quint16(value));
    using F = std::pair<int, float>;
    for (auto [reg, value] :
         {F{5, 1.234f}, F{7, 22.5f}, F{9, 1234.567f}, F{16, 4210.5f}, F{18, -0.004f}, F{20, 88.0f}})
        d.setInputFloat(reg, value);
    d.setSerial(65535);
    d.setFaultFlag(2);
    d.setStatusChar('W');
}

const QString DistinctTexts = "Model  Zorvan C1|W|F|1|2|65535|24.1|-5|1.23|22.50|1234.57|3|4|255|"
                              "4210.50|0.00|88.00";

TEST(MaintenanceScreen, OnlyReadsInputsWhileOpenAndShowsThem) {
    Rig rig(makeDefaultBus(), 2);
    setDistinctInputs(rig.detector());
    MaintenanceScreen* s = rig.open();
    ASSERT_TRUE(rig.refreshes(3));
    const std::vector<QByteArray>& sent = rig.watch->sent;
    // The status poll that was in flight when the screen opened finishes first.
    auto f = std::find_if_not(sent.begin(), sent.end(), isStatusPoll);
    ASSERT_GE(sent.end() - f, 3);
    for (; f != sent.end(); ++f)
        EXPECT_EQ(*f, ReadInputs(2, 22));

    EXPECT_EQ(valueTexts(s), DistinctTexts);
    EXPECT_EQ(rig.label("lblCom")->text(), "GOOD");
    EXPECT_EQ(Find<LampShape>(s, "Shape2")->fillColor(), colour::Green);
    // Its replies are never taken for the main screen's status replies.
    EXPECT_EQ(rig.main.m().link().display().linkText, "GOOD");
    EXPECT_EQ(rig.main.m().link().record().ModelName, "Zorvan C1");
}

// Neither an exception nor silence is an answer: the link shows BAD, the values stay.
TEST(MaintenanceScreen, KeepsItsValuesGreyOnExceptionAndSilence) {
    Rig rig(makeDefaultBus(), 2);
    SimDetector& d = rig.detector();
    setDistinctInputs(d);
    MaintenanceScreen* s = rig.open();
    ASSERT_TRUE(rig.refreshes(2));
    d.setInput(11, 25);
    for (const SimFaults& fault :
         {SimFaults{.exceptionFunction = 0x84, .exceptionCode = 2}, SimFaults{.silent = true}}) {
        d.setFaults(fault);
        ASSERT_TRUE(rig.refreshes(2)); // the first may have been answered before the fault
        EXPECT_EQ(rig.label("lblCom")->text(), "BAD");
        EXPECT_EQ(Find<LampShape>(s, "Shape2")->fillColor(), colour::Red);
        EXPECT_EQ(valueTexts(s), DistinctTexts);
        // Kept, but grey and with the time they were last heard.
        EXPECT_FALSE(rig.box("txtSum4Val")->isEnabled() || rig.label("lblserNum")->isEnabled());
        EXPECT_TRUE(rig.label("lblHeard")->isVisible() &&
                    rig.label("lblHeard")->text().startsWith("last heard "));
    }

    d.clearFaults();
    ASSERT_TRUE(rig.refreshes(2));
    EXPECT_TRUE(rig.box("txtSum4Val")->isEnabled() && rig.label("lblHeard")->isHidden());
}

TEST(MaintenanceScreen, ClosedItGivesTheLineBackToTheMainScreensPoll) {
    Rig rig(makeDefaultBus(), 2);
    rig.open();
    ASSERT_TRUE(rig.refreshes(2));
    const std::vector<QByteArray>& sent = rig.watch->sent;
    const size_t atClose = sent.size();
    rig.button("cmdClose")->click();
    EXPECT_EQ(rig.main.returns, 1);
    EXPECT_TRUE(rig.main.standIn.isVisible());
    ASSERT_TRUE(WaitFor(
        [&] { return std::count_if(sent.begin() + atClose, sent.end(), isStatusPoll) >= 3; },
        8000));
    EXPECT_TRUE(std::all_of(std::find_if(sent.begin() + atClose, sent.end(), isStatusPoll),
                            sent.end(), isStatusPoll));
}

// The status poll in flight when the screen opens is no answer to its read: with a 15-register
// model (Zorvan A2 at 1) its model code would stand where the serial is.
TEST(MaintenanceScreen, ShowsOnlyItsOwnReads) {
    // Only an opening with a poll out tells anything; on a loaded machine the worker may not
    // have sent the next poll yet when the screen opens, so it is opened afresh until it had.
    for (int attempt = 0; attempt < 20; ++attempt) {
        Rig rig(makeDefaultBus(), 1);
        rig.open();
        QStringList serials; // as shown after each cycle result
        QObject context;
        QObject::connect(rig.main.worker.get(), &LineWorker::cycleDone, &context,
                         [&] { serials << rig.label("lblserNum")->text(); });
        ASSERT_TRUE(rig.refreshes(2));
        if (!isStatusTo(rig.watch->cycles.front().request, 1))
            continue;
        for (const QString& serial : serials)
            EXPECT_TRUE(serial.isEmpty() || serial == "20417") << qPrintable(serial);
        return;
    }
    FAIL() << "no opening had a status poll in flight";
}

TEST(MaintenanceScreen, BitFrameOnlyForThisExchangesEcho) {
    for (const auto& [lampGreen, shortReply, frameShown] :
         {std::tuple{false, -1, false}, {true, -1, true}, {true, 4, false}}) {
        SCOPED_TRACE(testing::Message() << lampGreen << shortReply);
        Rig rig(makeDefaultBus(), 2);
        // The main screen's lamp red when the screen opened; the detector answers again once
        // the screen's own cycle has taken the line.
        rig.main.silence(!lampGreen, 2);
        ASSERT_TRUE(rig.main.waitLink(lampGreen ? "GOOD" : "BAD"));
        rig.open();
        ASSERT_TRUE(rig.refreshes(2));
        rig.detector().setFaults(SimFaults{.shortReply = shortReply});
        rig.key('b');
        ASSERT_TRUE(!lampGreen || rig.commandsDone(1));
        ASSERT_TRUE(rig.refreshes(2));
        EXPECT_EQ(rig.watch->count(SendCommand(2, cmd::Bit)), lampGreen ? 1 : 0);
        EXPECT_EQ(!rig.frame("FrBit")->isHidden(), frameShown);
        // BIT that cannot act is disabled and says why; one that went wrong says what came.
        EXPECT_EQ(rig.button("cmdBIT")->isEnabled(), lampGreen);
        EXPECT_EQ(rig.button("cmdBIT")->toolTip().contains("lamp green"), !lampGreen);
        EXPECT_EQ(rig.label("lblNotice")->text() ==
                      "BIT: the reply from address 2 could not be used (malformed reply, 4 bytes).",
                  lampGreen && !frameShown)
            << qPrintable(rig.label("lblNotice")->text());
        EXPECT_TRUE(!frameShown || rig.label("lblBitSum4")->text() == "4210.50");
    }
}

TEST(MaintenanceScreen, VersionTextOnlyFromItsOwnReplyAndNothingReachesTheScreenOnceGone) {
    Rig rig(makeDefaultBus(), 2);
    MaintenanceScreen* s = rig.open();
    auto* shown = s->findChild<ClockTimer*>("tmrVersion");
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(rig.refreshes(1));

    // Each step follows one that showed text, so nothing left over can pass for an answer.
    // The version held, silence, the reply's size (0: none) and the text shown.
    for (const auto& [version, silent, replySize, shows] :
         {std::tuple{"ABCDEFGHI", false, 20, "ABCDEFGHI"},
          {"", false, 11, ""},
          {"ABCDEFGHI", false, 20, "ABCDEFGHI"},
          {"ABCDEFGHI", true, 0, ""}}) {
        SCOPED_TRACE(replySize);
        rig.detector().setVersion(version);
        rig.detector().setFaults(SimFaults{.silent = silent});
        rig.key(silent ? 'V' : 'v');
        ASSERT_TRUE(rig.commandsDone(1));
        const Exchange& x = rig.watch->commands.back();
        EXPECT_EQ(x.request, SendCommand(2, cmd::Version));
        EXPECT_EQ(x.reply.size(), replySize);
        EXPECT_FALSE(rig.label("lblVer")->isHidden());
        EXPECT_EQ(rig.label("lblVer")->text(), shows);
        EXPECT_TRUE(shown->isActive());
    }

    // Four seconds on the line's clock, which the refresh cycle moves on.
    // The refreshes move that clock on while the test looks, so the time is taken before the
    // click: the text cannot have been shown earlier than that.
    rig.detector().clearFaults();
    const qint64 clickedAt = rig.main.clock.nowUs();
    rig.button("cmdV")->click();
    ASSERT_TRUE(rig.commandsDone(1));
    ASSERT_TRUE(WaitFor([&] { return rig.label("lblVer")->isHidden(); }));
    EXPECT_GE(rig.main.clock.nowUs() - clickedAt, 4'000'000);

    // Closed with requests in flight (run under ASan as well): nothing may touch it once gone.
    rig.key('v');
    rig.key('b');
    rig.key(int(Qt::Key_Escape));
    Rig::deleteClosed();
    EXPECT_TRUE(rig.screen.isNull());
    EXPECT_TRUE(rig.commandsDone(2));
    EXPECT_TRUE(WaitFor([&] { return isStatusPoll(rig.watch->cycles.back().request); }));

    // Deleted without being closed, right after it took the line: its refreshes go on being
    // answered, and none of them is decoded any more.
    delete rig.open();
    const float before = rig.main.m().maintenance().readings().Sum4;
    rig.detector().setInputFloat(5, before + 100.0f);
    EXPECT_TRUE(rig.refreshes(3));
    EXPECT_EQ(rig.main.m().maintenance().readings().Sum4, before);
}

// Esc and C close it as the tests above do; here a key it has no use for, and Enter on the
// focused button.
TEST(MaintenanceScreen, EnterPressesTheFocusedButtonAndOtherKeysDoNothing) {
    Rig rig;
    rig.open();
    const auto press = [&](QWidget* target, int key, const char* text) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QCoreApplication::sendEvent(target, &event);
        Rig::deleteClosed();
    };
    press(rig.box("txtSum4Val"), Qt::Key_X, "x");
    ASSERT_FALSE(rig.screen.isNull());
    press(rig.button("cmdV"), Qt::Key_Enter, "\r");
    EXPECT_TRUE(rig.commandsDone(1));
    ASSERT_FALSE(rig.screen.isNull());
    EXPECT_EQ(rig.main.returns, 0);
    EXPECT_FALSE(rig.main.standIn.isVisible());
    press(rig.button("cmdClose"), Qt::Key_Return, "\r");
    EXPECT_TRUE(rig.screen.isNull());
    EXPECT_EQ(rig.main.returns, 1);
    EXPECT_TRUE(rig.main.standIn.isVisible());
}

// The chart beside the readings: a point per answered refresh, a gap for a silent one (never
// a value), and its keys: w steps the window, p pauses while the points go on being taken.
TEST(MaintenanceScreen, ChartTakesEachRefreshGapsForSilenceAndItsKeys) {
    Rig rig;
    rig.open();
    const ReadingsSeries& series = rig.screen->chart().series();
    auto gaps = [&] {
        return std::count_if(series.samples().begin(), series.samples().end(),
                             [](const ReadingSample& s) { return s.gap; });
    };
    ASSERT_TRUE(rig.refreshes(3));
    EXPECT_GE(series.samples().size(), 3u);
    EXPECT_EQ(gaps(), 0);
    rig.detector().setFaults({.silent = true});
    ASSERT_TRUE(rig.refreshes(2));
    EXPECT_EQ(gaps(), 1) << "a silent stretch is one gap";
    rig.detector().setFaults({});
    ASSERT_TRUE(rig.refreshes(2));
    EXPECT_TRUE(!series.samples().back().gap);
    for (const ReadingSample& sample : series.samples())
        EXPECT_TRUE(sample.gap || sample.values[0] == rig.main.m().maintenance().readings().Sum4);

    rig.key('w');
    EXPECT_EQ(series.windowMinutes(), 5);
    rig.key('p');
    EXPECT_TRUE(series.paused());
    const size_t taken = series.samples().size();
    ASSERT_TRUE(rig.refreshes(2));
    EXPECT_GT(series.samples().size(), taken);
    EXPECT_TRUE(series.viewEndMs() < series.samples().back().ms);
}

// Address 5, status N, fault N, serial 1234, sums 1.234, 22.5, 333.33.
std::unique_ptr<SimBus> sumsBus() {
    auto bus = std::make_unique<SimBus>();
    auto d = bus->add(5, *simModelCode("Zorvan A2"), 1234);
    for (auto [reg, value] : {std::pair{5, 1.234f}, {7, 22.5f}, {9, 333.33f}})
        d->setInputFloat(reg, value);
    return bus;
}

QList<QByteArray> records(const QByteArray& log) {
    QList<QByteArray> out;
    for (const QByteArray& line : log.split('\n'))
        if (line.startsWith("5 "))
            out << line;
    return out;
}

TEST(MaintenanceSumsLog, RecordsOnStartTicksAndChangesAndLateWritesCatchUp) {
    Rig rig(sumsBus(), 5);
    rig.open();
    ASSERT_TRUE(rig.refreshes(1));

    // A file that refuses writes at first: a warning, and the records are appended later.
    LogFile& file = rig.main.m().maintenance().sumsLog().log().file();
    file.setAppender([](const QString&, const QByteArray&, QString* error) {
        if (error)
            *error = "No space left on device";
        return qint64(0);
    });
    rig.startLog("1");
    ASSERT_EQ(rig.main.prompts.callsOf(Call::Input).size(), 1u);
    EXPECT_FALSE(rig.label("lblLogOn")->isHidden());
    const QString warning =
        rig.label("lblNotice")->isHidden() ? QString() : rig.label("lblNotice")->text();
    EXPECT_FALSE(warning.isEmpty());
    EXPECT_EQ(rig.sumsLog(), "<missing>");
    file.setAppender({});
    rig.main.m().maintenance().sumsLog().minuteTick();
    EXPECT_EQ(rig.sumsLog().count("Addr."), 1);
    ASSERT_EQ(records(rig.sumsLog()).size(), 2);
    EXPECT_TRUE(records(rig.sumsLog())[0].endsWith("1.2       22.5        333.3\r"));
    EXPECT_NE(rig.label("lblNotice")->text(), warning);

    // The minute runs on the line's clock, which the refresh cycle moves on.
    ASSERT_TRUE(WaitFor([&] { return records(rig.sumsLog()).size() == 3; }));

    rig.key('L');
    EXPECT_EQ(rig.button("cmdLogSums")->text(), "start &Loging");
    EXPECT_FALSE(rig.main.m().maintenance().sumsLog().minuteRunning());
    rig.startLog("3");
    EXPECT_EQ(rig.sumsLog().count("Addr."), 2);
    EXPECT_EQ(records(rig.sumsLog()).size(), 4);
    // A status change between ticks writes at once and leaves the count alone.
    rig.detector().setStatusChar('W');
    ASSERT_TRUE(WaitFor([&] { return records(rig.sumsLog()).size() == 5; }));
    EXPECT_EQ(records(rig.sumsLog()).back().mid(32, 2), "WN");
}

// Closed, the screen leaves the log running, paused, and the main screen says so; opened again,
// button and notice show that it runs, and the button stops it without asking.
TEST(MaintenanceSumsLog, OutlivesTheScreenAndTheButtonStopsItWithoutAsking) {
    Rig rig(sumsBus(), 5);
    rig.open();
    ASSERT_TRUE(rig.refreshes(1));
    rig.startLog("3");
    ASSERT_TRUE(rig.main.m().maintenance().sumsLog().running());
    rig.key('c');
    Rig::deleteClosed();
    ASSERT_TRUE(rig.screen.isNull());
    EXPECT_TRUE(rig.main.m().maintenance().sumsLog().running());
    EXPECT_TRUE(rig.main.m().messages().newest().endsWith(
        "Sums logging to Ir3SumsLog.txt is paused until the maintenance screen reopens."));
    rig.open();
    EXPECT_EQ(rig.button("cmdLogSums")->text(), "stop &Loging");
    EXPECT_FALSE(rig.label("lblLogOn")->isHidden());
    EXPECT_EQ(rig.label("lblLogOn")->text(), SumsLogNotice(3));
    const size_t inputs = rig.main.prompts.callsOf(Call::Input).size();
    rig.key('l');
    EXPECT_FALSE(rig.main.m().maintenance().sumsLog().running());
    EXPECT_EQ(rig.button("cmdLogSums")->text(), "start &Loging");
    EXPECT_EQ(rig.main.prompts.callsOf(Call::Input).size(), inputs);

    // A refused period starts nothing and says why; Cancel says nothing.
    for (const auto& [answer, message] :
         {std::pair{std::optional<QString>("300"), true}, {std::nullopt, false}}) {
        const size_t before = rig.main.prompts.callsOf(Call::Message).size();
        rig.main.prompts.inputAnswers = {answer};
        rig.button("cmdLogSums")->click();
        EXPECT_FALSE(rig.main.m().maintenance().sumsLog().running());
        EXPECT_EQ(rig.main.prompts.callsOf(Call::Message).size() - before, message ? 1u : 0u);
    }
}

} // namespace
} // namespace fh::test
