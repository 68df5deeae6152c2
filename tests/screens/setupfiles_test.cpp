// The setup screen's Save... and Load... on the simulated bus: a saved setup written back
// after the detector changed, a file of another model refused, a load that changes nothing
// and one the operator does not confirm write nothing. What the restore checks and refuses on
// the line is the visit library's test; here what the screen asks, writes and tells.
#include "hostrig.h"
#include "operations/setupopen.h"
#include "screens/setup/setupscreen.h"
#include "visit/setupfile.h"

#include <QLabel>
#include <QPushButton>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

struct FileRig : ScreenRig {
    explicit FileRig(quint8 address) : ScreenRig(makeDefaultBus(), address), address(address) {}
    QPointer<SetupScreen> open() {
        SetupOpen op(address, false);
        RunToEnd(*worker, op);
        return SetupScreen::open(*this, op.opening());
    }
    QString told(const SetupScreen* s) const { return Find<QLabel>(s, "lblFile")->text(); }
    bool idle(const SetupScreen* s) const {
        return WaitFor([&] { return Find<QPushButton>(s, "cmdSave")->isEnabled(); });
    }
    // Saves the setup of the detector at `at` into `name`.
    void saveFrom(quint8 at, const char* name) {
        ctx().setAddress(at);
        SetupOpen op(at, false);
        RunToEnd(*worker, op);
        QPointer<SetupScreen> s = SetupScreen::open(*this, op.opening());
        prompts.saveAnswers = {dir.filePath(name)};
        Find<QPushButton>(s, "cmdSave")->click();
        EXPECT_TRUE(WaitFor([&] { return told(s).startsWith("Setup of the"); }))
            << told(s).toStdString();
        Dispose(s);
        ctx().setAddress(address);
    }
    quint8 address;
};

bool isWrite(const QByteArray& request) {
    return request.size() > 1 && (request[1] == 0x10 || request[1] == 0x06);
}

TEST(SetupFiles, SaveThenLoadPutsTheSavedSetupBackAfterAskingWithEveryChange) {
    FileRig rig(1);
    const quint16 saved = rig.detector(1).holding(1);
    QPointer<SetupScreen> s = rig.open();
    rig.prompts.saveAnswers = {rig.dir.filePath("a2")};
    Find<QPushButton>(s, "cmdSave")->click();
    EXPECT_FALSE(Find<QPushButton>(s, "cmdOK")->isEnabled()) << "OK while the read runs";
    s->close();
    EXPECT_TRUE(s && s->isVisible()) << "closed while the read runs";
    ASSERT_TRUE(rig.idle(s));
    EXPECT_EQ(rig.told(s), "Setup of the Zorvan A2 serial 20417 at address 1 saved to " +
                               rig.dir.filePath("a2.json"));
    QString error;
    const auto file = visit::ReadSetupFile(rig.dir.filePath("a2.json"), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->detector.identity->serial, 20417);
    EXPECT_EQ(file->detector.setup->registers.at(0), saved);

    // The detector is set otherwise (here behind the screen's back), then the file loaded.
    rig.detector(1).setHolding(1, saved ^ 0x0470);
    rig.prompts.openAnswers = {rig.dir.filePath("a2.json")};
    rig.prompts.messageAnswers = {Prompts::Answer::Yes};
    QStringList shown; // the progress line as each attempt of the load's write begins
    QObject::connect(rig.worker.get(), &LineWorker::writeAttempt, s, [&] {
        const QLabel* writing = Find<QLabel>(s, "lblWriting");
        shown << (writing->isVisible() ? writing->text() : QString());
    });
    Find<QPushButton>(s, "cmdLoad")->click();
    ASSERT_TRUE(WaitFor([&] { return rig.returns == 1; })) << "the screen stays after a write";
    EXPECT_EQ(shown, QStringList{"Writing... attempt 1 of 6"});
    EXPECT_EQ(rig.detector(1).holding(1), saved);
    const auto asked = rig.prompts.callsOf(Call::Message);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].buttons, Prompts::Buttons::YesNo);
    for (const char* change : {"Enable Automatic BIT: ", "Delay: "})
        EXPECT_TRUE(asked[0].text.contains(change))
            << change << " in " << asked[0].text.toStdString();
    EXPECT_EQ(rig.m().messages().newest().section(' ', 2),
              "Setup from a2.json written and verified");
    Dispose(s);
}

// Loads that must write nothing, and what each says.
TEST(SetupFiles, LoadWritesNothingUnlessTheSameModelNeedsAndGetsAConfirmedChange) {
    struct Case {
        const char* what;
        const char* file;
        std::optional<Prompts::Answer> confirm; // the question is asked, answered so
        const char* told;
    } cases[] = {
        {"another model", "c1.json", std::nullopt,
         "the setup is for a Zorvan C1 (model code 358), but the detector at address 1 is a "
         "Zorvan A2 (model code 117); nothing was written"},
        {"no change", "a2.json", std::nullopt,
         "already holds the setup in a2.json: nothing was written."},
        {"not confirmed", "a2.json", Prompts::Answer::No,
         "Load of a2.json not confirmed: nothing was written."},
        {"not a setup file", "junk.json", std::nullopt, "junk.json"},
        {"dialog cancelled", nullptr, std::nullopt, "Load cancelled: nothing was written."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileRig rig(1);
        rig.saveFrom(2, "c1.json");
        rig.saveFrom(1, "a2.json");
        writeAll(rig.dir.filePath("junk.json"), "{\"format\":\"flamehost-setup/1\"}");
        if (c.confirm)
            rig.detector(1).setHolding(1, rig.detector(1).holding(1) ^ 0x0400);
        const std::vector<quint16> before = {rig.detector(1).holding(1),
                                             rig.detector(1).holding(2)};
        QPointer<SetupScreen> s = rig.open();
        rig.prompts.calls.clear();
        rig.prompts.openAnswers = {c.file ? std::optional(rig.dir.filePath(c.file)) : std::nullopt};
        if (c.confirm)
            rig.prompts.messageAnswers = {*c.confirm};
        LineWatch watch(*rig.worker);
        Find<QPushButton>(s, "cmdLoad")->click();
        ASSERT_TRUE(WaitFor([&] { return rig.told(s).contains(c.told); }))
            << rig.told(s).toStdString();
        ASSERT_TRUE(rig.idle(s));
        EXPECT_TRUE(std::ranges::none_of(watch.sent, isWrite));
        EXPECT_EQ((std::vector<quint16>{rig.detector(1).holding(1), rig.detector(1).holding(2)}),
                  before);
        EXPECT_TRUE(s && s->isVisible());
        const auto messages = rig.prompts.callsOf(Call::Message);
        EXPECT_EQ(messages.size(), c.confirm || QString(c.what).startsWith("another") ||
                                           QString(c.what).startsWith("not a")
                                       ? 1u
                                       : 0u);
        Dispose(s);
    }
}

} // namespace
} // namespace fh::test
