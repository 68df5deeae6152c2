// The main screen against the simulated bus: controls at start, the poll cycle's displays,
// master mode and address stepping, BIT, tuning, the keyboard and the hand-over to the
// screens it opens.
#include "detector/models.h"
#include "mainrig.h"
#include "screens/main/mainlayout.h"
#include "screens/maintenance/lampshape.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

namespace fh::test {
namespace {

bool isBit(const QByteArray& r) {
    return r == SendCommand(1, cmd::Bit);
}

TEST(MainScreen, ControlsAtStart) {
    MainRig rig;
    frmMain& m = *rig.main;
    // name|caption|tooltip; all visible but "&Maint".
    for (const QString& row :
         QString("cmdShowLog|&View log|Log file viewer;"
                 "cmdSearch|maste&R is OFF|Searching for an active detector;"
                 "cmdDown||Decrement address;cmdUp||Increment address;cmdMaintenance|&Maint|;"
                 "cmdChangeAddr|new &Address|Set new address;cmdBIT|&BIT|Perform manual BIT;"
                 "cmdSetio|&Setup|Setup screen;cmdLog|start &Loging|Log to file;cmdE|&Exit|Quit "
                 "program")
             .split(';')) {
        const QStringList c = row.split('|');
        auto* b = m.findChild<QPushButton*>(c[0]);
        ASSERT_TRUE(b) << qPrintable(c[0]);
        EXPECT_EQ(b->text(), c[1]) << qPrintable(c[0]);
        EXPECT_EQ(b->toolTip(), c[2]) << qPrintable(c[0]);
        EXPECT_EQ(b->isVisibleTo(&m), c[0] != "cmdMaintenance") << qPrintable(c[0]);
    }
    EXPECT_FALSE(m.cmdUp->icon().isNull() || m.cmdDown->icon().isNull());

    struct LabelCase {
        const char *name, *text;
        Rgb fg, bg;
        bool visible;
    };
    const Rgb peach = colour::LightPeach, blue = colour::Blue;
    for (const LabelCase& c : {LabelCase{"lblChooseAddr", "1", blue, peach, true},
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
                               {"lblSerial", "Serial No.", Black, TitleGrey, true}}) {
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
    EXPECT_EQ(m.findChild<LampShape*>("Shape1")->fillColor(), colour::White);
    EXPECT_EQ(m.Timer1->interval(), 60000);
    EXPECT_EQ(m.Timer2->interval(), 1000);
    EXPECT_FALSE(m.Timer1->isActive() || m.Timer2->isActive());
    EXPECT_TRUE(m.windowTitle().isEmpty());
}

TEST(MainScreen, FirstActivationPollsAddressOneAndShowsTheDetector) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
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

TEST(MainScreen, SilentOrShortReplyIsBadAndTheDetectorComesBackGood) {
    struct Case {
        SimFaults fault;
        bool fromStart; // no good poll ever: the title comes with a failed poll too
    };
    for (const Case& c : {Case{{.silent = true}, false}, Case{{.shortReply = 11}, true}}) {
        MainRig rig;
        frmMain& m = *rig.main;
        if (c.fromStart)
            rig.bus.sim().detector(1)->setFaults(c.fault);
        ASSERT_TRUE(rig.load());
        if (!c.fromStart) {
            ASSERT_TRUE(rig.waitLink("GOOD"));
            rig.bus.sim().detector(1)->setFaults(c.fault);
        }
        ASSERT_TRUE(rig.waitLink("BAD"));
        EXPECT_EQ(LabelTextColour(m.lblCom), colour::Red);
        EXPECT_EQ(m.Shape1->fillColor(), colour::Red);
        EXPECT_EQ(m.lblDetStatus->text(), "D");
        EXPECT_EQ(m.lblDetType->text(), "");
        EXPECT_EQ(m.lblserNum->text(), "");
        EXPECT_EQ(m.lblChooseAddr->text(), "1");
        EXPECT_EQ(m.windowTitle(), "Ostrix Q519300F June 2005 ");
        EXPECT_FALSE(m.linkGood());
        rig.silence(false);
        ASSERT_TRUE(rig.waitLink("GOOD"));
        EXPECT_EQ(m.lblDetType->text(), "Zorvan A2");
    }
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

    // Master mode off through its own button keeps the address found.
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
        quint8 shown;
    };
    for (const Case& c : {Case{1, false, 1}, Case{2, false, 1}, Case{247, true, 247},
                          Case{246, true, 247}, Case{1, true, 2}}) {
        m.setAddress(c.start);
        m.cmdSearch_Click();
        ASSERT_TRUE(m.detector().MasterMode);
        (c.up ? m.cmdUp : m.cmdDown)->click();
        EXPECT_EQ(m.lblChooseAddr->text(), QString::number(c.shown)) << int(c.start) << c.up;
        EXPECT_FALSE(m.detector().MasterMode);
        EXPECT_EQ(m.cmdSearch->text(), "maste&R is OFF");
        EXPECT_EQ(m.pollFrame(), SendCommand(c.shown, cmd::Status));
    }
}

TEST(MainScreen, BitShowsItsMessageOnlyOnItsOwnEchoAndHoldsThePolls) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;

    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    m.cmdBIT->click();
    QTest::qWait(200);
    EXPECT_EQ(rig.bus.count(isBit), 0) << "sent with the lamp red";
    rig.silence(false);
    ASSERT_TRUE(rig.waitLink("GOOD"));

    rig.bus.dropBit = true;
    m.cmdBIT->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.bus.count(isBit) == 1 && !m.commandBusy(); }));
    EXPECT_FALSE(m.lblBit->isVisible()) << "shown without a reply";
    EXPECT_TRUE(rig.waitPolls(3));

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
    const size_t afterBit =
        std::find_if(heard.rbegin(), heard.rend(), isBit).base() - heard.begin();
    EXPECT_EQ(rig.bus.count(isBit), 2);
    EXPECT_EQ(seenWhileShown, afterBit) << "requests sent while the BIT message showed";
    EXPECT_TRUE(rig.waitPolls(2));
}

TEST(MainScreen, TuningWithNoDetectorWalksTheDelaysAndGivesUpAfter23Failures) {
    MainRig rig(busWith(0, 0, 0));
    ASSERT_TRUE(rig.load());
    frmMain& m = *rig.main;
    ASSERT_TRUE(rig.waitLink("BAD"));
    const QByteArray before = rig.file("CommTune.txt");
    std::vector<int> delays; // the line's delay after each tuning poll
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
    EXPECT_EQ(rig.file("CommTune.txt"), before);
    std::vector<int> want;
    for (int ms = 5; ms <= 25; ++ms)
        want.push_back(ms);
    want.insert(want.end(), {4, 5});
    EXPECT_EQ(delays, want);
}

TEST(MainScreen, TuningWithAnAnsweringDetectorStoresTheDelay) {
    MainRig rig(steadyDefaultBus(), "7000\r\n9000\r\n");
    ASSERT_TRUE(rig.loadGood());
    frmMain& m = *rig.main;
    QTest::keyClick(m.cmdE, Qt::Key_F12); // whatever has the focus
    ASSERT_TRUE(rig.waitFor([&] { return !m.TuningMode; }));
    EXPECT_FALSE(m.lblF12->isVisible());
    EXPECT_EQ(m.TuningFailures, 0);
    EXPECT_EQ(rig.file("CommTune.txt"), QByteArray("7000\r\n"));
    EXPECT_TRUE(rig.waitPolls(2));
}

TEST(MainScreen, ExitAsksAndEndsOnlyOnYes) {
    for (const auto& [answer, exits] :
         {std::pair{Prompts::Answer::No, 0}, {Prompts::Answer::Yes, 1}}) {
        MainRig rig;
        rig.prompts.messageAnswers = {answer};
        rig.main->cmdE->click();
        EXPECT_EQ(rig.prompts.calls.size(), 1u);
        EXPECT_TRUE(OneMessage(rig.prompts, "Are you sure to exit program?", "EXIT PROGRAM",
                               Prompts::Icon::Critical, Prompts::Buttons::YesNo));
        EXPECT_EQ(rig.exits, exits);
    }
}

TEST(MainScreen, ViewLogWithoutAFileSaysSoAndStays) {
    MainRig rig;
    rig.main->cmdShowLog->click();
    EXPECT_EQ(rig.prompts.calls.size(), 1u);
    EXPECT_TRUE(OneMessage(rig.prompts, MissingLogText, "MISSING FILE"));
    EXPECT_TRUE(rig.opened.isEmpty());
}

bool promptWith(MainRig& rig, const QString& text) {
    return std::any_of(rig.prompts.calls.begin(), rig.prompts.calls.end(),
                       [&](const ScriptedPrompts::Call& c) { return c.text == text; });
}

TEST(MainScreen, KeysTypedAnywhereRunTheirCommands) {
    const auto exitAsked = [](MainRig& r) { return promptWith(r, ExitQuestion); };
    const auto masterOn = [](MainRig& r) { return r.main->detector().MasterMode; };
    const auto bitSent = [](MainRig& r) { return r.bus.count(isBit) > 0; };
    const auto opened = [](const char* name) {
        return [name](MainRig& r) { return r.opened.contains(name); };
    };
    struct KeyCase {
        int key;
        const char* text;
        std::function<bool(MainRig&)> happened;
    };
    for (const KeyCase& c :
         {KeyCase{Qt::Key_B, "b", bitSent},
          {Qt::Key_B, "B", bitSent},
          {Qt::Key_L, "l", [](MainRig& r) { return promptWith(r, LogPeriodPrompt); }},
          {Qt::Key_A, "A", opened("newAddress")},
          {Qt::Key_S, "s", opened("setup")},
          {Qt::Key_E, "e", exitAsked},
          {Qt::Key_E, "E", exitAsked},
          {Qt::Key_Escape, "", exitAsked},
          {Qt::Key_Escape, "\x1b", exitAsked},
          {Qt::Key_H, "h", masterOn},
          {Qt::Key_R, "R", masterOn},
          {Qt::Key_V, "v", [](MainRig& r) { return promptWith(r, MissingLogText); }},
          {Qt::Key_F11, "", opened("password")},
          {Qt::Key_F12, "", [](MainRig& r) { return r.main->TuningMode; }}}) {
        SCOPED_TRACE(std::to_string(c.key) + c.text);
        MainRig rig;
        rig.prompts.messageAnswers = {Prompts::Answer::No};
        rig.prompts.inputAnswers = {std::nullopt};
        ASSERT_TRUE(rig.loadGood());
        // Sent to a button, as if it had the focus: the form sees the key first.
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier, QString::fromLatin1(c.text));
        QCoreApplication::sendEvent(rig.main->cmdShowLog, &press);
        EXPECT_TRUE(rig.waitFor([&] { return c.happened(rig); }));
    }
}

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
    ASSERT_TRUE(rig.loadGood());
    frmMain& m = *rig.main;
    const auto heard = [&](const QByteArray& r) {
        return rig.bus.count([&](auto& x) { return x == r; });
    };

    m.cmdSetio->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.opened.contains("setup"); }));
    EXPECT_EQ(rig.setupReply.left(3), QByteArray::fromHex("010302"));
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(heard(ReadSetup(1, "Zorvan A2")), 1);
    EXPECT_TRUE(rig.waitPolls(1)) << "no poll behind the setup screen";
    QWidget* setup = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "setup" && w->isVisible())
            setup = w;
    ASSERT_TRUE(setup);
    setup->close();
    EXPECT_TRUE(m.isVisible());

    rig.setupRefuses = true;
    m.cmdSetio->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.opened.count("setup") == 2 && !m.commandBusy(); }));
    EXPECT_TRUE(m.isVisible());

    m.cmdChangeAddr->click();
    ASSERT_TRUE(rig.waitFor([&] { return rig.opened.contains("newAddress"); }));
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(heard(ReadAddr(1)), 1);
    m.screenClosed();
    EXPECT_TRUE(m.isVisible());

    // With the lamp red neither read is sent.
    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    const size_t before = rig.bus.heard().size();
    m.cmdSetio_Click();
    m.cmdChangeAddr_Click();
    EXPECT_FALSE(m.commandBusy());
    rig.waitHeard([](const QByteArray&) { return true; }, 2);
    const auto after = rig.bus.heard();
    for (size_t i = before; i < after.size(); ++i)
        EXPECT_TRUE(isStatusTo(after[i], 1));
}

TEST(MainScreen, MaintenanceReplacesTheCycleAndClosingResumesThePoll) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    frmMain& m = *rig.main;
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
    EXPECT_TRUE(rig.waitPolls(2));
}

TEST(MainScreen, ClosingWithAnExchangeInFlightIsSafe) {
    for (int i = 0; i < 3; ++i) {
        MainRig rig;
        ASSERT_TRUE(rig.loadGood());
        rig.main->cmdBIT_Click();
        rig.main->cmdSetio_Click();
        rig.main->unlockMaintenance();
        rig.main->cmdMaintenance_Click(); // a stand-in screen left open
        QTest::qWait(i * 7);
    }
}

} // namespace
} // namespace fh::test
