// Start-up: the COM-port dialog, opening the chosen port (or saying why not and asking again),
// loading the main screen with the tuning file, the line remembered and a network line.
#include "common/bytes.h"
#include "detector/replycheck.h"
#include "linelog.h"
#include "link/datadir.h"
#include "link/portfactory.h"
#include "link/realport.h"
#include "link/tuningfile.h"
#include "link/virtualport.h"
#include "screens/host/hostmodel.h"
#include "screens/main/mainscreen.h"
#include "screens/startup/comportdialog.h"
#include "screens/startup/startupflow.h"
#include "sim/tcpserver.h"

#include <deque>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

namespace fh::test {
namespace {

using Dialog = ComPortDialog;
using Action = std::function<void(Dialog&)>;

const Action clickOk = [](Dialog& d) { Find<QPushButton>(&d, "OKButton")->click(); };
const Action clickCancel = [](Dialog& d) { Find<QPushButton>(&d, "CancelButton")->click(); };
QRadioButton* comOption(const Dialog& d, int n) {
    return Find<QRadioButton>(&d, QString("optPort1_%1").arg(n));
}
Action com(int n) {
    return [n](Dialog& d) { comOption(d, n)->click(); };
}

// Devices under /missing fail to open through the real backend; all others reach the bus.
struct Rig {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    RecordingBus bus{makeDefaultBus()};
    QStringList opened;
    std::deque<std::vector<Action>> dialogs; // what the operator does in each dialog shown
    int dialogsShown = 0;
    std::unique_ptr<StartupFlow> flow;

    explicit Rig(bool forget = true) {
        if (forget)
            QSettings(QSettings::IniFormat, QSettings::UserScope, "flamehost", "flamehost").clear();
        auto makeWorker = [this](const LineChoice& line) {
            opened << line.device;
            const bool simulated =
                !line.device.startsWith("/missing") && !line.device.startsWith("tcp:");
            return std::make_unique<LineWorker>(MakePortFactory(line, simulated ? &bus : nullptr),
                                                MakeReplyChecker());
        };
        auto runDialog = [this](Dialog& d) {
            ++dialogsShown;
            d.show();
            if (!dialogs.empty()) {
                for (const Action& a : dialogs.front())
                    a(d);
                dialogs.pop_front();
            }
            if (d.isVisible()) // the script did not close it: the operator gives up
                clickCancel(d);
            return d.result();
        };
        flow = std::make_unique<StartupFlow>(prompts, dir.path(), makeWorker, runDialog);
    }
    QString tuningPath() const { return TuningFilePath(dir.path()); }
    QByteArray tuningFile() const { return readAll(tuningPath()); }
};

TEST(ComSetupDialog, OneSelectionAtATimeAndOkOpensWhatIsShown) {
    const auto list = [](const Dialog& d) { return Find<QListWidget>(&d, "lstDetected"); };
    auto row = [&](int r) { return [=](Dialog& d) { list(d)->setCurrentRow(r); }; };
    auto key = [&](Qt::Key k) { return [=](Dialog& d) { QTest::keyClick(list(d), k); }; };
    auto unpick = [&](Dialog& d) { list(d)->currentItem()->setSelected(false); };
    // What the operator does, and the device then shown (empty: none selected, OK disabled).
    using Case = std::tuple<const char*, std::vector<Action>, QString>;
    for (const auto& [name, steps, device] :
         {Case{"untouched", {}, ComPortDevice(1)},
          Case{"keyboard highlight beats Com 6", {com(6), key(Qt::Key_Down)}, "/dev/ttyACM1"},
          Case{"keyboard moves on", {key(Qt::Key_Down), key(Qt::Key_Down)}, "/dev/ttyUSB0"},
          Case{"Com after a port", {row(1), com(4)}, ComPortDevice(4)},
          Case{"port after Com", {com(4), row(0)}, "/dev/ttyACM1"},
          Case{"port taken away by Ctrl+click", {com(3), row(1), unpick}, QString()}}) {
        SCOPED_TRACE(name);
        Dialog d(QStringList{"/dev/ttyACM1", "/dev/ttyUSB0"}, nullptr);
        d.show();
        for (const Action& a : steps)
            a(d);
        EXPECT_EQ(d.selectedDevice(), device);
        int selected = int(list(d)->selectedItems().size());
        for (int n = 1; n <= 6; ++n)
            selected += comOption(d, n)->isChecked() ? 1 : 0;
        EXPECT_EQ(selected, device.isEmpty() ? 0 : 1);
        EXPECT_EQ(Find<QPushButton>(&d, "OKButton")->isEnabled(), !device.isEmpty());
        clickOk(d);
        EXPECT_EQ(d.result() == QDialog::Accepted, !device.isEmpty());
    }
}

// Which files give which delay is the tuning file's own test; here the delay reaches the line
// and a warning goes to the status line, not to a message box.
TEST(Startup, OkOpensTheChosenPortWithTheTuningFilesDelay) {
    // Without a tuning file one is made; Com 2 is chosen after Com 6.
    for (const auto& [port, tuning, delay, warns] : {std::tuple{1, QByteArray(), 4000, false},
                                                     {2, QByteArray("6000\r\n"), 6000, false},
                                                     {1, QByteArray("99999\r\n"), 4000, true}}) {
        SCOPED_TRACE(tuning.toStdString());
        Rig rig;
        if (!tuning.isEmpty())
            writeAll(rig.tuningPath(), tuning);
        rig.dialogs.push_back(port == 1 ? std::vector{clickOk}
                                        : std::vector{com(6), com(2), clickOk});
        ASSERT_TRUE(rig.flow->run());

        EXPECT_EQ(rig.opened, QStringList{ComPortDevice(port)});
        EXPECT_TRUE(rig.prompts.calls.empty());
        MainScreen* main = rig.flow->mainWindow();
        ASSERT_TRUE(main);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(rig.tuningFile(), tuning.isEmpty() ? "4000\r\n" : tuning);
        EXPECT_EQ(rig.flow->model()->tuning().delay(), delay);
        EXPECT_EQ(rig.flow->worker()->turnaroundDelay(), delay);
        EXPECT_EQ(Find<QLabel>(main, "lblNotice")->text().contains("CommTune.txt"), warns)
            << qPrintable(Find<QLabel>(main, "lblNotice")->text());
        EXPECT_TRUE(WaitFor([&] { return Find<QLabel>(main, "lblCom")->text() == "GOOD"; }));
    } // leaving with a poll in flight must be safe
}

// Cancel in the dialog, here after a failed opening, opens nothing more and loads nothing.
TEST(Startup, PortThatCannotOpenIsReportedThenTheDialogComesAgain) {
    for (const bool ok : {true, false}) {
        Rig rig;
        rig.dialogs.push_back({com(2), ok ? clickOk : clickCancel});
        EXPECT_EQ(rig.flow->run("/missing/ttyFH0"), ok);
        EXPECT_EQ(rig.opened, QStringList("/missing/ttyFH0") +
                                  (ok ? QStringList(ComPortDevice(2)) : QStringList()));
        EXPECT_EQ(rig.dialogsShown, 1);
        ASSERT_EQ(rig.prompts.calls.size(), 1u);
        EXPECT_TRUE(rig.prompts.calls[0].text.contains("/missing/ttyFH0"));
        EXPECT_TRUE(OneMessage(rig.prompts, rig.prompts.calls[0].text, "COMMUNICATION PORT"));
        EXPECT_EQ(rig.flow->mainWindow() != nullptr, ok);
        // The tuning file is touched only once a port is open.
        EXPECT_EQ(rig.tuningFile() != "<missing>", ok);
    }
}

TEST(Startup, TheLineChosenIsRememberedButOptionsAreNot) {
    {
        Rig first;
        first.dialogs.push_back({com(3),
                                 [](Dialog& d) {
                                     // automatic
                                     Find<QComboBox>(&d, "cboLineDriver")->setCurrentIndex(2);
                                     Find<QCheckBox>(&d, "chkEcho")->setChecked(true);
                                 },
                                 clickOk});
        ASSERT_TRUE(first.flow->run());
    }
    const auto remembered = [] {
        const LineChoice c = LoadLineChoice();
        return std::tuple{c.device, c.mode, c.echo};
    };
    const auto chosen = std::tuple{ComPortDevice(3), LineMode::Auto, true};
    EXPECT_EQ(remembered(), chosen);

    // Options and --port win for this run only.
    Rig preset(false);
    preset.flow->setLineOverrides(LineMode::RtsInverted, false);
    ASSERT_TRUE(preset.flow->run("/dev/virtual"));
    EXPECT_EQ(remembered(), chosen);

    // The next dialog opens with the remembered line selected.
    Rig again(false);
    std::optional<LineChoice> shown;
    again.dialogs.push_back({[&](Dialog& d) { shown = d.selectedLine(); }, clickCancel});
    EXPECT_FALSE(again.flow->run());
    ASSERT_TRUE(shown);
    EXPECT_EQ((std::tuple{shown->device, shown->mode, shown->echo}), chosen);
}

// A device server on the network: chosen in the dialog, BAD while it is off, polled again by
// itself once it is back.
TEST(Startup, NetworkLineGoesBadWhileTheServerIsOffAndRecovers) {
    Rig rig;
    TcpServer server(rig.bus);
    QString error;
    ASSERT_TRUE(server.listen(0, &error)) << qPrintable(error);
    server.start();
    const quint16 port = server.port();
    rig.dialogs.push_back(
        {[port](Dialog& d) {
             Find<QGroupBox>(&d, "fraNetwork")->setChecked(true);
             Find<QLineEdit>(&d, "txtNetwork")->setText(QString("127.0.0.1:%1").arg(port));
             EXPECT_FALSE(Find<QGroupBox>(&d, "Frame1")->isEnabled());
         },
         clickOk});
    ASSERT_TRUE(rig.flow->run());
    EXPECT_EQ(rig.opened, QStringList{QString("tcp://127.0.0.1:%1").arg(port)});
    QLabel* com = Find<QLabel>(rig.flow->mainWindow(), "lblCom");
    ASSERT_TRUE(WaitFor([&] { return com->text() == "GOOD"; }, 10000));

    server.stop();
    ASSERT_TRUE(WaitFor([&] { return com->text() == "BAD"; }, 10000));
    ASSERT_TRUE(server.listen(port, &error)) << qPrintable(error);
    server.start();
    EXPECT_TRUE(WaitFor([&] { return com->text() == "GOOD"; }, 10000));
}

} // namespace
} // namespace fh::test
