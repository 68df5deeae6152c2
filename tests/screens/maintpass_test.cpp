// The password gate: what each entry does to the gate and which messages it shows.
#include "screens/maintenance/frmMaintPass.h"

#include "hostrig.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

using fh::frmMaintPass;
using fh::Prompts;
using fh::ScriptedPrompts;
using fh::test::ScreenRig;

// Opens the dialog, types the entry and presses Enter; the dialog must be gone afterwards.
void enter(ScreenRig& main, const QString& entry) {
    QPointer<frmMaintPass> dlg = new frmMaintPass(main, main.m().mainWindow());
    dlg->show();
    EXPECT_TRUE(dlg->txtPass->text().isEmpty()) << "each opening starts with an empty box";
    QTest::keyClicks(dlg->txtPass, entry);
    QTest::keyClick(dlg->txtPass, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull()) << "the dialog closes whatever the entry";
}

int wrongMessages(const ScreenRig& main) {
    int n = 0;
    for (const auto& c : main.prompts.callsOf(ScriptedPrompts::Call::Message)) {
        EXPECT_EQ(c.text, "Wrong Password! - try again...");
        EXPECT_EQ(c.icon, Prompts::Icon::Critical);
        EXPECT_EQ(c.buttons, Prompts::Buttons::Ok);
        EXPECT_EQ(c.title, QCoreApplication::applicationName());
        ++n;
    }
    return n;
}

TEST(MaintPass, EntryIsMasked) {
    ScreenRig main;
    frmMaintPass dlg(main);
    QTest::keyClicks(dlg.txtPass, "abc");
    EXPECT_EQ(dlg.txtPass->displayText(), "***");
}

struct GateCase {
    const char* name;
    std::vector<QString> entries; // one dialog each, in order
    bool unlocked;
    int messages;
};

class MaintPassEntries : public ::testing::TestWithParam<GateCase> {};

TEST_P(MaintPassEntries, GateAndMessages) {
    ScreenRig main;
    for (const QString& e : GetParam().entries)
        enter(main, e);
    EXPECT_EQ(main.m().maintenanceUnlocked(), GetParam().unlocked);
    EXPECT_EQ(wrongMessages(main), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MaintPassEntries,
    ::testing::Values(GateCase{"UpperCaseRefused", {"VUK"}, false, 1},
                      GateCase{"ExactUnlocks", {"vuk"}, true, 0},
                      GateCase{"EmptyDoesNothing", {""}, false, 0},
                      GateCase{"WrongThenRight", {"vu", "vuk"}, true, 1},
                      // Once open, the stored right entry is checked again: no message.
                      GateCase{"LaterWrongEntryIsNotRead", {"vuk", "xyz", ""}, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MaintPass, ClosingByTheFrameChecksNothing) {
    ScreenRig main;
    QPointer<frmMaintPass> dlg = new frmMaintPass(main);
    dlg->show();
    QTest::keyClicks(dlg->txtPass, "VUK");
    dlg->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull());
    EXPECT_FALSE(main.m().maintenanceUnlocked());
    EXPECT_TRUE(main.prompts.calls.empty());
}

} // namespace
