// The main screen against the simulated bus: controls at start, the poll cycle's displays,
// master mode and address stepping, BIT, tuning, the keyboard and the hand-over to the
// screens it opens.
#include "mainrig.h"
#include "screens/main/mainlayout.h"
#include "screens/maintenance/lampshape.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

TEST(MainScreen, ControlsAtStart) {
    MainRig rig;
    frmMain& m = *rig.main;

    struct ButtonCase {
        const char* name;
        const char* caption;
        const char* tooltip;
        bool visible;
    };
    const ButtonCase buttons[] = {
        {"cmdShowLog", "&View log", "Log file viewer", true},
        {"cmdSearch", "maste&R is OFF", "Searching for an active detector", true},
        {"cmdDown", "", "Decrement address", true},
        {"cmdUp", "", "Increment address", true},
        {"cmdMaintenance", "&Maint", "", false},
        {"cmdChangeAddr", "new &Address", "Set new address", true},
        {"cmdBIT", "&BIT", "Perform manual BIT", true},
        {"cmdSetio", "&Setup", "Setup screen", true},
        {"cmdLog", "start &Loging", "Log to file", true},
        {"cmdE", "&Exit", "Quit program", true},
    };
    for (const ButtonCase& c : buttons) {
        auto* b = m.findChild<QPushButton*>(c.name);
        ASSERT_TRUE(b) << c.name;
        EXPECT_EQ(b->text(), c.caption) << c.name;
        EXPECT_EQ(b->toolTip(), c.tooltip) << c.name;
        EXPECT_EQ(b->isVisibleTo(&m), c.visible) << c.name;
    }
    EXPECT_FALSE(m.cmdUp->icon().isNull());
    EXPECT_FALSE(m.cmdDown->icon().isNull());

    struct LabelCase {
        const char* name;
        const char* text;
        Rgb fg, bg;
        bool visible;
    };
    const Rgb peach = colour::LightPeach, blue = colour::Blue;
    const LabelCase labels[] = {
        {"lblChooseAddr", "1", blue, peach, true},
        {"lblDetType", "", blue, peach, true},
        {"lblserNum", "", blue, peach, true},
        {"lblDetStatus", "D", blue, peach, true},
        {"lblCom", "", colour::Green, colour::White, true},
        {"lblBit", "", blue, LightPink, false},
        {"lblLogOn", "", blue, colour::White, false},
        {"lblF12", "Testing... ", colour::Red, LightYellow, false},
        {"lblType", "Model", Black, TitleGrey, true},
        {"lblSta", "STATUS", Black, TitleGrey, true},
        {"Label1", "Address", Black, TitleGrey, true},
        {"lblSerial", "Serial No.", Black, TitleGrey, true},
    };
    for (const LabelCase& c : labels) {
        auto* l = m.findChild<QLabel*>(c.name);
        ASSERT_TRUE(l) << c.name;
        EXPECT_EQ(l->text(), c.text) << c.name;
        EXPECT_EQ(LabelTextColour(l), c.fg) << c.name;
        if (l->autoFillBackground()) {
            EXPECT_EQ(LabelBackground(l), c.bg) << c.name;
        }
        EXPECT_EQ(l->isVisibleTo(&m), c.visible) << c.name;
    }
    EXPECT_EQ(m.lblCom->toolTip(), "Communication Status");
    EXPECT_GT(m.lblDetStatus->font().pointSize(), m.lblChooseAddr->font().pointSize());
    EXPECT_TRUE(m.lblChooseAddr->font().bold());
    auto* lamp = m.findChild<LampShape*>("Shape1");
    ASSERT_TRUE(lamp);
    EXPECT_EQ(lamp->fillColor(), colour::White);
    EXPECT_EQ(m.Timer1->interval(), 60000);
    EXPECT_EQ(m.Timer2->interval(), 1000);
    EXPECT_FALSE(m.Timer1->isActive() || m.Timer2->isActive());
    EXPECT_TRUE(m.windowTitle().isEmpty());
}

TEST(MainScreen, FirstActivationPollsAddressOneAndShowsTheDetector) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    ASSERT_TRUE(rig.waitLink("GOOD"));
    frmMain& m = *rig.main;
    const auto heard = rig.bus.heard();
    ASSERT_GE(heard.size(), 2u);
    EXPECT_TRUE(isStatusTo(heard[0], 1));
    EXPECT_EQ(m.Shape1->fillColor(), colour::Green);
    EXPECT_EQ(LabelTextColour(m.lblCom), colour::Green);
    EXPECT_EQ(m.lblDetType->text(), "Zorvan A2");
    EXPECT_EQ(m.lblserNum->text(), "20417");
    EXPECT_EQ(m.lblDetStatus->text(), "N");
    EXPECT_EQ(LabelBackground(m.lblDetStatus), colour::LightPeach);
    EXPECT_EQ(m.windowTitle(), "Ostrix Q519300F June 2005 ");

    // The status and fault flag as they change on the detector.
    struct Case {
        char status;
        quint8 fault;
        const char* shown;
        Rgb background;
    };
    for (const Case& c :
         {Case{'W', 0, "W", colour::Yellow}, Case{'A', 0, "A", colour::Red},
          Case{'W', 1, "f", colour::Yellow}, Case{'w', 0, "w", colour::LightPeach}}) {
        rig.bus.sim().detector(1)->setStatusChar(c.status);
        rig.bus.sim().detector(1)->setFaultFlag(c.fault);
        EXPECT_TRUE(rig.waitFor([&] { return m.lblDetStatus->text() == c.shown; })) << c.shown;
        EXPECT_EQ(LabelBackground(m.lblDetStatus), c.background) << c.shown;
        EXPECT_EQ(LabelTextColour(m.lblDetStatus), colour::Blue);
    }
}

TEST(MainScreen, SilentDetectorIsBadAndComesBackGood) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    ASSERT_TRUE(rig.waitLink("GOOD"));
    frmMain& m = *rig.main;
    SimFaults silent;
    silent.silent = true;
    rig.bus.sim().detector(1)->setFaults(silent);
    ASSERT_TRUE(rig.waitLink("BAD"));
    EXPECT_EQ(LabelTextColour(m.lblCom), colour::Red);
    EXPECT_EQ(m.Shape1->fillColor(), colour::Red);
    EXPECT_EQ(m.lblDetStatus->text(), "D");
    EXPECT_EQ(m.lblDetType->text(), "");
    EXPECT_EQ(m.lblserNum->text(), "");
    EXPECT_EQ(m.lblChooseAddr->text(), "1");
    EXPECT_FALSE(m.linkGood());

    rig.bus.sim().detector(1)->clearFaults();
    ASSERT_TRUE(rig.waitLink("GOOD"));
    EXPECT_EQ(m.lblDetType->text(), "Zorvan A2");
}

TEST(MainScreen, ShortReplyIsAFailedPoll) {
    MainRig rig;
    SimFaults cut;
    cut.shortReply = 11;
    rig.bus.sim().detector(1)->setFaults(cut);
    ASSERT_TRUE(rig.load());
    ASSERT_TRUE(rig.waitLink("BAD"));
    EXPECT_EQ(rig.main->windowTitle(), "Ostrix Q519300F June 2005 ");
}

TEST(MainScreen, MasterModeTakesTheAddressFromTheReplyAndSteppingEndsIt) {
    MainRig rig(busWith(17, 113, 1203));
    ASSERT_TRUE(rig.load());
    ASSERT_TRUE(rig.waitLink("BAD")); // nobody at 1
    frmMain& m = *rig.main;

    m.cmdSearch->click();
    EXPECT_EQ(m.cmdSearch->text(), "maste&R is ON");
    ASSERT_TRUE(rig.waitFor([&] { return m.lblChooseAddr->text() == "17"; }));
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 0); }));
    EXPECT_EQ(m.lblDetType->text(), "Zorvan A1");
    EXPECT_EQ(m.detector().Address, 17);

    m.cmdUp->click();
    EXPECT_EQ(m.lblChooseAddr->text(), "18");
    EXPECT_EQ(m.cmdSearch->text(), "maste&R is OFF");
    EXPECT_FALSE(m.detector().MasterMode);
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 18); }));
    ASSERT_TRUE(rig.waitLink("BAD"));
    EXPECT_EQ(m.lblChooseAddr->text(), "18"); // a failed poll keeps the address

    // Master mode off again through its own button keeps the address found.
    m.cmdSearch->click();
    ASSERT_TRUE(rig.waitFor([&] { return m.lblChooseAddr->text() == "17"; }));
    m.cmdSearch->click();
    EXPECT_EQ(m.cmdSearch->text(), "maste&R is OFF");
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 17); }));
}

TEST(MainScreen, AddressStepsStopAtTheBoundsAndAlwaysEndMasterMode) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    struct Case {
        quint8 start;
        bool up;
        const char* shown;
    };
    for (const Case& c : {Case{1, false, "1"}, Case{2, false, "1"}, Case{247, true, "247"},
                          Case{246, true, "247"}, Case{1, true, "2"}}) {
        m.setAddress(c.start);
        m.cmdSearch_Click(); // master mode on: the step must switch it off
        ASSERT_TRUE(m.detector().MasterMode);
        (c.up ? m.cmdUp : m.cmdDown)->click();
        EXPECT_EQ(m.lblChooseAddr->text(), c.shown) << int(c.start) << c.up;
        EXPECT_FALSE(m.detector().MasterMode);
        EXPECT_EQ(m.cmdSearch->text(), "maste&R is OFF");
        EXPECT_EQ(m.pollFrame(), SendCommand(quint8(QString(c.shown).toInt()), cmd::Status));
    }
}

TEST(MainScreen, BitShowsItsMessageOnlyOnItsOwnEchoAndHoldsThePolls) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    auto isBit = [](const QByteArray& r) { return r == SendCommand(1, cmd::Bit); };
    auto bitsHeard = [&] {
        int n = 0;
        for (const QByteArray& r : rig.bus.heard())
            n += isBit(r) ? 1 : 0;
        return n;
    };

    // Red lamp: nothing is sent.
    SimFaults silent;
    silent.silent = true;
    rig.bus.sim().detector(1)->setFaults(silent);
    ASSERT_TRUE(rig.waitLink("BAD"));
    m.cmdBIT->click();
    QTest::qWait(200);
    EXPECT_EQ(bitsHeard(), 0);
    rig.bus.sim().detector(1)->clearFaults();
    ASSERT_TRUE(rig.waitLink("GOOD"));

    // No reply to the BIT: no message, and polling goes on.
    rig.bus.dropBit = true;
    m.cmdBIT->click();
    ASSERT_TRUE(rig.waitFor([&] { return bitsHeard() == 1 && !m.commandBusy(); }));
    EXPECT_FALSE(m.lblBit->isVisible());
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 1); }, 3));

    // The echo: the message for 4 s, no poll meanwhile.
    rig.bus.dropBit = false;
    m.cmdBIT->click();
    ASSERT_TRUE(rig.waitFor([&] { return m.lblBit->isVisible(); }));
    EXPECT_EQ(m.lblBit->text(), "BIT is performed!");
    EXPECT_EQ(m.tmrBit->interval(), 4000);
    EXPECT_TRUE(m.tmrBit->isActive());
    m.cmdBIT->click(); // a second BIT during the message is not taken
    size_t seenWhileShown = 0;
    while (m.lblBit->isVisible()) {
        seenWhileShown = rig.bus.heard().size();
        QTest::qWait(25);
    }
    const auto heard = rig.bus.heard();
    size_t bitAt = 0;
    for (size_t i = 0; i < heard.size(); ++i)
        if (isBit(heard[i]))
            bitAt = i;
    EXPECT_EQ(bitsHeard(), 2);
    ASSERT_GT(seenWhileShown, bitAt);
    EXPECT_EQ(seenWhileShown, bitAt + 1) << "requests sent while the BIT message showed";
    // Then the polls come back.
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 1); }, 2));
}

TEST(MainScreen, TuningWithNoDetectorWalksTheDelaysAndGivesUpAfter23Failures) {
    MainRig rig(busWith(0, 0, 0));
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    ASSERT_TRUE(rig.waitLink("BAD"));
    const QByteArray before = rig.tuningFileBytes();
    // The delay the line gets after each tuning poll, as the screen hands it on.
    std::vector<int> delays;
    QObject context;
    QObject::connect(rig.worker.get(), &LineWorker::commandDone, &context, [&](const Exchange& x) {
        if (x.pattern == Pattern::Poll)
            delays.push_back(rig.worker->turnaroundDelay() / 1000);
    });

    QTest::keyClick(&m, Qt::Key_F12);
    EXPECT_TRUE(m.TuningMode);
    EXPECT_TRUE(m.lblF12->isVisible());
    ASSERT_TRUE(rig.waitFor([&] { return !m.TuningMode; }, 20000));
    EXPECT_FALSE(m.lblF12->isVisible());
    EXPECT_EQ(m.TuningFailures, 23);
    EXPECT_EQ(m.TurnaroundDelay, 5000);
    EXPECT_EQ(rig.tuningFileBytes(), before);

    // 5000 ... 25000, then 4000, then 5000 for the polls after tuning.
    std::vector<int> want;
    for (int ms = 5; ms <= 25; ++ms)
        want.push_back(ms);
    want.push_back(4);
    want.push_back(5);
    EXPECT_EQ(delays, want);
}

TEST(MainScreen, TuningWithAnAnsweringDetectorStoresTheDelay) {
    MainRig rig(steadyDefaultBus(), "7000\r\n9000\r\n");
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    ASSERT_TRUE(rig.waitLink("GOOD"));
    QTest::keyClick(m.cmdE, Qt::Key_F12); // whatever has the focus
    ASSERT_TRUE(rig.waitFor([&] { return !m.TuningMode; }));
    EXPECT_FALSE(m.lblF12->isVisible());
    EXPECT_EQ(m.TuningFailures, 0);
    EXPECT_EQ(rig.tuningFileBytes(), QByteArray("7000\r\n"));
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 1); }, 2));
}

TEST(MainScreen, ExitAsksAndEndsOnlyOnYes) {
    struct Case {
        Prompts::Answer answer;
        int exits;
    };
    for (const Case& c : {Case{Prompts::Answer::No, 0}, Case{Prompts::Answer::Yes, 1}}) {
        MainRig rig;
        rig.prompts.messageAnswers = {c.answer};
        rig.main->cmdE->click();
        ASSERT_EQ(rig.prompts.calls.size(), 1u);
        const Call& q = rig.prompts.calls[0];
        EXPECT_EQ(q.text, "Are you sure to exit program?");
        EXPECT_EQ(q.title, "EXIT PROGRAM");
        EXPECT_EQ(q.icon, Prompts::Icon::Critical);
        EXPECT_EQ(q.buttons, Prompts::Buttons::YesNo);
        EXPECT_EQ(rig.exits, c.exits);
    }
}

// What a key does, seen from outside: a prompt, a request on the line, a screen opened.
struct KeyCase {
    const char* name;
    int key;
    const char* text;
    std::function<bool(MainRig&)> happened;
};

bool promptWith(MainRig& rig, const QString& text) {
    for (const Call& c : rig.prompts.calls)
        if (c.text == text)
            return true;
    return false;
}

bool heardRequest(MainRig& rig, const QByteArray& request) {
    for (const QByteArray& r : rig.bus.heard())
        if (r == request)
            return true;
    return false;
}

class MainScreenKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(MainScreenKeys, TypedAnywhereRunsItsCommand) {
    MainRig rig;
    rig.prompts.messageAnswers = {Prompts::Answer::No};
    rig.prompts.inputAnswers = {std::nullopt};
    ASSERT_TRUE(rig.load());
    ASSERT_TRUE(rig.waitLink("GOOD"));
    frmMain& m = *rig.main;
    const KeyCase& c = GetParam();
    // Sent to a button, as if it had the focus: the form sees the key first.
    QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier, QString::fromLatin1(c.text));
    QCoreApplication::sendEvent(m.cmdShowLog, &press);
    EXPECT_TRUE(rig.waitFor([&] { return c.happened(rig); })) << c.name;
}

const auto exitAsked = [](MainRig& r) { return promptWith(r, ExitQuestion); };
const auto masterOn = [](MainRig& r) { return r.main->detector().MasterMode; };
const auto bitSent = [](MainRig& r) { return heardRequest(r, SendCommand(1, cmd::Bit)); };

INSTANTIATE_TEST_SUITE_P(
    Keys, MainScreenKeys,
    testing::Values(
        KeyCase{"b", Qt::Key_B, "b", bitSent}, KeyCase{"B", Qt::Key_B, "B", bitSent},
        KeyCase{"l", Qt::Key_L, "l", [](MainRig& r) { return promptWith(r, LogPeriodPrompt); }},
        KeyCase{"A", Qt::Key_A, "A", [](MainRig& r) { return r.opened.contains("newAddress"); }},
        KeyCase{"s", Qt::Key_S, "s", [](MainRig& r) { return r.opened.contains("setup"); }},
        KeyCase{"e", Qt::Key_E, "e", exitAsked}, KeyCase{"E", Qt::Key_E, "E", exitAsked},
        KeyCase{"Esc", Qt::Key_Escape, "", exitAsked},
        KeyCase{"EscText", Qt::Key_Escape, "\x1b", exitAsked},
        KeyCase{"h", Qt::Key_H, "h", masterOn}, KeyCase{"R", Qt::Key_R, "R", masterOn},
        KeyCase{"v", Qt::Key_V, "v", [](MainRig& r) { return promptWith(r, MissingLogText); }},
        KeyCase{"F11", Qt::Key_F11, "", [](MainRig& r) { return r.opened.contains("password"); }},
        KeyCase{"F12", Qt::Key_F12, "", [](MainRig& r) { return r.main->TuningMode; }}),
    [](const auto& i) { return std::string(i.param.name); });

TEST(MainScreen, MKeyOpensMaintenanceOnlyOnceUnlocked) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    QTest::keyClick(m.cmdBIT, Qt::Key_M);
    EXPECT_TRUE(rig.opened.isEmpty());
    EXPECT_TRUE(m.isVisible());

    m.unlockMaintenance();
    EXPECT_TRUE(m.cmdMaintenance->isVisible());
    EXPECT_TRUE(m.maintenanceUnlocked());
    QTest::keyClick(m.cmdBIT, Qt::Key_M);
    EXPECT_EQ(rig.opened, QStringList{"maintenance"});
    EXPECT_FALSE(m.isVisible());
}

TEST(MainScreen, ScreensOpenOnTheirReadAndTheMainScreenComesBack) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    ASSERT_TRUE(rig.waitLink("GOOD"));

    // Setup: the setup read, then the screen with the reply; closing it brings us back.
    m.cmdSetio->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.opened.contains("setup"); }));
    EXPECT_EQ(rig.setupReply.left(3), QByteArray::fromHex("010302"));
    EXPECT_FALSE(m.isVisible());
    EXPECT_TRUE(heardRequest(rig, ReadSetup(1, "Zorvan A2")));
    // The poll goes on behind the setup screen.
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 1); }));
    QWidget* setup = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "setup" && w->isVisible())
            setup = w;
    ASSERT_TRUE(setup);
    setup->close();
    EXPECT_TRUE(m.isVisible());

    // A setup screen that refuses the reply: the main screen stays.
    rig.setupRefuses = true;
    m.cmdSetio->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.opened.count("setup") == 2 && !m.commandBusy(); }));
    EXPECT_TRUE(m.isVisible());

    // New address after its presence read.
    m.cmdChangeAddr->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.opened.contains("newAddress"); }));
    EXPECT_FALSE(m.isVisible());
    EXPECT_TRUE(heardRequest(rig, ReadAddr(1)));
    m.screenClosed();
    EXPECT_TRUE(m.isVisible());

    // With the lamp red neither read is sent.
    SimFaults silent;
    silent.silent = true;
    rig.bus.sim().detector(1)->setFaults(silent);
    ASSERT_TRUE(rig.waitLink("BAD"));
    const size_t before = rig.bus.heard().size();
    m.cmdSetio_Click();
    m.cmdChangeAddr_Click();
    EXPECT_FALSE(m.commandBusy());
    rig.waitHeard([](const QByteArray&) { return true; }, 2);
    const auto heard = rig.bus.heard();
    for (size_t i = before; i < heard.size(); ++i)
        EXPECT_TRUE(isStatusTo(heard[i], 1));
}

TEST(MainScreen, ViewLogWithoutAFileSaysSoAndStays) {
    MainRig rig;
    rig.main->cmdShowLog->click();
    ASSERT_EQ(rig.prompts.calls.size(), 1u);
    EXPECT_EQ(rig.prompts.calls[0].title, "MISSING FILE");
    EXPECT_EQ(rig.prompts.calls[0].icon, Prompts::Icon::Critical);
    EXPECT_EQ(rig.prompts.calls[0].buttons, Prompts::Buttons::Ok);
    EXPECT_TRUE(rig.opened.isEmpty());
}

TEST(MainScreen, MaintenanceReplacesTheCycleAndClosingResumesThePoll) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    ASSERT_TRUE(rig.waitLink("GOOD"));
    m.unlockMaintenance();
    m.cmdMaintenance->click();
    EXPECT_FALSE(m.isVisible());
    // What the maintenance screen does: its own refresh takes the cycle.
    const QByteArray refresh = ReadInputs(1, "Zorvan A2");
    rig.worker->setCycle(Transaction{Pattern::Poll, refresh});
    ASSERT_TRUE(rig.waitHeard([&](const QByteArray& r) { return r == refresh; }, 2));
    EXPECT_EQ(m.lblCom->text(), "GOOD"); // its replies are not taken for status replies
    EXPECT_EQ(m.lblDetType->text(), "Zorvan A2");
    m.screenClosed();
    EXPECT_TRUE(m.isVisible());
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 1); }, 2));
}

TEST(MainScreen, ClosingWithAnExchangeInFlightIsSafe) {
    for (int i = 0; i < 3; ++i) {
        MainRig rig;
        ASSERT_TRUE(rig.load());
        ASSERT_TRUE(rig.waitLink("GOOD"));
        rig.main->cmdBIT_Click();
        rig.main->cmdSetio_Click();
        rig.main->unlockMaintenance();
        rig.main->cmdMaintenance_Click(); // a stand-in screen left open
        QTest::qWait(i * 7);
    }
}

} // namespace
} // namespace fh::test
