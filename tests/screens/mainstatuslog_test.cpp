// The status log as the main screen runs it: the period prompt, the switch and its notice,
// records at status changes and on the minute of the line's clock, the hidden main screen,
// and a file that refuses writes for a while. The records' bytes are the logging layer's.
#include "hostrig.h"
#include "link/clocktimer.h"
#include "screens/main/mainlayout.h"

#include <QLabel>
#include <QPushButton>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

const std::string Header =
    "\r\nAddr. Date        Time          Status   Serial No.\r\n" + std::string(70, '-') + "\r\n";

// One record at the rig's fixed time: address 1, 5/12/26, 4:27:37 AM.
std::string record(const char* status, const char* serial = "20417") {
    return std::string("1     5/12/26     4:27:37 AM    ") + status + "        " + serial + "\r\n";
}

TEST(MainStatusLog, ButtonPromptAndRecordsAtTheStartOnTheMinuteAndOnChanges) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    MainScreen& m = *rig.main;
    rig.prompts.inputAnswers = {QString("1")};
    rig.button("cmdLog")->click();
    ASSERT_EQ(rig.prompts.calls.size(), 1u);
    EXPECT_EQ(rig.prompts.calls[0].text, "Enter LogFile Period in minutes(1..255)");
    EXPECT_EQ(rig.button("cmdLog")->text(), "stop &Loging");
    EXPECT_EQ(rig.label("lblLogOn")->text(),
              "Saving detector's data to Ir3Log.txt every 1 minutes...");
    std::string want = Header + record("N");
    EXPECT_EQ(rig.log(), want);
    const auto written = [&](const std::string& next) {
        want += next;
        return WaitFor([&] { return rig.log() == want; });
    };

    // The minute runs on the line's clock, which the polls move on.
    ASSERT_TRUE(written(record("N")));
    rig.detector().setStatusChar('W');
    ASSERT_TRUE(written(record("W")));

    // Logging off and the main screen hidden: a change still writes, with a blank serial.
    rig.button("cmdLog")->click();
    EXPECT_FALSE(rig.model->statusLog().minuteRunning() ||
                 Find<ClockTimer>(rig.main.get(), "Timer2")->isActive());
    EXPECT_FALSE(rig.label("lblLogOn")->isVisible());
    m.hide();
    rig.detector().setStatusChar('A');
    ASSERT_TRUE(written(record("A", " ")));
    m.show();
    rig.detector().setStatusChar('N'); // visible and off: nothing
    ASSERT_TRUE(WaitFor([&] { return rig.model->link().record().StatusChar == 'N'; }));
    EXPECT_EQ(rig.log(), want);
}

TEST(MainStatusLog, AFileThatRefusesWritesWarnsInTheMessageLineAndLosesNothing) {
    MainRig rig; // not loaded: no detector shown, the link counts as bad
    MainScreen& m = *rig.main;
    m.show();
    rig.prompts.inputAnswers = {QString("1")};
    rig.button("cmdLog")->click();
    ASSERT_EQ(rig.log(), Header);

    rig.model->statusLog().log().file().setAppender(
        [&](const QString&, const QByteArray&, QString* why) {
            if (why)
                *why = "Read-only file system";
            return qint64(0);
        });
    rig.model->statusLog().minuteTick();
    rig.model->statusLog().minuteTick();
    EXPECT_TRUE(rig.label("lblNotice")->text().contains("Ir3Log.txt"))
        << qPrintable(rig.label("lblNotice")->text());
    EXPECT_EQ(rig.log(), Header);
    EXPECT_EQ(rig.prompts.calls.size(), 1u) << "a message box besides the period prompt";

    // Leaving now would lose them: Exit and the close box ask both questions, and staying keeps
    // them.
    rig.prompts.messageAnswers = {Prompts::Answer::Yes, Prompts::Answer::Cancel,
                                  Prompts::Answer::Yes, Prompts::Answer::Cancel};
    rig.button("cmdE")->click();
    EXPECT_FALSE(m.close());
    EXPECT_EQ(rig.exits, 0);
    EXPECT_EQ(rig.prompts.callsOf(Call::Message).size(), 4u);
    EXPECT_EQ(rig.prompts.callsOf(Call::Message)[2].text, ExitQuestion);
    EXPECT_TRUE(rig.prompts.calls.back().text.contains("could not be written to Ir3Log.txt"));

    // Writable again: the kept records go out on the retry timer.
    rig.model->statusLog().log().file().setAppender({});
    rig.advanceMs(TimedLog::RetryMs);
    ASSERT_TRUE(WaitFor([&] { return rig.log() == Header + record("D", "") + record("D", ""); }));
    EXPECT_EQ(rig.model->statusLog().log().file().pendingBlocks(), 0);
}

TEST(MainStatusLog, NoticeBlinksKeepingItsPhaseAndARefusedOrCancelledPeriodStartsNothing) {
    MainRig rig;
    rig.prompts.inputAnswers = {QString("3"), QString("3"), QString("300"), std::nullopt};
    rig.button("cmdLog")->click();
    for (Rgb want : {LightGreen, colour::White, LightGreen}) {
        rig.advanceMs(MainScreen::BlinkMs);
        ASSERT_TRUE(WaitFor([&] { return LabelBackground(rig.label("lblLogOn")) == want; }));
    }
    rig.button("cmdLog")->click(); // stop and start again: the phase goes on
    rig.button("cmdLog")->click();
    rig.advanceMs(MainScreen::BlinkMs);
    EXPECT_TRUE(WaitFor([&] { return LabelBackground(rig.label("lblLogOn")) == colour::White; }));

    // Stopped, a refused period starts nothing and says why; Cancel says nothing.
    rig.button("cmdLog")->click();
    const std::string log = rig.log();
    for (int i = 0; i < 2; ++i) {
        rig.button("cmdLog")->click();
        EXPECT_FALSE(rig.model->statusLog().running());
        EXPECT_EQ(rig.model->statusLog().period(), 3);
        EXPECT_EQ(rig.button("cmdLog")->text(), "start &Loging");
        EXPECT_EQ(rig.log(), log);
        EXPECT_EQ(rig.prompts.callsOf(Call::Message).size(), 1u);
    }
}

} // namespace
} // namespace fh::test
