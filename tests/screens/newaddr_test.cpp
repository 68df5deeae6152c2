// The new-address dialog on the simulated bus: the box's filter, refused addresses, the move
// itself (answered or not) and every way out.
#include "hostrig.h"
#include "operations/masterguard.h"
#include "screens/newaddr/newaddressdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

// The dialog as the main screen opens it, with the controls the tests use.
struct Dialog {
    QPointer<NewAddressDialog> d;
    QLineEdit* box;
    QPushButton* send;
    QPushButton* cancel;
};

Dialog Open(ScreenRig& main) {
    auto* d = new NewAddressDialog(main);
    d->show();
    return {d, Find<QLineEdit>(d, "txtNewAddr"), Find<QPushButton>(d, "cmdSend"),
            Find<QPushButton>(d, "Command1")};
}

// Only the main screen's poll reached the line.
void OnlyPolls(const LineWatch& sent, quint8 address) {
    for (const QByteArray& f : sent.sent)
        EXPECT_EQ(f, SendCommand(address, cmd::Status));
}

TEST(NewAddrDialog, BoxTakesOnlyWholeNumbersTo247) {
    ScreenRig main;
    auto [d, box, send, cancel] = Open(main);
    // Typed key by key, and the box after each key.
    for (const auto& [typed, after] : {std::pair{"300", "3|30|"},
                                       {"2470", "2|24|247|"},
                                       {"a", ""},
                                       {"1.5", "1||5"},
                                       {"+3", "|3"},
                                       {"1 ", "1|"}}) {
        SCOPED_TRACE(typed);
        box->clear();
        const QStringList boxes = QString(after).split('|');
        for (int i = 0; i < boxes.size(); ++i) {
            QTest::keyClick(box, typed[i]);
            EXPECT_EQ(box->text(), boxes[i]) << "after key " << i;
        }
    }
    // Set rather than typed, the same rule.
    for (const char* refused : {"1.5", "-1", " 5", "248", "99999999999"}) {
        box->setText(refused);
        EXPECT_EQ(box->text(), "") << refused;
    }
    for (const char* kept : {"0", "247", "007"}) {
        box->setText(kept);
        EXPECT_EQ(box->text(), kept);
    }
    Dispose(d);
}

// What the box lets through but is no address is refused on Send.
TEST(NewAddrDialog, SendRefusesWhatIsNoAddress) {
    ScreenRig main;
    auto [d, box, send, cancel] = Open(main);
    LineWatch sent(*main.worker);
    for (const char* text : {"0", ""}) {
        SCOPED_TRACE(text);
        main.prompts.calls.clear();
        box->setText(text);
        send->setFocus();
        send->click();
        EXPECT_TRUE(OneMessage(main.prompts, "Invalid Address.\rChange is not Saved!", "Warning"));
        EXPECT_EQ(main.prompts.callsOf(Call::Beep).size(), 1u);
        EXPECT_EQ(box->text(), "");
        EXPECT_EQ(d->focusWidget(), box);
        EXPECT_TRUE(d->isVisible());
    }
    EXPECT_EQ(main.returns, 0);
    EXPECT_EQ(main.m().link().record().Address, 1);
    OnlyPolls(sent, 1);
    Dispose(d);
}

// In master mode on a bus of several the address poll collides: nothing is written.
TEST(NewAddrDialog, MasterModeOnABusOfSeveralWritesNothing) {
    ScreenRig main;
    auto [d, box, send, cancel] = Open(main);
    LineWatch sent(*main.worker);
    main.m().link().toggleMasterMode();
    box->setText("12");
    send->click();
    ASSERT_TRUE(WaitFor([&] { return !main.prompts.callsOf(Call::Message).empty(); }));
    EXPECT_TRUE(OneMessage(main.prompts, MasterCollisionText, "Warning"));
    EXPECT_EQ(sent.count(WriteAddr(1, 12)), 0);
    EXPECT_EQ(main.m().link().record().Address, 1);
    EXPECT_TRUE(d && send->isEnabled()); // the dialog stays for another try
    Dispose(d);
}

TEST(NewAddrDialog, SendMovesTheDetectorAndTheMainScreenFollows) {
    ScreenRig main(busWith(5, 117, 20417), 5);
    ASSERT_TRUE(main.m().link().record().LinkGood);
    for (quint8 to : {quint8(1), quint8(247)}) {
        SCOPED_TRACE(int(to));
        const quint8 from = main.m().link().record().Address;
        main.returns = 0;
        auto [d, box, send, cancel] = Open(main);
        EXPECT_EQ(box->text(), QString::number(from));
        LineWatch sent(*main.worker);
        box->setText(QString::number(to));
        if (to == 1)
            send->click();
        else // Enter in the box sends
            QTest::keyClick(box, Qt::Key_Return);
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
    auto [d, box, send, cancel] = Open(main);
    LineWatch sent(*main.worker);
    QStringList shown; // the progress line as each attempt begins
    QLabel* writing = Find<QLabel>(d, "lblWriting");
    QObject::connect(main.worker.get(), &LineWorker::writeAttempt, d,
                     [&] { shown << (writing->isVisible() ? writing->text() : QString()); });
    box->setText("12");
    send->click();
    cancel->click(); // neither CANCEL nor the close box ends the pending write
    d->close();
    EXPECT_TRUE(d && d->isVisible());
    ASSERT_TRUE(WaitFor([&] { return main.returns == 1; }));
    ASSERT_EQ(shown.size(), 6);
    EXPECT_EQ(shown[1], "Writing... attempt 2 of 6");
    EXPECT_EQ(sent.count(WriteAddr(9, 12)), 6);
    EXPECT_EQ(main.m().link().record().Address, 12);
    EXPECT_TRUE(OneMessage(main.prompts, AddressNotConfirmedText.arg(12), "Warning"));
    Dispose(d);
}

TEST(NewAddrDialog, EveryOtherWayOutKeepsTheOldAddress) {
    const std::vector<std::pair<const char*, std::function<void(const Dialog&)>>> ways = {
        {"CANCEL", [](const Dialog& d) { d.cancel->click(); }},
        {"Escape", [](const Dialog& d) { QTest::keyClick(d.box, Qt::Key_Escape); }},
        {"Enter on CANCEL",
         [](const Dialog& d) {
             d.cancel->setFocus();
             QTest::keyClick(d.cancel, Qt::Key_Return);
         }},
        {"close box", [](const Dialog& d) { d.d->close(); }}};
    ScreenRig main(makeDefaultBus(), 3);
    for (const auto& [what, leave] : ways) {
        SCOPED_TRACE(what);
        main.returns = 0;
        Dialog dialog = Open(main);
        dialog.box->setText("42");
        LineWatch sent(*main.worker);
        leave(dialog);
        EXPECT_EQ(main.returns, 1);
        Dispose(dialog.d);
        EXPECT_FALSE(dialog.d);
        EXPECT_EQ(main.m().link().record().Address, 3);
        QCoreApplication::processEvents();
        OnlyPolls(sent, 3);
    }
    EXPECT_TRUE(main.prompts.calls.empty());
}

TEST(NewAddrDialog, GoingAwayWhileTheWriteRunsIsSafe) {
    ScreenRig main(makeDefaultBus(), 4);
    auto [d, box, send, cancel] = Open(main);
    LineWatch done(*main.worker);
    box->setText("40");
    send->click();
    delete d;
    ASSERT_TRUE(WaitFor([&] { return !done.commands.empty(); }));
    EXPECT_EQ(main.m().link().record().Address, 4);
    EXPECT_EQ(main.returns, 0);
}

} // namespace
} // namespace fh::test
