// The setup screen on the simulated bus: what each model shows, what OK writes and how its
// outcome is told, Cancel, printing, and replies that must not open the screen.
#include "detector/models.h"
#include "hostrig.h"
#include "link/crc.h"
#include "screens/setup/setupscreen.h"
#include "sim/simmodels.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

QByteArray SetupReply(quint8 address, const std::vector<quint16>& regs) {
    QByteArray body = QByteArray(1, char(address)).append(char(3)).append(char(2 * regs.size()));
    for (quint16 r : regs)
        body.append(char(r >> 8)).append(char(r & 0xFF));
    return withCrc(body);
}

// The setup screen's opening for the detector the main screen shows, with a reply of the test's.
SetupOpening OpeningWith(HostModel& m, const QByteArray& reply) {
    const DetectorRecord& d = m.link().record();
    return {SetupSnapshot{{d.Address, d.ModelCode, d.ModelName, d.SerialNumber}, reply}, {}};
}

struct Flag {
    const char* name;
    quint8 mask;
};
constexpr Flag Flags[] = {{"chkAlarmL", 0x01}, {"chkAccOnWarn", 0x02}, {"chkAutoBit", 0x04},
                          {"chkAccBit", 0x08}, {"chkRBit", 0x10},      {"chkEOL", 0x80}};

TEST(SetupScreen, ShowsTheModelsRow) {
    // The lists shown, by name, with their texts (the others show none); six flags or three;
    // a warning for a value read outside its list, which OK would change.
    const std::tuple<const char*, std::vector<quint16>, const char*, bool, bool> cases[] = {
        {"Zorvan A2", {0xFF70}, "cmbDelay=30 cmbSensFast=10", false, false},
        {"Zorvan A1", {0x4000}, "cmbSensSingle=", false, true},
        {"Zorvan A3", {0x0000}, "cmbUVIR=15", false, true},
        {"Zorvan A5", {0x2000}, "cmbMI=20", false, false},
        {"Zorvan B3", {0x6000}, "cmbMI3=10", false, false},
        {"Zorvan C1", {0x4505, 0, 1, 15}, "cmbHeatMode=AUTO cmbHeatOn=15 cmbSens=45", true, false},
        {"Zorvan C2", {0x0000, 0, 7, 12}, "cmbHeatMode= cmbHeatOn= cmbSens=15", true, true},
        {"Zorvan D1", {0x9300}, "cmbSens=15", true, false}};
    ScreenRig main(busWith(1, 0, 31208));
    for (const auto& [model, regs, lists, sixFlags, warned] : cases) {
        SCOPED_TRACE(model);
        main.detector().setModelCode(*simModelCode(model));
        ASSERT_TRUE(WaitFor([&] { return main.m().link().record().ModelName == model; }));
        QPointer<SetupScreen> s =
            SetupScreen::open(main, OpeningWith(main.m(), SetupReply(1, regs)));
        ASSERT_TRUE(s);
        EXPECT_EQ(Find<QLabel>(s, "lblDetType")->text(), model);
        EXPECT_EQ(Find<QLabel>(s, "lblserNum")->text(), "31208");
        EXPECT_EQ(Find<QLabel>(s, "lblAddress")->text(), "1");

        QStringList shown;
        for (const QComboBox* list : s->findChildren<QComboBox*>()) {
            if (list->isVisible())
                shown << list->objectName() + "=" + list->currentText();
            else
                EXPECT_EQ(list->currentText(), "") << "hidden " << list->objectName().toStdString();
        }
        shown.sort();
        EXPECT_EQ(shown.join(' '), lists);
        EXPECT_EQ(Find<QLabel>(s, "lblHM")->isVisible(),
                  Find<QComboBox>(s, "cmbHeatMode")->isVisible());
        EXPECT_EQ(Find<QLabel>(s, "lblHO")->isVisible(),
                  Find<QComboBox>(s, "cmbHeatOn")->isVisible());

        int flagsShown = 0;
        for (const Flag& f : Flags) {
            auto* box = s->findChild<QCheckBox*>(f.name);
            ASSERT_TRUE(box) << f.name;
            EXPECT_EQ(box->isChecked(), ((regs[0] >> 8) & f.mask) != 0) << f.name;
            flagsShown += box->isVisible();
        }
        EXPECT_EQ(flagsShown, sixFlags ? 6 : 3);
        EXPECT_EQ(Find<QLabel>(s, "lblWarn")->isVisible(), warned)
            << Find<QLabel>(s, "lblWarn")->text().toStdString();
        Dispose(s);
    }
    EXPECT_EQ(main.returns, int(std::size(cases)));
}

// The main screen at one detector of the default bus, its poll cycle held so that nothing
// but the screen's own requests reaches the line (and faults count only those).
struct LineRig {
    explicit LineRig(quint8 address) : main(makeDefaultBus(), address), address(address) {
        main.ctx().holdLine(true);
        // The poll in flight ends before anything here is counted.
        RunCommand(*main.worker, {Pattern::SendOnly, ReadAddr(99)});
    }
    SimDetector& detector() { return *main.bus.sim().detector(address); }
    std::vector<quint16> holding() {
        std::vector<quint16> out;
        for (int r = 0; r < SimDetector::HoldingCount; ++r)
            out.push_back(detector().holding(r));
        return out;
    }
    // The screen as the main screen opens it: after its own status poll and setup read.
    QPointer<SetupScreen> open() {
        SetupOpen op(address, false);
        RunToEnd(*main.worker, op);
        return SetupScreen::open(main, op.opening());
    }
    ScreenRig main;
    quint8 address;
};

quint16 word(const QByteArray& bytes, int i) {
    return quint16(quint8(bytes[2 * i]) << 8 | quint8(bytes[2 * i + 1]));
}

// The frames are the setup codec's tests and the attempts the line's; here what the operator
// changed reaches the detector and nothing else changes, a second OK or closing while the
// attempts run adds nothing, and only a write no attempt got through is told.
TEST(SetupScreen, OkWritesWhatTheOperatorChangedAndTellsOnlyAWriteThatNeverGotThrough) {
    struct WriteCase {
        const char* what;
        quint8 address;
        const char* before;      // setup registers 1.., in hex
        const char *list, *text; // picked when the list holds it, else typed
        const char* flag;        // a flag box toggled, or nullptr
        const char* after;
        SimFaults faults = {};
        int writes = 1;
    };
    const WriteCase cases[] = {
        {"A2: hidden flags kept, delay and latch changed", 1, "A730", "cmbDelay", "10", "chkAlarmL",
         "A640"},
        {"C1: heat-on and EOL changed", 2, "4500 0000 0001 000F", "cmbHeatOn", "30", "chkEOL",
         "C500 0000 0001 001E"},
        {"B1: typed 40.0 is 40, other bits kept", 3, "2400", "cmbMI", "40.0", nullptr, "6400"},
        {"sixth answered", 1, "A730", "cmbDelay", "10", nullptr, "A740", {.ignoreNext = 5}, 6},
        {"never answered", 1, "A730", "cmbDelay", "10", nullptr, "A730", {.silent = true}, 6}};
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        LineRig rig(c.address);
        const QByteArray before = hex(c.before), after = hex(c.after);
        for (int i = 0; i < before.size() / 2; ++i)
            rig.detector().setHolding(i + 1, word(before, i));
        std::vector<quint16> expected = rig.holding();
        for (int i = 0; i < after.size() / 2; ++i)
            expected[size_t(i) + 1] = word(after, i);

        QPointer<SetupScreen> s = rig.open();
        ASSERT_TRUE(s);
        auto* list = s->findChild<QComboBox*>(c.list);
        if (const int i = list->findText(c.text); i >= 0) {
            list->setCurrentIndex(i);
        } else {
            list->lineEdit()->selectAll();
            QTest::keyClicks(list->lineEdit(), c.text);
        }
        if (c.flag)
            s->findChild<QCheckBox*>(c.flag)->toggle();
        rig.detector().setFaults(c.faults);
        LineWatch sent(*rig.main.worker);
        QStringList shown; // the progress line as each attempt begins
        QObject::connect(rig.main.worker.get(), &LineWorker::writeAttempt, s, [&] {
            shown << (Find<QLabel>(s, "lblWriting")->isVisible()
                          ? Find<QLabel>(s, "lblWriting")->text()
                          : QString());
        });
        Find<QPushButton>(s, "cmdOK")->click();
        Find<QPushButton>(s, "cmdOK")->click();
        s->close();
        EXPECT_TRUE(s && s->isVisible());
        EXPECT_EQ(rig.main.returns, 0);
        ASSERT_TRUE(WaitFor([&] { return rig.main.returns == 1; }));

        const bool acknowledged = !c.faults.silent;
        ASSERT_EQ(int(sent.sent.size()), c.writes + (acknowledged ? 1 : 0)) << "and the read back";
        EXPECT_EQ(sent.count(sent.sent.front()), c.writes);
        ASSERT_EQ(shown.size(), c.writes);
        EXPECT_EQ(shown.back(), QString("Writing... attempt %1 of 6").arg(c.writes));
        EXPECT_EQ(rig.holding(), expected);
        EXPECT_TRUE(acknowledged
                        ? rig.main.prompts.callsOf(Call::Message).empty()
                        : bool(OneMessage(rig.main.prompts, "Changes not saved!", "Warning")));
        EXPECT_EQ(rig.main.m().messages().newest().endsWith("Setup written and verified"),
                  acknowledged);
        EXPECT_EQ(rig.main.prompts.callsOf(Call::Beep).size(), 1u);
        EXPECT_EQ(rig.main.prompts.calls.back().kind, Call::Beep) << "the beep comes last";
        EXPECT_TRUE(rig.main.standIn.isVisible());
        Dispose(s);
        EXPECT_FALSE(s);
    }
}

TEST(SetupScreen, EnterPressesTheFocusedButtonOrOkAndEscIsCancel) {
    // Key 0 is the close box.
    for (const auto& [what, key, focus, writes, cancelled, prints] :
         {std::tuple{"close box", 0, "cmbDelay", false, false, false},
          {"Esc in a list", int(Qt::Key_Escape), "cmbDelay", false, true, false},
          {"Enter in a list", int(Qt::Key_Return), "cmbDelay", true, false, false},
          {"Enter on Cancel", int(Qt::Key_Return), "cmdExit", false, true, false},
          {"Enter on Print", int(Qt::Key_Enter), "cmdPrint", false, false, true}}) {
        SCOPED_TRACE(what);
        LineRig rig(1);
        QPointer<SetupScreen> s = rig.open();
        ASSERT_TRUE(s);
        rig.main.prompts.printAnswers = {std::nullopt};
        LineWatch sent(*rig.main.worker);
        auto* target = s->findChild<QWidget*>(focus);
        target->setFocus();
        if (key == 0)
            s->close();
        else
            QTest::keyClick(target, Qt::Key(key));
        EXPECT_TRUE(!writes || WaitFor([&] { return rig.main.returns == 1; }));
        EXPECT_EQ(rig.main.returns, prints ? 0 : 1);
        Dispose(s);
        // A request of the screen's would have gone ahead of this one.
        RunCommand(*rig.main.worker, {Pattern::SendOnly, ReadAddr(99)});
        EXPECT_EQ(sent.sent.size(), writes ? 3u : 1u); // the write and its read back
        EXPECT_TRUE(!cancelled ||
                    OneMessage(rig.main.prompts, "Changes were not saved!", "SETUP SCREEN"));
        EXPECT_EQ(rig.main.prompts.callsOf(Call::Message).size(), cancelled ? 1u : 0u);
        EXPECT_EQ(rig.main.prompts.callsOf(Call::PrintDialog).size(), prints ? 1u : 0u);
    }
}

TEST(SetupScreen, TypedSensitivityThatIsNoListValueIsRefused) {
    LineRig rig(3);
    QPointer<SetupScreen> s = rig.open();
    ASSERT_TRUE(s);
    QComboBox* list = Find<QComboBox>(s, "cmbMI");
    for (const char* typed : {"abc", "99", "25"}) {
        rig.main.prompts.calls.clear();
        list->lineEdit()->selectAll();
        QTest::keyClicks(list->lineEdit(), typed);
        Find<QPushButton>(s, "cmdOK")->click();
        EXPECT_FALSE(s->writePending());
        EXPECT_TRUE(OneMessage(
            rig.main.prompts,
            QString("\"%1\" is not a sensitivity. Choose one of: 10, 20, 30, 40.").arg(typed),
            "SETUP SCREEN", Prompts::Icon::Exclamation));
        EXPECT_TRUE(s->isVisible()); // the operator corrects it or cancels
    }
    Dispose(s);
}

// Deleted while the write runs (the main window going down with it).
TEST(SetupScreen, GoingAwayWhileTheWriteRunsIsSafe) {
    LineRig rig(3);
    QPointer<SetupScreen> s = rig.open();
    ASSERT_TRUE(s);
    LineWatch done(*rig.main.worker);
    Find<QPushButton>(s, "cmdOK")->click();
    ASSERT_TRUE(s->writePending());
    delete s;
    ASSERT_TRUE(WaitFor([&] { return !done.commands.empty(); }));
    EXPECT_TRUE(rig.main.prompts.calls.empty()) << "told something after it was gone";
    EXPECT_EQ(rig.main.returns, 0);
}

// Which replies are refused is the operation's and the setup codec's test; here an opening
// without a snapshot, or with a reply refused for the model shown (C1 reads four registers),
// opens nothing and says why.
TEST(SetupScreen, OpeningWithoutAProperReplyOpensNothing) {
    LineRig rig(2);
    LineWatch sent(*rig.main.worker);
    const QString silent = "No answer from address 2: the setup screen was not opened.";
    for (const auto& [opening, told] :
         {std::pair{OpeningWith(rig.main.m(), SetupReply(2, {0x4505})),
                    QString(SetupCouldNotReadText)},
          {SetupOpening{std::nullopt, silent}, silent}}) {
        rig.main.prompts.calls.clear();
        EXPECT_EQ(SetupScreen::open(rig.main, opening), nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_NE(w->objectName(), "frmSetup");
        EXPECT_TRUE(OneMessage(rig.main.prompts, told, "Warning"));
    }
    EXPECT_EQ(rig.main.returns, 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent.sent.empty());
}

// Cancelled in its dialog it prints nothing; three copies print one page each, unasked.
TEST(SetupScreen, PrintingPrintsOneImagePerCopy) {
    LineRig rig(2);
    QPointer<SetupScreen> s = rig.open();
    ASSERT_TRUE(s);
    ScriptedPrompts& p = rig.main.prompts;
    QTemporaryDir dir;
    p.pdfPath = dir.filePath("out.pdf");
    p.printAnswers = {std::nullopt, 3};
    Find<QPushButton>(s, "cmdPrint")->click();
    EXPECT_TRUE(p.callsOf(Call::Print).empty());
    EXPECT_FALSE(QFile::exists(p.pdfPath));
    Find<QPushButton>(s, "cmdPrint")->click();
    const auto prints = p.callsOf(Call::Print);
    ASSERT_EQ(prints.size(), 1u);
    EXPECT_EQ(prints[0].copies, 3);
    const QString pdf = QString::fromLatin1(readAll(p.pdfPath));
    EXPECT_EQ(pdf.count(QRegularExpression("/Type\\s*/Page(?!s)")), 3);
    EXPECT_TRUE(p.callsOf(Call::Message).empty());
    EXPECT_TRUE(s->isVisible());
    Dispose(s);
}

// A detector that misses every second request: each press follows a poll that failed and
// emptied the main screen's model. The screen opens only for the model a status reply has
// just confirmed, else says why; and OK with nothing touched leaves the detector as it was.
TEST(SetupScreen, FlakyDetectorGetsNoScreenOfAnotherModelAndOkKeepsItsSettings) {
    MainRig rig;
    rig.detector().setFaults({.answerEvery = 2});
    ASSERT_TRUE(rig.load());
    QPointer<SetupScreen> s;
    rig.main->openers().setup = [&](ScreenContext& c, const SetupOpening& o) -> QWidget* {
        EXPECT_EQ(o.snapshot ? o.snapshot->detector.modelName : o.refusal, "Zorvan A2");
        return s = SetupScreen::open(c, o);
    };
    // A press that gets no confirmed model says why in the message line and opens nothing.
    for (int press = 0; !s && press < 40; ++press) {
        ASSERT_TRUE(rig.waitLink("GOOD"));
        rig.model->commands().requestSetupRead();
        ASSERT_TRUE(WaitFor([&] { return !rig.model->commands().busy(); }));
        EXPECT_TRUE(s || rig.model->messages().newest().contains("No answer from address 1"));
    }
    ASSERT_TRUE(s);
    EXPECT_EQ(Find<QLabel>(s, "lblDetType")->text(), "Zorvan A2");
    EXPECT_EQ(Find<QComboBox>(s, "cmbDelay")->currentText(), "5");
    rig.detector().clearFaults(); // the write and its read back are the operation's tests
    Find<QPushButton>(s, "cmdOK")->click();
    ASSERT_TRUE(WaitFor([&] { return !s; }));
    EXPECT_EQ(rig.detector().holding(1), 0x2530);
    EXPECT_TRUE(rig.model->messages().newest().endsWith("Setup written and verified"));
}

} // namespace
} // namespace fh::test
