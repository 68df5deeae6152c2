// The main screen on the host model against the simulated bus: the poll cycle's displays,
// master mode and address stepping, BIT, tuning, the message line, the keyboard and the
// hand-over to the screens it opens.
#include "detector/models.h"
#include "hostrig.h"
#include "screens/common/lampshape.h"
#include "screens/main/mainlayout.h"

#include <numeric>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace fh::test {
namespace {

bool isBit(const QByteArray& r) {
    return r == SendCommand(1, cmd::Bit);
}

TEST(MainScreen, FirstActivationPollsAddressOneAndShowsTheDetector) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    const auto heard = rig.bus.heard(); // the first request is the status command to 1
    ASSERT_GE(heard.size(), 2u);
    EXPECT_TRUE(isStatusTo(heard[0], 1));
    EXPECT_EQ(Find<LampShape>(rig.main.get(), "Shape1")->fillColor(), colour::Green);
    EXPECT_EQ(rig.label("lblDetType")->text(), "Zorvan A2");
    EXPECT_EQ(rig.label("lblserNum")->text(), "20417");
    EXPECT_EQ(rig.label("lblDetStatus")->text(), "N");
    EXPECT_TRUE(rig.label("lblCom")->toolTip().startsWith("Communication Status\n01 C8"));
    // The decode's own tests cover every status; here the display reaches the labels.
    rig.detector().setStatusChar('W');
    rig.detector().setFaultFlag(1);
    EXPECT_TRUE(WaitFor([&] { return rig.label("lblDetStatus")->text() == "f"; }));
    EXPECT_EQ(LabelBackground(rig.label("lblDetStatus")), colour::Yellow);
}

// Which replies are no answer is the reply check's; here one of them reaches the screen.
TEST(MainScreen, SilenceEmptiesTheDetectorAndItsAnswerBringsItBack) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    EXPECT_EQ(Find<LampShape>(rig.main.get(), "Shape1")->fillColor(), colour::Red);
    EXPECT_EQ(rig.label("lblDetStatus")->text(), "D");
    EXPECT_EQ(rig.label("lblDetType")->text(), "");
    EXPECT_EQ(rig.label("lblserNum")->text(), "");
    EXPECT_EQ(rig.label("lblChooseAddr")->text(), "1");
    EXPECT_FALSE(rig.model->link().record().LinkGood);
    rig.silence(false);
    ASSERT_TRUE(rig.waitLink("GOOD"));
    EXPECT_EQ(rig.label("lblDetType")->text(), "Zorvan A2");
}

// Each poll that brings something new redraws the screen once; the same answer again, or the
// same silence, redraws nothing.
TEST(MainScreen, OnlyAPollThatBringsSomethingNewRedrawsTheScreen) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    int redraws = 0;
    QObject::connect(&rig.model->link(), &DetectorLink::changed, rig.main.get(),
                     [&] { ++redraws; });
    const struct {
        const char* what;
        std::function<void()> act;
        int redraws;
        const char* status;
    } steps[] = {
        {"steady", [] {}, 0, "N"},
        {"warning", [&] { rig.detector().setStatusChar('W'); }, 1, "W"},
        {"silent", [&] { rig.silence(true); }, 1, "D"},
        {"back", [&] { rig.silence(false); }, 1, "W"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        redraws = 0;
        s.act();
        ASSERT_TRUE(rig.waitPolls(3));
        EXPECT_EQ(redraws, s.redraws);
        EXPECT_EQ(rig.label("lblDetStatus")->text(), s.status);
        redraws = 0;
        ASSERT_TRUE(rig.waitPolls(3));
        EXPECT_EQ(redraws, 0) << "the same again";
    }
}

// The message line shows the newest message; a state replaces its own earlier one.
TEST(MainScreen, MessageLineShowsTheNewestAndAStateReplacesItsOwn) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    QLabel* line = rig.label("lblNotice");
    EXPECT_TRUE(line->wordWrap());
    rig.model->messages().add("04:00:00", "an older message");
    for (bool present : {false, true, false}) {
        rig.port->setPresent(present);
        ASSERT_TRUE(rig.waitLink(present ? "GOOD" : "BAD"));
        ASSERT_TRUE(
            WaitFor([&] { return line->text().contains(present ? "is back" : "No such device"); }));
    }
    // A second unplug replaces the "is back" of the first: no stale state anywhere.
    EXPECT_EQ(line->text(), "04:27:37  virtual: No such device");
    EXPECT_EQ(line->toolTip(), "04:00:00  an older message");
}

TEST(MainScreen, MasterModeTakesTheAddressFromTheReplyAndSteppingEndsIt) {
    MainRig rig(busWith(17, 113, 1203));
    ASSERT_TRUE(rig.load());
    ASSERT_TRUE(rig.waitLink("BAD")); // nobody at 1

    rig.button("cmdSearch")->click();
    EXPECT_EQ(rig.button("cmdSearch")->text(), "maste&R is ON");
    ASSERT_TRUE(WaitFor([&] { return rig.label("lblChooseAddr")->text() == "17"; }));
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 0); }));
    EXPECT_EQ(rig.label("lblDetType")->text(), "Zorvan A1");

    rig.button("cmdUp")->click();
    EXPECT_EQ(rig.label("lblChooseAddr")->text(), "18");
    EXPECT_EQ(rig.button("cmdSearch")->text(), "maste&R is OFF");
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 18); }));
    ASSERT_TRUE(rig.waitLink("BAD"));
    EXPECT_EQ(rig.label("lblChooseAddr")->text(), "18"); // a failed poll keeps the address

    // Master mode off through its own button keeps the address found.
    rig.button("cmdSearch")->click();
    ASSERT_TRUE(WaitFor([&] { return rig.label("lblChooseAddr")->text() == "17"; }));
    rig.button("cmdSearch")->click();
    EXPECT_TRUE(rig.waitHeard([](const QByteArray& r) { return isStatusTo(r, 17); }));
}

TEST(MainScreen, AddressKeysStepWithinTheBoundsAndEndMasterMode) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    // From an address, a key (0: the up button, 1: the down button) shows an address.
    for (const auto& [start, key, shown] : {std::tuple{1, 1, 1},
                                            {2, 1, 1},
                                            {247, 0, 247},
                                            {246, 0, 247},
                                            {1, Qt::Key_Up, 2},
                                            {5, Qt::Key_Down, 4},
                                            {240, Qt::Key_PageUp, 247},
                                            {20, Qt::Key_PageUp, 30},
                                            {5, Qt::Key_PageDown, 1},
                                            {30, Qt::Key_PageDown, 20}}) {
        SCOPED_TRACE(testing::Message() << start << " key " << key);
        rig.model->link().setAddress(quint8(start));
        rig.button("cmdSearch")->click();
        ASSERT_TRUE(rig.model->link().record().MasterMode);
        if (key > 1)
            QTest::keyClick(rig.button("cmdE"), Qt::Key(key)); // whatever has the focus
        else
            (key == 0 ? rig.button("cmdUp") : rig.button("cmdDown"))->click();
        EXPECT_EQ(rig.label("lblChooseAddr")->text(), QString::number(shown));
        EXPECT_FALSE(rig.model->link().record().MasterMode);
        EXPECT_EQ(rig.model->link().pollFrame(), SendCommand(quint8(shown), cmd::Status));
    }
    QTest::keyClick(rig.button("cmdBIT"), Qt::Key_M);
    EXPECT_TRUE(rig.opened.isEmpty()) << "M opened maintenance while locked";
    EXPECT_EQ(rig.exits, 0);
    EXPECT_TRUE(rig.prompts.calls.empty()) << "an arrow key reached Exit";
    // The arrow buttons are in the Tab order.
    for (QPushButton* b : {rig.button("cmdUp"), rig.button("cmdDown")})
        EXPECT_TRUE(b->focusPolicy() & Qt::TabFocus) << b->objectName().toStdString();
}

// Exit itself asks, and ends only on Yes; the close box asks the same question.
TEST(MainScreen, ExitAndTheCloseBoxAskFirst) {
    MainRig rig;
    ASSERT_TRUE(rig.load());
    MainScreen& m = *rig.main;
    rig.prompts.messageAnswers = {Prompts::Answer::No, Prompts::Answer::Yes};
    rig.button("cmdE")->click();
    EXPECT_TRUE(OneMessage(rig.prompts, "Are you sure to exit program?", "EXIT PROGRAM",
                           Prompts::Icon::Critical, Prompts::Buttons::YesNo));
    EXPECT_EQ(rig.exits, 0);
    rig.button("cmdE")->click();
    EXPECT_EQ(rig.exits, 1);
    rig.prompts.messageAnswers = {Prompts::Answer::No, Prompts::Answer::Yes};
    EXPECT_FALSE(m.close());
    EXPECT_EQ(rig.prompts.calls.back().text, ExitQuestion);
    EXPECT_EQ(rig.exits, 1);
    EXPECT_TRUE(m.close());
    EXPECT_EQ(rig.exits, 2);
}

TEST(MainScreen, BitShowsItsMessageOnlyOnItsOwnEchoAndHoldsThePolls) {
    MainRig rig;
    ASSERT_TRUE(rig.load());

    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    rig.button("cmdBIT")->click();
    EXPECT_TRUE(rig.waitPolls(2));
    EXPECT_EQ(rig.bus.count(isBit), 0) << "sent with the lamp red";
    rig.silence(false);
    ASSERT_TRUE(rig.waitLink("GOOD"));

    rig.bus.dropBit = true;
    rig.button("cmdBIT")->click();
    ASSERT_TRUE(
        WaitFor([&] { return rig.bus.count(isBit) == 1 && !rig.model->commands().busy(); }));
    EXPECT_FALSE(rig.label("lblBit")->isVisible()) << "shown without a reply";
    EXPECT_TRUE(rig.waitPolls(3));

    rig.bus.dropBit = false;
    rig.button("cmdBIT")->click();
    ASSERT_TRUE(WaitFor([&] { return rig.label("lblBit")->isVisible(); }));
    EXPECT_EQ(rig.label("lblBit")->text(), "BIT is performed!");
    rig.button("cmdBIT")->click(); // a second BIT during the message is not taken
    const size_t heardAtMessage = rig.bus.heard().size();
    rig.advanceMs(3900);
    EXPECT_TRUE(rig.label("lblBit")->isVisible());
    EXPECT_EQ(rig.bus.heard().size(), heardAtMessage) << "requests while the message showed";
    rig.advanceMs(100);
    EXPECT_TRUE(WaitFor([&] { return !rig.label("lblBit")->isVisible(); }));
    EXPECT_EQ(rig.bus.count(isBit), 2);
    EXPECT_TRUE(rig.waitPolls(2));
}

std::unique_ptr<SimBus> fiveAndSeven() {
    auto bus = std::make_unique<SimBus>();
    bus->add(5, 113, 500)->setStatusChar('N');
    bus->add(7, 117, 700)->setStatusChar('N');
    return bus;
}

// Nothing 5 said stands under 7, and 7 is polled at once: Up Up while the BIT message shows,
// and while the BIT is still on its way.
TEST(MainScreen, SteppingAwayEmptiesWhatTheOldAddressSaidUntilTheNewOneAnswers) {
    for (bool messageShown : {true, false}) {
        SCOPED_TRACE(messageShown);
        MainRig rig(fiveAndSeven());
        rig.model->link().setAddress(5);
        ASSERT_TRUE(rig.loadGood());
        MainScreen& m = *rig.main;
        rig.button("cmdBIT")->click();
        ASSERT_TRUE(!messageShown || WaitFor([&] { return rig.label("lblBit")->isVisible(); }));
        QTest::keyClick(&m, Qt::Key_Up);
        QTest::keyClick(&m, Qt::Key_Up);
        EXPECT_EQ(rig.label("lblChooseAddr")->text() + rig.label("lblDetType")->text() +
                      rig.label("lblserNum")->text() + rig.label("lblCom")->text() +
                      rig.label("lblDetStatus")->text(),
                  "7D");
        EXPECT_EQ(Find<LampShape>(rig.main.get(), "Shape1")->fillColor(), colour::White);
        EXPECT_FALSE(rig.label("lblBit")->isVisible() || rig.button("cmdBIT")->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return rig.label("lblserNum")->text() == "700"; }));
        EXPECT_FALSE(rig.label("lblBit")->isVisible());
        // A BIT answered after the step is told with its own address.
        EXPECT_EQ(rig.model->messages().contains("Address 5: BIT is performed!"), !messageShown);
    }
}

// The second line of a command button's tooltip: why it is disabled.
QString why(const QPushButton* b) {
    return b->toolTip().section('\n', 1);
}

TEST(MainScreen, CommandsThatCannotActAreDisabledAndEveryOutcomeIsSaid) {
    MainRig rig;
    MainScreen& m = *rig.main;
    const auto newest = [&] { return rig.label("lblNotice")->text().section("  ", 1); };
    EXPECT_EQ(why(rig.button("cmdSetio")), "Waiting for address 1 to answer.");
    ASSERT_TRUE(rig.loadGood());
    EXPECT_TRUE(rig.button("cmdBIT")->isEnabled() && rig.button("cmdSetio")->isEnabled() &&
                rig.button("cmdChangeAddr")->isEnabled());
    EXPECT_EQ(rig.button("cmdBIT")->toolTip(), "Perform manual BIT");

    rig.bus.dropBit = true;
    rig.button("cmdBIT")->click();
    EXPECT_EQ(why(rig.button("cmdChangeAddr")), "The BIT is running.");
    ASSERT_TRUE(WaitFor([&] { return rig.button("cmdBIT")->isEnabled(); }));
    EXPECT_EQ(newest(), "No answer from address 1 to BIT");

    // On a detector that shows a fault, BIT says what the detector answered.
    rig.bus.dropBit = false;
    rig.detector().setFaultFlag(1);
    ASSERT_TRUE(WaitFor([&] { return rig.label("lblDetStatus")->text() == "f"; }));
    rig.button("cmdBIT")->click();
    ASSERT_TRUE(WaitFor([&] { return rig.label("lblBit")->isVisible(); }));
    EXPECT_EQ(rig.label("lblBit")->text(), "BIT is performed! Answer: 01 4E 00");
    EXPECT_EQ(newest(), "BIT at address 1, which shows a fault: the detector answered 01 4E 00");
    rig.advanceMs(DetectorCommands::BitMessageMs);
    ASSERT_TRUE(WaitFor([&] { return rig.button("cmdBIT")->isEnabled(); }));

    // A write some screen has on the line (here one that nobody answers, six attempts).
    QStringList duringWrite; // the reason shown at each attempt
    QObject context;
    QObject::connect(rig.worker.get(), &LineWorker::writeAttempt, &context,
                     [&] { duringWrite << why(rig.button("cmdSetio")); });
    LineWatch watch(*rig.worker);
    rig.worker->submit(Transaction{Pattern::ConfirmedWrite, WriteAddr(99, 5)});
    ASSERT_TRUE(WaitFor([&] { return !watch.commands.empty(); }));
    EXPECT_EQ(duringWrite, QStringList(6, "A write to the detector is running."));
    EXPECT_TRUE(rig.button("cmdSetio")->isEnabled());

    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    EXPECT_EQ(why(rig.button("cmdBIT")), "No answer from address 1: the lamp is not green.");
    QTest::keyClick(&m, Qt::Key_S); // a key still reaches a disabled command: it says why
    EXPECT_EQ(newest(), "Setup not sent: No answer from address 1: the lamp is not green.");
    rig.port->setPresent(false);
    EXPECT_TRUE(WaitFor([&] {
        return why(rig.button("cmdBIT")) ==
               "The line is lost: nothing can be sent until the port is back.";
    }));

    // Master mode with several detectors answering (the default bus) names the cause.
    rig.port->setPresent(true);
    rig.silence(false);
    rig.button("cmdSearch")->click();
    const QString many = "Master mode: more than one detector answers.";
    ASSERT_TRUE(WaitFor([&] { return rig.model->messages().contains(many); }));
    rig.button("cmdSearch")->click();
    EXPECT_FALSE(rig.model->messages().contains(many));
}

TEST(MainScreen, TuningWithNoDetectorWalksTheDelaysGivesUpAfter23FailuresAndSaysSo) {
    MainRig rig(std::make_unique<SimBus>());
    ASSERT_TRUE(rig.load());
    MainScreen& m = *rig.main;
    ASSERT_TRUE(rig.waitLink("BAD"));
    const QByteArray before = rig.file("CommTune.txt");
    std::vector<int> delays; // the line's delay after each tuning poll
    QObject context;
    QObject::connect(rig.worker.get(), &LineWorker::commandDone, &context, [&](const Exchange& x) {
        if (x.pattern == Pattern::Poll)
            delays.push_back(rig.worker->turnaroundDelay() / 1000);
    });

    QTest::keyClick(&m, Qt::Key_F12);
    EXPECT_TRUE(rig.label("lblF12")->isVisible());
    ASSERT_TRUE(WaitFor([&] { return !rig.model->tuning().running(); }));
    EXPECT_FALSE(rig.label("lblF12")->isVisible());
    EXPECT_EQ(rig.model->tuning().failures(), 23);
    EXPECT_EQ(rig.file("CommTune.txt"), before);
    std::vector<int> want(21);
    std::iota(want.begin(), want.end(), 5);
    want.insert(want.end(), {4, 5});
    EXPECT_EQ(delays, want);
    EXPECT_EQ(rig.label("lblNotice")->text(),
              "04:27:37  No delay from 4000 to 25000 µs got an answer; the "
              "delay stays 5000 µs");
}

TEST(MainScreen, TuningWithAnAnsweringDetectorStoresTheDelayAndSaysSo) {
    MainRig rig(steadyDefaultBus(), "7000\r\n9000\r\n");
    ASSERT_TRUE(rig.loadGood());
    QTest::keyClick(rig.button("cmdE"), Qt::Key_F12); // whatever has the focus
    ASSERT_TRUE(WaitFor([&] { return !rig.model->tuning().running(); }));
    EXPECT_FALSE(rig.label("lblF12")->isVisible());
    EXPECT_EQ(rig.model->tuning().failures(), 0);
    EXPECT_EQ(rig.file("CommTune.txt"), QByteArray("7000\r\n"));
    EXPECT_EQ(rig.label("lblNotice")->text(), "04:27:37  Turnaround delay set to 7000 µs");
    EXPECT_TRUE(rig.waitPolls(2));
}

bool promptWith(MainRig& rig, const QString& text) {
    return std::any_of(rig.prompts.calls.begin(), rig.prompts.calls.end(),
                       [&](const ScriptedPrompts::Call& c) { return c.text == text; });
}

TEST(MainScreen, KeysTypedAnywhereRunTheirCommands) {
    const auto exitAsked = [](MainRig& r) { return promptWith(r, ExitQuestion); };
    const auto masterOn = [](MainRig& r) { return r.model->link().record().MasterMode; };
    const auto bitSent = [](MainRig& r) { return r.bus.count(isBit) > 0; };
    const auto opened = [](const char* name) {
        return [name](MainRig& r) { return r.opened.contains(name); };
    };
    // A key, its text, the button it is sent to, and what then happens.
    using KeyCase = std::tuple<int, const char*, const char*, std::function<bool(MainRig&)>>;
    for (const auto& [key, text, focus, happened] :
         {KeyCase{Qt::Key_B, "b", "cmdShowLog", bitSent},
          {Qt::Key_L, "l", "cmdShowLog", [](MainRig& r) { return promptWith(r, LogPeriodPrompt); }},
          {Qt::Key_A, "A", "cmdShowLog", opened("newAddress")},
          {Qt::Key_S, "s", "cmdShowLog", opened("setup")},
          {Qt::Key_E, "e", "cmdShowLog", exitAsked},
          {Qt::Key_Escape, "\x1b", "cmdShowLog", exitAsked},
          {Qt::Key_H, "h", "cmdShowLog", masterOn},
          {Qt::Key_R, "R", "cmdShowLog", masterOn},
          {Qt::Key_V, "v", "cmdShowLog", // no log file: said so, nothing opened
           [](MainRig& r) { return promptWith(r, MissingLogText) && r.opened.isEmpty(); }},
          {Qt::Key_F11, "", "cmdShowLog", opened("password")},
          {Qt::Key_F12, "", "cmdShowLog", [](MainRig& r) { return r.model->tuning().running(); }},
          {Qt::Key_M, "m", "cmdShowLog", opened("maintenance")}, // once unlocked
          // Enter presses the button that has the focus (one mechanism for every button).
          {Qt::Key_Return, "\r", "cmdBIT", bitSent},
          {Qt::Key_Enter, "\r", "cmdE", exitAsked}}) {
        SCOPED_TRACE(std::to_string(key) + text);
        MainRig rig;
        rig.prompts.messageAnswers = {Prompts::Answer::No};
        rig.prompts.inputAnswers = {std::nullopt};
        ASSERT_TRUE(rig.loadGood());
        if (key == Qt::Key_M) {
            rig.model->maintenanceGate().enter(MaintenancePassword);
            EXPECT_TRUE(rig.button("cmdMaintenance")->isVisible());
        }
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QCoreApplication::sendEvent(rig.button(focus), &press);
        EXPECT_TRUE(WaitFor([&] { return happened(rig); }));
    }
}

TEST(MainScreen, ScreensOpenOnTheirReadAndTheMainScreenComesBack) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    MainScreen& m = *rig.main;
    for (const auto& [button, name, read] :
         {std::tuple{rig.button("cmdSetio"), "setup", ReadSetup(1, "Zorvan A2")},
          {rig.button("cmdChangeAddr"), "newAddress", ReadAddr(1)}}) {
        button->click();
        ASSERT_TRUE(WaitFor([&] { return rig.opened.contains(name); }));
        EXPECT_FALSE(m.isVisible());
        EXPECT_EQ(rig.bus.count([&](const QByteArray& r) { return r == read; }), 1) << name;
        EXPECT_TRUE(rig.waitPolls(1)) << "no poll behind " << name;
        rig.model->screenClosed();
        EXPECT_TRUE(m.isVisible());
    }
    ASSERT_TRUE(rig.setupOpening.snapshot);
    EXPECT_EQ(rig.setupOpening.snapshot->reply.left(3), hex("01 03 02"));
    rig.setupRefuses = true;
    rig.button("cmdSetio")->click();
    ASSERT_TRUE(
        WaitFor([&] { return rig.opened.count("setup") == 2 && !rig.model->commands().busy(); }));
    EXPECT_TRUE(m.isVisible());
}

TEST(MainScreen, WithTheLampRedNeitherReadIsSent) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    const size_t before = rig.bus.heard().size();
    rig.model->commands().requestSetupRead();
    rig.model->commands().requestAddressRead();
    EXPECT_FALSE(rig.model->commands().busy());
    rig.waitHeard([](const QByteArray&) { return true; }, 2);
    const auto after = rig.bus.heard();
    for (size_t i = before; i < after.size(); ++i)
        EXPECT_TRUE(isStatusTo(after[i], 1));
}

// Closed with an exchange in flight and a screen open: nothing of the screens listens to the
// line any more, no screen outlives the main screen, and the line stops at once.
TEST(MainScreen, ClosedWithAnExchangeInFlightLeavesNothingBehind) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    rig.model->commands().requestBit();
    rig.model->commands().requestSetupRead();
    rig.model->maintenanceGate().enter(MaintenancePassword);
    rig.button("cmdMaintenance")->click();
    rig.main.reset();
    rig.model.reset();
    const LineWorker* w = rig.worker.get();
    EXPECT_FALSE(QObject::disconnect(w, &LineWorker::commandDone, nullptr, nullptr));
    EXPECT_FALSE(QObject::disconnect(w, &LineWorker::cycleDone, nullptr, nullptr));
    rig.worker->stop();
    EXPECT_TRUE(rig.worker->isFinished());
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_NE(w->objectName(), "maintenance") << "a screen outlived the main screen";
}

} // namespace
} // namespace fh::test
