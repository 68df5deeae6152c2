// The status log as the main screen runs it: the period prompt, captions and notice, the file
// byte for byte (en_US, a fixed time), records at status changes and minute ticks, the hidden
// main screen, the bad link, and a file that refuses writes for a while.
#include "logging/logperiod.h"
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

TEST(MainStatusLog, StartWith15WritesTheHeaderAndARecordAtOnce) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    frmMain& m = *rig.main;
    rig.prompts.inputAnswers = {QString("15")};
    m.cmdLog->click();

    const auto inputs = rig.prompts.callsOf(Call::Input);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].text, "Enter LogFile Period in minutes(1..255)");
    EXPECT_EQ(inputs[0].defaultText, "15");
    EXPECT_EQ(m.cmdLog->text(), "stop &Loging");
    EXPECT_TRUE(m.lblLogOn->isVisible());
    EXPECT_EQ(m.lblLogOn->text(), "Saving detector's data to Ir3Log.txt every 15 minutes...");
    EXPECT_TRUE(rig.model->statusLogTimer()->isActive() && m.Timer2->isActive());
    EXPECT_EQ(rig.log(), Header + record("N"));

    m.cmdLog->click();
    EXPECT_EQ(m.cmdLog->text(), "start &Loging");
    EXPECT_FALSE(m.lblLogOn->isVisible());
    EXPECT_FALSE(rig.model->statusLogTimer()->isActive() || m.Timer2->isActive());
    EXPECT_FALSE(rig.model->statusLog().LoggingOn());
    EXPECT_EQ(rig.log(), Header + record("N"));
}

TEST(MainStatusLog, PeriodAnswers) {
    struct Case {
        std::optional<QString> answer;
        int period; // 0: logging does not start
        bool refusedMessage;
    };
    for (const Case& c : {Case{"2.5", 2, false}, Case{"3.5", 4, false},
                          Case{" 7 minutes", 7, false}, Case{"0.4", 0, true}, Case{"abc", 0, true},
                          Case{"300", 0, true}, Case{std::nullopt, 0, false}, Case{"", 0, false}}) {
        SCOPED_TRACE(c.answer.value_or("<cancel>").toStdString());
        MainRig rig; // not loaded: no reply yet, so no record at the start
        rig.prompts.inputAnswers = {c.answer};
        rig.main->cmdLog_Click();
        EXPECT_EQ(rig.model->statusLog().LoggingOn(), c.period > 0);
        EXPECT_EQ(rig.model->statusLog().LogPeriod(), c.period);
        EXPECT_EQ(rig.log(), c.period > 0 ? Header : "");
        const auto messages = rig.prompts.callsOf(Call::Message);
        ASSERT_EQ(messages.size(), c.refusedMessage ? 1u : 0u);
        if (c.refusedMessage) {
            EXPECT_EQ(messages[0].text, PeriodRangeMessage);
        }
        EXPECT_EQ(rig.main->lblLogOn->isVisibleTo(rig.main.get()), c.period > 0);
    }
}

TEST(MainStatusLog, RefusedPeriodAfterARunKeepsThePeriodAndStartsNothing) {
    MainRig rig;
    frmMain& m = *rig.main;
    rig.prompts.inputAnswers = {QString("5"), QString("300")};
    m.cmdLog_Click();
    m.cmdLog_Click(); // stop
    m.cmdLog_Click(); // 300
    EXPECT_FALSE(rig.model->statusLog().LoggingOn());
    EXPECT_EQ(rig.model->statusLog().LogPeriod(), 5);
    EXPECT_EQ(m.cmdLog->text(), "start &Loging");
    EXPECT_EQ(rig.log(), Header);
}

TEST(MainStatusLog, RecordsAtTicksStatusChangesHiddenScreenAndBadLink) {
    MainRig rig;
    ASSERT_TRUE(rig.loadGood());
    frmMain& m = *rig.main;
    auto showStatus = [&](char c) {
        rig.bus.sim().detector(1)->setStatusChar(c);
        return rig.waitFor([&] { return rig.model->detector().StatusChar == quint8(c); });
    };
    std::string want = Header + record("N");

    rig.prompts.inputAnswers = {QString("1")};
    m.cmdLog_Click();
    rig.model->statusLogMinute(); // period 1: every minute
    want += record("N");
    ASSERT_TRUE(showStatus('W'));
    want += record("W");
    rig.model->statusLogMinute();
    want += record("W");
    ASSERT_TRUE(showStatus('5')); // remembered, not logged
    ASSERT_TRUE(showStatus('N'));
    want += record("N");
    EXPECT_EQ(rig.log(), want);

    // Logging off and the main screen hidden: a change still writes, with a blank serial.
    m.cmdLog_Click();
    m.hide();
    ASSERT_TRUE(showStatus('A'));
    want += record("A", " ");
    rig.model->screenClosed();
    ASSERT_TRUE(showStatus('N')); // visible and off: nothing
    EXPECT_EQ(rig.log(), want);

    // A second start with the link bad: a second header, then "D" with an empty serial.
    rig.silence(true);
    ASSERT_TRUE(rig.waitLink("BAD"));
    rig.prompts.inputAnswers = {QString("2")};
    m.cmdLog_Click();
    want += Header + record("D", "");
    rig.model->statusLogMinute();
    EXPECT_EQ(rig.log(), want) << "written on the first of two minutes";
    rig.model->statusLogMinute();
    want += record("D", "");
    EXPECT_EQ(rig.log(), want);
}

TEST(MainStatusLog, AFileThatRefusesWritesWarnsOnceAndLosesNothing) {
    MainRig rig; // not loaded: no detector shown, the link counts as bad
    frmMain& m = *rig.main;
    m.show();
    rig.prompts.inputAnswers = {QString("1")};
    m.cmdLog_Click();
    ASSERT_EQ(rig.log(), Header);

    int attempts = 0;
    rig.model->statusLog().file().setAppender([&](const QString&, const QByteArray&, QString* why) {
        ++attempts;
        if (why)
            *why = "Read-only file system";
        return qint64(0);
    });
    rig.model->statusLogMinute();
    rig.model->statusLogMinute();
    EXPECT_GT(attempts, 0);
    EXPECT_TRUE(m.lblNotice->text().contains("Ir3Log.txt")) << qPrintable(m.lblNotice->text());
    EXPECT_EQ(rig.log(), Header);
    EXPECT_EQ(rig.prompts.calls.size(), 1u) << "a message box besides the period prompt";

    rig.model->statusLog().file().setAppender({}); // writable again
    rig.model->statusLogMinute();
    EXPECT_EQ(rig.log(), Header + record("D", "") + record("D", "") + record("D", ""));
    EXPECT_EQ(rig.model->statusLog().file().pendingBlocks(), 0);
}

TEST(MainStatusLog, NoticeBlinksLightGreenFirstAndKeepsItsPhase) {
    MainRig rig;
    frmMain& m = *rig.main;
    rig.prompts.inputAnswers = {QString("3"), QString("3")};
    m.cmdLog_Click();
    m.Timer2_Timer();
    EXPECT_EQ(LabelBackground(m.lblLogOn), LightGreen);
    m.Timer2_Timer();
    EXPECT_EQ(LabelBackground(m.lblLogOn), colour::White);
    m.Timer2_Timer();
    m.cmdLog_Click(); // stop and start again: the phase goes on
    m.cmdLog_Click();
    m.Timer2_Timer();
    EXPECT_EQ(LabelBackground(m.lblLogOn), colour::White);
}

} // namespace
} // namespace fh::test
