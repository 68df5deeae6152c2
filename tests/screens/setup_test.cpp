// The setup screen on the simulated bus: what each model shows, what OK writes and how its
// outcome is told, Cancel, printing, and replies that must not open the screen.
#include "link/crc.h"
#include "screens/fakemain.h"
#include "screens/linelog.h"
#include "screens/setup/frmSetup.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

using fh::frmSetup;
using fh::Prompts;
using fh::ScriptedPrompts;
using fh::test::FakeMain;
using Call = ScriptedPrompts::Call;

QByteArray SetupReply(quint8 address, const std::vector<quint16>& regs) {
    QByteArray body;
    body.append(char(address)).append(char(3)).append(char(2 * regs.size()));
    for (quint16 r : regs)
        body.append(char(r >> 8)).append(char(r & 0xFF));
    return fh::withCrc(body);
}

QByteArray Bytes(std::initializer_list<int> bytes) {
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

// Closes the screen if it is still open and lets it be deleted.
void Dispose(QPointer<frmSetup>& screen) {
    if (screen)
        screen->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool SetupScreenExists() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmSetup"))
            return true;
    return false;
}

struct Flag {
    const char* name;
    quint8 mask;
};
constexpr Flag Flags[] = {{"chkAlarmL", 0x01}, {"chkAccOnWarn", 0x02}, {"chkAutoBit", 0x04},
                          {"chkAccBit", 0x08}, {"chkRBit", 0x10},      {"chkEOL", 0x80}};
const char* const SensLists[] = {"cmbSens", "cmbMI",         "cmbSensFast",
                                 "cmbMI3",  "cmbSensSingle", "cmbUVIR"};

struct RowCase {
    const char* model;
    std::vector<quint16> regs;
    const char* list;
    const char* sensitivity;
    const char* delay;    // nullptr: delay hidden
    const char* heatMode; // nullptr: heat lists hidden
    const char* heatOn;
    bool sixFlags;
};

TEST(SetupScreen, ShowsTheModelsRow) {
    const RowCase cases[] = {
        {"Zorvan A2", {0xFF70}, "cmbSensFast", "10", "30", nullptr, nullptr, false},
        {"Zorvan A2", {0x0010}, "cmbSensFast", "2.5", "A", nullptr, nullptr, false},
        {"Zorvan A1", {0x4000}, "cmbSensSingle", "", nullptr, nullptr, nullptr, false},
        {"Zorvan A3", {0x0000}, "cmbUVIR", "15", nullptr, nullptr, nullptr, false},
        {"Zorvan A5", {0x2000}, "cmbMI", "20", nullptr, nullptr, nullptr, false},
        {"Zorvan B1", {0x2400, 0, 0, 0}, "cmbMI", "20", nullptr, nullptr, nullptr, false},
        {"Zorvan B3", {0x6000}, "cmbMI3", "10", nullptr, nullptr, nullptr, false},
        {"Zorvan C1", {0x4505, 0, 1, 15}, "cmbSens", "45", nullptr, "AUTO", "15", true},
        {"Zorvan C2", {0x0000, 0, 7, 12}, "cmbSens", "15", nullptr, "", "", true},
        {"Zorvan D1", {0x9300}, "cmbSens", "15", nullptr, nullptr, nullptr, true},
        {"Not a model", {0x7300}, "cmbSens", "60", nullptr, nullptr, nullptr, true},
    };
    FakeMain main;
    for (const RowCase& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.regs[0]));
        main.record.ModelName = c.model;
        main.record.SerialNumber = 31208;
        QPointer<frmSetup> s = frmSetup::open(main, SetupReply(1, c.regs));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->windowTitle(), "SETUP TABLE");
        EXPECT_EQ(s->lblDetType->text(), c.model);
        EXPECT_EQ(s->lblserNum->text(), "31208");
        EXPECT_EQ(s->lblAddress->text(), "1");

        const QRect place = s->cmbSens->geometry();
        for (const char* name : SensLists) {
            auto* list = s->findChild<QComboBox*>(name);
            ASSERT_TRUE(list) << name;
            EXPECT_EQ(list->geometry(), place) << name;
            EXPECT_EQ(list->isVisible(), QLatin1String(name) == QLatin1String(c.list)) << name;
            EXPECT_EQ(list->isEditable(), QLatin1String(name) != QLatin1String("cmbSens"));
        }
        EXPECT_EQ(s->findChild<QComboBox*>(c.list)->currentText(), c.sensitivity);

        EXPECT_EQ(s->cmbDelay->isVisible(), c.delay != nullptr);
        EXPECT_EQ(s->lblDelay->isVisible(), c.delay != nullptr);
        EXPECT_EQ(s->cmbDelay->currentText(), c.delay ? c.delay : "");
        for (QWidget* w :
             std::initializer_list<QWidget*>{s->cmbHeatMode, s->cmbHeatOn, s->lblHM, s->lblHO})
            EXPECT_EQ(w->isVisible(), c.heatMode != nullptr) << w->objectName().toStdString();
        if (c.heatMode) {
            EXPECT_EQ(s->cmbHeatMode->currentText(), c.heatMode);
            EXPECT_EQ(s->cmbHeatOn->currentText(), c.heatOn);
        }

        const quint8 hi = quint8(c.regs[0] >> 8);
        int shown = 0;
        for (const Flag& f : Flags) {
            auto* box = s->findChild<QCheckBox*>(f.name);
            ASSERT_TRUE(box) << f.name;
            EXPECT_EQ(box->isChecked(), (hi & f.mask) != 0) << f.name;
            shown += box->isVisible();
        }
        EXPECT_EQ(shown, c.sixFlags ? 6 : 3);
        for (const char* always : {"chkAlarmL", "chkAutoBit", "chkAccBit"})
            EXPECT_TRUE(s->findChild<QCheckBox*>(always)->isVisible()) << always;
        Dispose(s);
    }
    EXPECT_EQ(main.closed, int(std::size(cases)));
}

TEST(SetupScreen, SecondOpeningKeepsNoTraceOfTheFirst) {
    FakeMain main;
    main.record.ModelName = "Zorvan A2";
    QPointer<frmSetup> a2 = frmSetup::open(main, SetupReply(1, {0xFF70}));
    ASSERT_TRUE(a2);
    Dispose(a2);

    main.record.ModelName = "Zorvan C1";
    QPointer<frmSetup> c1 = frmSetup::open(main, SetupReply(1, {0x0000, 0, 2, 30}));
    ASSERT_TRUE(c1);
    EXPECT_TRUE(c1->cmbHeatMode->isVisible());
    EXPECT_EQ(c1->cmbHeatMode->currentText(), "ON");
    EXPECT_EQ(c1->cmbHeatOn->currentText(), "30");
    EXPECT_FALSE(c1->cmbDelay->isVisible());
    EXPECT_EQ(c1->cmbDelay->currentIndex(), -1);
    EXPECT_FALSE(c1->cmbSensFast->isVisible());
    EXPECT_EQ(c1->cmbSensFast->currentText(), "");
    EXPECT_EQ(c1->cmbSens->currentText(), "15");
    for (const Flag& f : Flags)
        EXPECT_FALSE(c1->findChild<QCheckBox*>(f.name)->isChecked()) << f.name;
    Dispose(c1);
}

// The main screen at one detector of the default bus, its poll cycle held so that nothing
// but the screen's own requests reaches the line (and faults count only those).
struct LineRig {
    explicit LineRig(quint8 address) : main(fh::makeDefaultBus(), address), address(address) {
        main.worker().setHeld(true);
    }
    fh::SimDetector& detector() { return *main.bus().detector(address); }
    std::vector<quint16> holding() {
        std::vector<quint16> out;
        for (int r = 0; r < fh::SimDetector::HoldingCount; ++r)
            out.push_back(detector().holding(r));
        return out;
    }
    QByteArray readSetup() {
        const fh::Exchange x =
            fh::test::RunCommand(main.worker(), {fh::Pattern::ButtonRead,
                                                 fh::ReadSetup(address, main.record.ModelName)});
        return x.reply;
    }
    QPointer<frmSetup> open() { return frmSetup::open(main, readSetup()); }
    FakeMain main;
    quint8 address;
};

struct WriteCase {
    const char* what;
    quint8 address;
    std::vector<quint16> before; // setup registers 1..
    std::function<void(frmSetup&)> edit;
    QByteArray frame;
    std::vector<quint16> after;
    const char* reopened; // the sensitivity shown when the screen is opened again
};

void Pick(QComboBox* list, const char* text) {
    list->setCurrentIndex(list->findText(text));
}
void Type(QComboBox* list, const char* text) {
    list->lineEdit()->selectAll();
    QTest::keyClicks(list->lineEdit(), text);
}

TEST(SetupScreen, OkWritesWhatTheOperatorChangedAndNothingElse) {
    const WriteCase cases[] = {
        {"A2: hidden flags kept, delay and latch changed",
         1,
         {0xA730},
         [](frmSetup& s) {
             Pick(s.cmbDelay, "10");
             s.chkAlarmL->setChecked(false);
         },
         fh::withCrc(Bytes({1, 6, 0, 1, 0xA6, 0x40})),
         {0xA640},
         "5"},
        {"C1: heat-on and EOL changed",
         2,
         {0x4500, 0, 1, 15},
         [](frmSetup& s) {
             Pick(s.cmbHeatOn, "30");
             s.chkEOL->setChecked(true);
         },
         fh::withCrc(Bytes({2, 0x10, 0, 1, 0, 4, 8, 0xC5, 0, 0, 0, 0, 1, 0, 30})),
         {0xC500, 0, 1, 30},
         "45"},
        {"B1: typed 55 clamps to the top code, other bits kept",
         3,
         {0x2400},
         [](frmSetup& s) { Type(s.cmbMI, "55"); },
         fh::withCrc(Bytes({3, 6, 0, 1, 0x64, 0})),
         {0x6400},
         "40"},
        {"B1: typed -20 clamps to the lowest code",
         3,
         {0x7D00},
         [](frmSetup& s) { Type(s.cmbMI, "-20"); },
         fh::withCrc(Bytes({3, 6, 0, 1, 0x1D, 0})),
         {0x1D00},
         "10"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        LineRig rig(c.address);
        for (size_t i = 0; i < c.before.size(); ++i)
            rig.detector().setHolding(int(i) + 1, c.before[i]);
        std::vector<quint16> expected = rig.holding();
        for (size_t i = 0; i < c.after.size(); ++i)
            expected[i + 1] = c.after[i];

        QPointer<frmSetup> s = rig.open();
        ASSERT_TRUE(s);
        c.edit(*s);
        fh::test::SentFrames sent(rig.main.worker());
        s->cmdOK->click();
        ASSERT_TRUE(fh::test::WaitFor([&] { return rig.main.closed == 1; }));
        EXPECT_EQ(sent.frames, std::vector<QByteArray>{c.frame});
        EXPECT_EQ(rig.holding(), expected);
        EXPECT_TRUE(rig.main.prompts_.callsOf(Call::Message).empty());
        EXPECT_EQ(rig.main.prompts_.callsOf(Call::Beep).size(), 1u);
        EXPECT_TRUE(rig.main.mainWindow()->isVisible());
        Dispose(s);
        EXPECT_FALSE(s);

        QPointer<frmSetup> again = rig.open();
        ASSERT_TRUE(again);
        const fh::SetupRow row = fh::SetupRowFor(rig.main.record.ModelName);
        EXPECT_EQ(again->sensitivityList(row.sensitivity)->currentText(), c.reopened);
        Dispose(again);
    }
}

TEST(SetupScreen, OkTellsOnlyAWriteNoAttemptGotThrough) {
    struct Case {
        fh::SimFaults faults;
        int writes;
        bool warned;
    };
    const Case cases[] = {
        {{.ignoreNext = 3}, 4, false},
        {{.ignoreNext = 5}, 6, false},
        {{.silent = true}, 6, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writes);
        LineRig rig(1);
        QPointer<frmSetup> s = rig.open();
        ASSERT_TRUE(s);
        rig.detector().setFaults(c.faults);
        fh::test::SentFrames sent(rig.main.worker());
        s->cmdOK->click();
        s->cmdOK->click(); // a second click while the attempts run adds nothing
        s->close();        // nor does closing: the outcome is still to be told
        EXPECT_TRUE(s && s->isVisible());
        EXPECT_EQ(rig.main.closed, 0);
        ASSERT_TRUE(fh::test::WaitFor([&] { return rig.main.closed == 1; }));

        ASSERT_EQ(int(sent.frames.size()), c.writes);
        EXPECT_EQ(sent.count(sent.frames.front()), c.writes);
        const auto messages = rig.main.prompts_.callsOf(Call::Message);
        if (c.warned) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Changes not saved!");
            EXPECT_EQ(messages[0].title, "Warning");
            EXPECT_EQ(messages[0].icon, Prompts::Icon::Critical);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        // The warning comes first, then the screen goes, then the beep.
        ASSERT_FALSE(rig.main.prompts_.calls.empty());
        EXPECT_EQ(rig.main.prompts_.calls.back().kind, Call::Beep);
        EXPECT_TRUE(rig.main.mainWindow()->isVisible());
        Dispose(s);
    }
}

TEST(SetupScreen, CancelAndCloseBoxSendNothing) {
    for (bool viaCancel : {true, false}) {
        SCOPED_TRACE(viaCancel ? "Cancel" : "close box");
        LineRig rig(2);
        QPointer<frmSetup> s = rig.open();
        ASSERT_TRUE(s);
        fh::test::SentFrames sent(rig.main.worker());
        if (viaCancel)
            s->cmdExit->click();
        else
            s->close();
        EXPECT_EQ(rig.main.closed, 1);
        const auto messages = rig.main.prompts_.callsOf(Call::Message);
        if (viaCancel) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Changes were not saved!");
            EXPECT_EQ(messages[0].title, "SETUP SCREEN");
            EXPECT_EQ(messages[0].icon, Prompts::Icon::Critical);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        Dispose(s);
        EXPECT_FALSE(s);
        // A request of the screen's would have gone ahead of this one.
        fh::test::RunCommand(rig.main.worker(), {fh::Pattern::SendOnly, fh::ReadAddr(99)});
        EXPECT_EQ(sent.frames, std::vector<QByteArray>{fh::ReadAddr(99)});
        EXPECT_EQ(rig.main.closed, 1);
    }
}

int PdfPages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QString pdf = QString::fromLatin1(f.readAll());
    return int(pdf.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
}

TEST(SetupScreen, PrintsOneImagePerCopyAndCancelPrintsNothing) {
    QTemporaryDir dir;
    FakeMain main;
    main.record.ModelName = "Zorvan C1";
    main.prompts_.pdfPath = dir.filePath("setup.pdf");
    main.prompts_.printAnswers = {std::nullopt, 3};
    QPointer<frmSetup> s = frmSetup::open(main, SetupReply(1, {0x4505, 0, 1, 15}));
    ASSERT_TRUE(s);

    s->cmdPrint->click(); // cancelled
    EXPECT_TRUE(main.prompts_.callsOf(Call::Print).empty());
    EXPECT_FALSE(QFile::exists(main.prompts_.pdfPath));

    s->cmdPrint->click();
    const auto prints = main.prompts_.callsOf(Call::Print);
    ASSERT_EQ(prints.size(), 1u);
    EXPECT_EQ(prints[0].copies, 3);
    EXPECT_EQ(PdfPages(main.prompts_.pdfPath), 3);
    EXPECT_TRUE(main.prompts_.callsOf(Call::Message).empty());
    EXPECT_TRUE(s->isVisible());
    Dispose(s);
}

TEST(SetupScreen, ReplyThatIsNoProperAnswerOpensNothing) {
    struct Case {
        const char* what;
        quint8 address;
        QByteArray reply; // empty: read over the line with the exception fault
    };
    const Case cases[] = {
        {"exception reply", 1, {}},
        {"one register where C1 reads four", 2, SetupReply(2, {0x4505})},
        {"check bytes missing", 1, SetupReply(1, {0x2530}).left(5)},
        {"wrong function", 1, fh::withCrc(Bytes({1, 4, 2, 0x25, 0x30}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LineRig rig(c.address);
        QByteArray reply = c.reply;
        if (reply.isEmpty()) {
            rig.detector().setFaults({.exceptionFunction = 0x83, .exceptionCode = 2});
            reply = rig.readSetup();
            EXPECT_EQ(quint8(reply.at(1)), 0x83);
        }
        fh::test::SentFrames sent(rig.main.worker());
        EXPECT_EQ(frmSetup::open(rig.main, reply), nullptr);
        EXPECT_FALSE(SetupScreenExists());
        const auto messages = rig.main.prompts_.callsOf(Call::Message);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, frmSetup::CouldNotReadText);
        EXPECT_EQ(messages[0].title, "Warning");
        EXPECT_EQ(messages[0].icon, Prompts::Icon::Critical);
        EXPECT_EQ(rig.main.closed, 0);
        QCoreApplication::processEvents();
        EXPECT_TRUE(sent.frames.empty());
    }
}

TEST(SetupScreen, GoingAwayWhileTheWriteRunsIsSafe) {
    LineRig rig(1);
    QPointer<frmSetup> s = rig.open();
    ASSERT_TRUE(s);
    QSignalSpy done(&rig.main.worker(), &fh::LineWorker::commandDone);
    s->cmdOK->click();
    delete s; // e.g. the main window going down with it
    ASSERT_TRUE(done.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.main.prompts_.calls.empty());
    EXPECT_EQ(rig.main.closed, 0);
}

} // namespace
