// The password gate: what each entry does to the gate and which messages it shows.
#include "screens/maintenance/passworddialog.h"

#include "hostrig.h"

#include <QLineEdit>
#include <QPushButton>

namespace fh::test {
namespace {

// Opens the dialog, types the entry and presses Enter; the dialog must be gone afterwards.
void enter(ScreenRig& main, const QString& entry) {
    QPointer<MaintenancePasswordDialog> dlg = new MaintenancePasswordDialog(main, &main.standIn);
    dlg->show();
    EXPECT_TRUE(Find<QLineEdit>(dlg, "txtPass")->text().isEmpty())
        << "each opening starts with an empty box";
    QTest::keyClicks(Find<QLineEdit>(dlg, "txtPass"), entry);
    QTest::keyClick(Find<QLineEdit>(dlg, "txtPass"), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull()) << "the dialog closes whatever the entry";
}

int wrongMessages(const ScreenRig& main) {
    int n = 0;
    for (const auto& c : main.prompts.callsOf(ScriptedPrompts::Call::Message)) {
        EXPECT_EQ(c.text, "Wrong Password! - try again...");
        EXPECT_EQ(c.title, QCoreApplication::applicationName());
        ++n;
    }
    return n;
}

TEST(MaintPass, EachEntrySetsTheGateAndItsMessages) {
    // One dialog per entry, in order. Once open, the stored right entry is checked again: no
    // message.
    for (const auto& [entries, unlocked, messages] : {std::tuple{"VUK", false, 1},
                                                      {"", false, 0},
                                                      {"vu|vuk", true, 1},
                                                      {"vuk|xyz|", true, 0}}) {
        SCOPED_TRACE(entries);
        ScreenRig main;
        for (const QString& e : QString(entries).split('|'))
            enter(main, e);
        EXPECT_EQ(main.m().maintenanceGate().unlocked(), unlocked);
        EXPECT_EQ(wrongMessages(main), messages);
    }
}

TEST(MaintPass, ClosingByTheFrameChecksNothing) {
    ScreenRig main;
    QPointer<MaintenancePasswordDialog> dlg = new MaintenancePasswordDialog(main);
    dlg->show();
    QTest::keyClicks(Find<QLineEdit>(dlg, "txtPass"), "VUK");
    dlg->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull());
    EXPECT_FALSE(main.m().maintenanceGate().unlocked());
    EXPECT_TRUE(main.prompts.calls.empty());
}

} // namespace
} // namespace fh::test
