// The new-address dialog on the simulated bus: the box's filter, refused addresses, the move
// itself (answered or not) and every way out.
#include "screens/fakemain.h"
#include "screens/linelog.h"
#include "screens/newaddr/frmNewAddr.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

using fh::frmNewAddr;
using fh::Prompts;
using fh::ScriptedPrompts;
using fh::test::FakeMain;
using Call = ScriptedPrompts::Call;

void Dispose(QPointer<frmNewAddr>& dialog) {
    if (dialog)
        dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::unique_ptr<fh::SimBus> LoneDetector(quint8 address) {
    auto bus = std::make_unique<fh::SimBus>();
    bus->add(address, 117, 20417); // Zorvan A2
    return bus;
}

TEST(NewAddrDialog, BoxKeepsOnlyWholeNumbersUpTo247) {
    struct Case {
        const char* typed;
        std::vector<const char*> after; // the box after each key
    };
    const Case cases[] = {
        {"300", {"3", "30", ""}}, {"2470", {"2", "24", "247", ""}}, {"a", {""}},
        {"1.5", {"1", "", "5"}},  {"1e2", {"1", "", "2"}},          {"+3", {"", "3"}},
        {"1 ", {"1", ""}},
    };
    FakeMain main;
    auto* d = new frmNewAddr(main);
    QPointer<frmNewAddr> dialog(d);
    d->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        d->txtNewAddr->clear();
        for (size_t i = 0; i < c.after.size(); ++i) {
            QTest::keyClick(d->txtNewAddr, c.typed[i]);
            EXPECT_EQ(d->txtNewAddr->text(), c.after[i]) << "after key " << i;
        }
    }
    // Set rather than typed, the same rule.
    for (const char* text : {"1.5", "-1", " 5", "248", "99999999999"}) {
        d->txtNewAddr->setText(text);
        EXPECT_EQ(d->txtNewAddr->text(), "") << text;
    }
    for (const char* text : {"0", "1", "247", "007"}) {
        d->txtNewAddr->setText(text);
        EXPECT_EQ(d->txtNewAddr->text(), text);
    }
    Dispose(dialog);
}

TEST(NewAddrDialog, SendRefusesAddressesOutsideTheRange) {
    FakeMain main;
    QPointer<frmNewAddr> d = new frmNewAddr(main);
    d->show();
    EXPECT_EQ(d->windowTitle(), "SET NEW ADDRESS");
    EXPECT_EQ(d->lblHeadAddr->text(), "Set New Address (1..247)");
    fh::test::SentFrames sent(main.worker());
    for (const char* text : {"0", ""}) {
        SCOPED_TRACE(text);
        main.prompts_.calls.clear();
        d->txtNewAddr->setText(text);
        d->cmdSend->setFocus();
        d->cmdSend->click();
        const auto messages = main.prompts_.callsOf(Call::Message);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Invalid Address.\rChange is not Saved!");
        EXPECT_EQ(messages[0].title, "Warning");
        EXPECT_EQ(messages[0].icon, Prompts::Icon::Critical);
        EXPECT_EQ(main.prompts_.callsOf(Call::Beep).size(), 1u);
        EXPECT_EQ(d->txtNewAddr->text(), "");
        EXPECT_EQ(d->focusWidget(), d->txtNewAddr);
        EXPECT_TRUE(d->isVisible());
    }
    EXPECT_EQ(main.closed, 0);
    EXPECT_EQ(main.record.Address, 1);
    // Nothing but the poll cycle reached the line.
    for (const QByteArray& f : sent.frames)
        EXPECT_EQ(f, fh::SendCommand(1, fh::cmd::Status));
    Dispose(d);
}

TEST(NewAddrDialog, SendMovesTheDetectorAndTheMainScreenFollows) {
    FakeMain main(LoneDetector(5), 5);
    ASSERT_TRUE(main.record.LinkGood);
    for (quint8 to : {quint8(1), quint8(247)}) {
        SCOPED_TRACE(int(to));
        const quint8 from = main.record.Address;
        main.closed = 0;
        QPointer<frmNewAddr> d = new frmNewAddr(main);
        d->show();
        EXPECT_EQ(d->txtNewAddr->text(), QString::number(from));
        fh::test::SentFrames sent(main.worker());
        d->txtNewAddr->setText(QString::number(to));
        d->cmdSend->click();
        ASSERT_TRUE(fh::test::WaitFor([&] { return main.closed == 1; }));
        EXPECT_EQ(sent.count(fh::WriteAddr(from, to)), 1);
        EXPECT_EQ(main.record.Address, to);
        EXPECT_TRUE(main.prompts_.callsOf(Call::Message).empty());
        EXPECT_TRUE(main.mainWindow()->isVisible());
        EXPECT_EQ(main.bus().detector(to).get(), main.bus().detectorAt(0).get());
        Dispose(d);
        EXPECT_FALSE(d);

        // The main screen's poll at the new address finds the detector: GOOD.
        QSignalSpy polls(&main.worker(), &fh::LineWorker::cycleDone);
        ASSERT_TRUE(fh::test::WaitFor([&] {
            for (const auto& args : polls) {
                const fh::Exchange x = args.at(0).value<fh::Exchange>();
                if (x.request == fh::SendCommand(to, fh::cmd::Status) &&
                    fh::StatusReplyComplete(x.reply)) {
                    fh::DetectorRecord r;
                    r.Address = to;
                    return fh::DecodeStatusReply(x.reply, r).linkText == "GOOD";
                }
            }
            return false;
        }));
    }
}

TEST(NewAddrDialog, UnansweredSendMovesTheCaptionAndSaysSo) {
    FakeMain main(fh::makeDefaultBus(), 9); // nobody at 9
    QPointer<frmNewAddr> d = new frmNewAddr(main);
    d->show();
    fh::test::SentFrames sent(main.worker());
    d->txtNewAddr->setText("12");
    d->cmdSend->click();
    d->Command1->click(); // neither CANCEL nor the close box ends the pending write
    d->close();
    EXPECT_TRUE(d && d->isVisible());
    ASSERT_TRUE(fh::test::WaitFor([&] { return main.closed == 1; }));
    EXPECT_EQ(sent.count(fh::WriteAddr(9, 12)), 6);
    EXPECT_EQ(main.record.Address, 12);
    const auto messages = main.prompts_.callsOf(Call::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, frmNewAddr::NotConfirmedText.arg(12));
    EXPECT_EQ(messages[0].title, "Warning");
    EXPECT_EQ(messages[0].icon, Prompts::Icon::Critical);
    Dispose(d);
}

TEST(NewAddrDialog, EveryOtherWayOutKeepsTheOldAddress) {
    const std::vector<std::pair<const char*, std::function<void(frmNewAddr&)>>> ways = {
        {"CANCEL", [](frmNewAddr& d) { d.Command1->click(); }},
        {"Escape", [](frmNewAddr& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](frmNewAddr& d) { d.close(); }},
    };
    FakeMain main(fh::makeDefaultBus(), 3);
    for (const auto& [what, leave] : ways) {
        SCOPED_TRACE(what);
        main.closed = 0;
        QPointer<frmNewAddr> d = new frmNewAddr(main);
        d->show();
        d->txtNewAddr->setText("42");
        fh::test::SentFrames sent(main.worker());
        leave(*d);
        EXPECT_EQ(main.closed, 1);
        Dispose(d);
        EXPECT_FALSE(d);
        EXPECT_EQ(main.record.Address, 3);
        QCoreApplication::processEvents();
        for (const QByteArray& f : sent.frames)
            EXPECT_EQ(f, fh::SendCommand(3, fh::cmd::Status));
    }
    EXPECT_TRUE(main.prompts_.calls.empty());
}

TEST(NewAddrDialog, GoingAwayWhileTheWriteRunsIsSafe) {
    FakeMain main(fh::makeDefaultBus(), 4);
    QPointer<frmNewAddr> d = new frmNewAddr(main);
    d->show();
    QSignalSpy done(&main.worker(), &fh::LineWorker::commandDone);
    d->txtNewAddr->setText("40");
    d->cmdSend->click();
    delete d;
    ASSERT_TRUE(done.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(main.record.Address, 4);
    EXPECT_EQ(main.closed, 0);
}

} // namespace
