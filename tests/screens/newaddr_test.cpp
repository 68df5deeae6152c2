// The new-address dialog on the simulated bus: the box's filter, refused addresses, the move
// itself (answered or not) and every way out.
#include "hostrig.h"
#include "operations/masterguard.h"
#include "screens/newaddr/frmNewAddr.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

QPointer<frmNewAddr> Open(ScreenRig& main) {
    auto* d = new frmNewAddr(main);
    d->show();
    return d;
}

// Only the main screen's poll reached the line.
void OnlyPolls(const LineWatch& sent, quint8 address) {
    for (const QByteArray& f : sent.sent)
        EXPECT_EQ(f, SendCommand(address, cmd::Status));
}

TEST(NewAddrDialog, BoxTakesWholeNumbersTo247SendRefusesTheRestAndMasterModeWritesNothing) {
    ScreenRig main;
    QPointer<frmNewAddr> d = Open(main);
    // Typed key by key, and the box after each key.
    for (const auto& [typed, after] : {std::pair{"300", "3|30|"},
                                       {"2470", "2|24|247|"},
                                       {"a", ""},
                                       {"1.5", "1||5"},
                                       {"+3", "|3"},
                                       {"1 ", "1|"}}) {
        SCOPED_TRACE(typed);
        d->txtNewAddr->clear();
        const QStringList boxes = QString(after).split('|');
        for (int i = 0; i < boxes.size(); ++i) {
            QTest::keyClick(d->txtNewAddr, typed[i]);
            EXPECT_EQ(d->txtNewAddr->text(), boxes[i]) << "after key " << i;
        }
    }
    // Set rather than typed, the same rule.
    for (const char* refused : {"1.5", "-1", " 5", "248", "99999999999"}) {
        d->txtNewAddr->setText(refused);
        EXPECT_EQ(d->txtNewAddr->text(), "") << refused;
    }
    for (const char* kept : {"0", "247", "007"}) {
        d->txtNewAddr->setText(kept);
        EXPECT_EQ(d->txtNewAddr->text(), kept);
    }

    // What the box lets through but is no address is refused on Send.
    LineWatch sent(*main.worker);
    for (const char* text : {"0", ""}) {
        SCOPED_TRACE(text);
        main.prompts.calls.clear();
        d->txtNewAddr->setText(text);
        d->cmdSend->setFocus();
        d->cmdSend->click();
        EXPECT_TRUE(OneMessage(main.prompts, "Invalid Address.\rChange is not Saved!", "Warning"));
        EXPECT_EQ(main.prompts.callsOf(Call::Beep).size(), 1u);
        EXPECT_EQ(d->txtNewAddr->text(), "");
        EXPECT_EQ(d->focusWidget(), d->txtNewAddr);
        EXPECT_TRUE(d->isVisible());
    }
    EXPECT_EQ(main.returns, 0);
    EXPECT_EQ(main.m().link().record().Address, 1);
    OnlyPolls(sent, 1);

    // In master mode on a bus of several the address poll collides: nothing is written.
    main.prompts.calls.clear();
    main.m().link().toggleMasterMode();
    d->txtNewAddr->setText("12");
    d->cmdSend->click();
    ASSERT_TRUE(WaitFor([&] { return !main.prompts.callsOf(Call::Message).empty(); }));
    EXPECT_TRUE(OneMessage(main.prompts, MasterCollisionText, "Warning"));
    EXPECT_EQ(sent.count(WriteAddr(1, 12)), 0);
    EXPECT_EQ(main.m().link().record().Address, 1);
    EXPECT_TRUE(d && d->cmdSend->isEnabled()); // the dialog stays for another try
    Dispose(d);
}

TEST(NewAddrDialog, SendMovesTheDetectorAndTheMainScreenFollows) {
    ScreenRig main(busWith(5, 117, 20417), 5);
    ASSERT_TRUE(main.m().link().record().LinkGood);
    for (quint8 to : {quint8(1), quint8(247)}) {
        SCOPED_TRACE(int(to));
        const quint8 from = main.m().link().record().Address;
        main.returns = 0;
        QPointer<frmNewAddr> d = Open(main);
        EXPECT_EQ(d->txtNewAddr->text(), QString::number(from));
        LineWatch sent(*main.worker);
        d->txtNewAddr->setText(QString::number(to));
        if (to == 1)
            d->cmdSend->click();
        else // Enter in the box sends
            QTest::keyClick(d->txtNewAddr, Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return main.returns == 1; }));
        EXPECT_EQ(sent.count(WriteAddr(from, to)), 1);
        EXPECT_EQ(main.m().link().record().Address, to);
        EXPECT_TRUE(main.prompts.callsOf(Call::Message).empty());
        EXPECT_TRUE(main.m().messages().newest().endsWith(
            QString("Detector 20417 now answers at address %1").arg(to)));
        EXPECT_TRUE(main.standIn.isVisible());
        EXPECT_EQ(main.bus.sim().detector(to).get(), main.bus.sim().detectorAt(0).get());
        Dispose(d);
        EXPECT_TRUE(main.waitPolls(1, to)); // the main screen polls the new address
    }
}

// Written, but not heard at the new address since: the main screen follows, and says so.
TEST(NewAddrDialog, UnconfirmedSendMovesTheCaptionAndSaysSo) {
    ScreenRig main(busWith(9, 117, 20417), 9);
    main.bus.leaveUnanswered([](const QByteArray& r) { return quint8(r[1]) == fn::WriteSingle; });
    QPointer<frmNewAddr> d = Open(main);
    LineWatch sent(*main.worker);
    QStringList shown; // the progress line as each attempt begins
    QObject::connect(main.worker.get(), &LineWorker::writeAttempt, d, [&] {
        shown << (d->lblWriting->isVisible() ? d->lblWriting->text() : QString());
    });
    d->txtNewAddr->setText("12");
    d->cmdSend->click();
    d->Command1->click(); // neither CANCEL nor the close box ends the pending write
    d->close();
    EXPECT_TRUE(d && d->isVisible());
    ASSERT_TRUE(WaitFor([&] { return main.returns == 1; }));
    ASSERT_EQ(shown.size(), 6);
    EXPECT_EQ(shown[1], "Writing... attempt 2 of 6");
    EXPECT_EQ(sent.count(WriteAddr(9, 12)), 6);
    EXPECT_EQ(main.m().link().record().Address, 12);
    EXPECT_TRUE(OneMessage(main.prompts, frmNewAddr::NotConfirmedText.arg(12), "Warning"));
    Dispose(d);
}

TEST(NewAddrDialog, EveryOtherWayOutKeepsTheOldAddress) {
    const std::vector<std::pair<const char*, std::function<void(frmNewAddr&)>>> ways = {
        {"CANCEL", [](frmNewAddr& d) { d.Command1->click(); }},
        {"Escape", [](frmNewAddr& d) { QTest::keyClick(d.txtNewAddr, Qt::Key_Escape); }},
        {"Enter on CANCEL",
         [](frmNewAddr& d) {
             d.Command1->setFocus();
             QTest::keyClick(d.Command1, Qt::Key_Return);
         }},
        {"close box", [](frmNewAddr& d) { d.close(); }}};
    ScreenRig main(makeDefaultBus(), 3);
    for (const auto& [what, leave] : ways) {
        SCOPED_TRACE(what);
        main.returns = 0;
        QPointer<frmNewAddr> d = Open(main);
        d->txtNewAddr->setText("42");
        LineWatch sent(*main.worker);
        leave(*d);
        EXPECT_EQ(main.returns, 1);
        Dispose(d);
        EXPECT_FALSE(d);
        EXPECT_EQ(main.m().link().record().Address, 3);
        QCoreApplication::processEvents();
        OnlyPolls(sent, 3);
    }
    EXPECT_TRUE(main.prompts.calls.empty());
}

TEST(NewAddrDialog, GoingAwayWhileTheWriteRunsIsSafe) {
    ScreenRig main(makeDefaultBus(), 4);
    QPointer<frmNewAddr> d = Open(main);
    LineWatch done(*main.worker);
    d->txtNewAddr->setText("40");
    d->cmdSend->click();
    delete d;
    ASSERT_TRUE(WaitFor([&] { return !done.commands.empty(); }));
    EXPECT_EQ(main.m().link().record().Address, 4);
    EXPECT_EQ(main.returns, 0);
}

} // namespace
} // namespace fh::test
