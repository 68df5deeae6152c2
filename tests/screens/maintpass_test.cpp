// The password gate: what each entry does to the gate and which messages it shows.
#include "screens/maintenance/passworddialog.h"

#include "hostrig.h"
#include "screens/host/maintenancegate.h"

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

// Entries in order, what the last one gave, and whether the gate is open after them. Once
// open, the gate keeps the right entry and reads no other.
TEST(MaintenanceGate, EntriesOpenItOnlyWithThePasswordAndOpenItStays) {
    using E = MaintenanceGate::Entry;
    for (const auto& [entries, last, unlocked] : {std::tuple{"", E::Nothing, false},
                                                  {"VUK", E::Wrong, false},
                                                  {"vuk ", E::Wrong, false},
                                                  {"VUK|", E::Nothing, false},
                                                  {"vu|vuk", E::Right, true},
                                                  {"vuk|xyz", E::Right, true},
                                                  {"vuk|", E::Right, true}}) {
        SCOPED_TRACE(entries);
        MaintenanceGate gate;
        E got = E::Nothing;
        for (const QString& e : QString(entries).split('|'))
            got = gate.enter(e);
        EXPECT_EQ(got, last);
        EXPECT_EQ(gate.unlocked(), unlocked);
    }
}

// One dialog per entry, in order: the message comes only for a wrong entry.
TEST(MaintPass, EachEntrySetsTheGateAndItsMessages) {
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
