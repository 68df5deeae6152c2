#pragma once
// The main screen: shows the detector at the current bus address, polls it through the line
// worker's cycle, and starts everything else (BIT, master mode, address stepping, setup, new
// address, maintenance, the status log and its viewer).
#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "link/exchange.h"
#include "logging/logclock.h"
#include "logging/statuslog.h"
#include "logging/sumslog.h"
#include "screens/common/screencontext.h"
#include "screens/main/screenopeners.h"

#include <functional>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QLabel;
class QPushButton;
class QTimer;

namespace fh {

class LampShape;
class LineWorker;
class Prompts;

// Texts of the main screen.
inline const QString MainWindowTitle = QStringLiteral("Ostrix Q519300F June 2005 ");
inline const QString ProgramTitle = QStringLiteral("flamehost");
inline const QString BitPerformedText = QStringLiteral("BIT is performed!");
inline const QString ExitQuestion = QStringLiteral("Are you sure to exit program?");
inline const QString ExitTitle = QStringLiteral("EXIT PROGRAM");
inline const QString MissingLogText =
    QStringLiteral("File does not exsist - First record to a file and then open it!");
inline const QString MissingLogTitle = QStringLiteral("MISSING FILE");
inline const QString LogPeriodPrompt = QStringLiteral("Enter LogFile Period in minutes(1..255)");

class frmMain : public QMainWindow, public ScreenContext {
    Q_OBJECT
public:
    static constexpr int BitMessageMs = 4000;
    static constexpr int LogMinuteMs = 60000;
    static constexpr int BlinkMs = 1000;
    static constexpr int TuningMaxFailures = 22; // tuning ends on the failure after this many
    static constexpr quint8 MaxAddress = 247;
    static constexpr int FirstReplySettleMs = 150; // quiet line after the first, unread command

    // The worker is opened by Form_Load and must outlive this screen. The log clock gives the
    // logs their date and time texts (tests fix it).
    frmMain(LineWorker& worker, Prompts& prompts, QString dataDir, QWidget* parent = nullptr);
    frmMain(LineWorker& worker, Prompts& prompts, QString dataDir, LogClock logClock,
            QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up steps: opens the port, sets the start values, shows the screen and reads or
    // creates the tuning file. False when the port cannot be opened (errorText says why); the
    // screen then stays hidden and the tuning file untouched.
    bool Form_Load(QString* errorText = nullptr);
    // First activation: one status command without waiting for its reply, then the poll
    // cycle; later activations make the cycle poll the current target at once.
    void Form_Activate();

    void cmdSearch_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdBIT_Click();
    void cmdChangeAddr_Click();
    void cmdSetio_Click();
    void cmdMaintenance_Click();
    void cmdShowLog_Click();
    void cmdLog_Click();
    void cmdE_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    // Typed characters (either case) and keys, whatever control has the focus. True when
    // the key was taken.
    bool Form_KeyPress(QChar c);
    bool Form_KeyDown(int key);

    // Start values.
    bool TuningMode = false;
    quint8 TuningFailures = 0;
    qint16 TurnaroundDelay = 4000;
    QString TuningFile;
    bool BlinkPhase = false; // lblLogOn's blink; never reset during a run

    QPushButton* cmdShowLog = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdMaintenance = nullptr;
    QPushButton* cmdChangeAddr = nullptr;
    QPushButton* cmdBIT = nullptr;
    QPushButton* cmdSetio = nullptr;
    QPushButton* cmdLog = nullptr;
    QPushButton* cmdE = nullptr;
    QLabel* lblChooseAddr = nullptr;
    QLabel* lblDetType = nullptr;
    QLabel* lblserNum = nullptr;
    QLabel* lblDetStatus = nullptr;
    QLabel* lblCom = nullptr;
    LampShape* Shape1 = nullptr;
    QLabel* lblBit = nullptr;
    QLabel* lblLogOn = nullptr;
    QLabel* lblF12 = nullptr;
    QLabel* lblType = nullptr;
    QLabel* lblSta = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblSerial = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* tmrBit = nullptr;    // how long "BIT is performed!" stays, the line held meanwhile
    QLabel* lblNotice = nullptr; // the program's own warnings, in the status line
    QLabel* lblReply = nullptr;  // the last status reply in hex (hidden; lblCom's tooltip)

    // Warnings shown in the status line (tuning file, logs, port without RTS, device gone).
    const QStringList& notices() const { return notices_; }
    StatusLog& statusLog() { return statusLog_; }
    // Where the opened screens come from; tests may replace them before using the buttons.
    ScreenOpeners openers;
    // What Exit and closing the window do: end the program. Tests replace it.
    std::function<void()> exitProgram;
    // The current poll request (the status command to Address, or to 0 in master mode).
    QByteArray pollFrame() const;
    // A BIT, a presence or setup read, or tuning is under way: other commands wait for it.
    bool commandBusy() const;

    // ScreenContext
    LineWorker& worker() override { return worker_; }
    Prompts& prompts() override { return prompts_; }
    const DetectorRecord& detector() const override { return record_; }
    QString addressText() const override;
    void setAddress(quint8 address) override;
    bool linkGood() const override { return record_.LinkGood; }
    void unlockMaintenance() override;
    bool maintenanceUnlocked() const override { return maintenanceUnlocked_; }
    MaintenanceReadings& maintenanceReadings() override { return readings_; }
    SumsLog& sumsLog() override { return sumsLog_; }
    QString dataDir() const override { return dataDir_; }
    void screenClosed() override;
    QWidget* mainWindow() override { return this; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override; // Form_Unload: the program ends

private:
    void build();
    void addNotice(const QString& text);
    void setLogNotice(const QString& text);
    void cycleResult(const Exchange& x);
    void commandResult(const Exchange& x);
    void applyPoll(const Exchange& x, bool tuningPoll);
    void showDisplay(const StatusDisplay& d);
    void setMasterMode(bool on);
    void showAddress();
    void restartCycle();
    void submitTuningPoll();
    void bitMessageOver();
    void hold();
    void release();
    void writeLogRecord();
    void afterLogWrite();
    QWidget* track(QWidget* screen);

    LineWorker& worker_;
    Prompts& prompts_;
    QString dataDir_;
    DetectorRecord record_;
    MaintenanceReadings readings_;
    StatusLog statusLog_;
    SumsLog sumsLog_;
    QTimer* tmrLogRetry_ = nullptr; // retries kept log records while the file refuses them
    bool loaded_ = false;
    bool activated_ = false;
    bool maintenanceUnlocked_ = false;
    bool destroying_ = false;
    int holdCount_ = 0;
    quint64 bitId_ = 0;
    quint64 addrId_ = 0;
    quint64 setupId_ = 0;
    quint64 tuningId_ = 0;
    QStringList notices_;
    QString logNotice_;
    QList<QPointer<QWidget>> screens_; // opened from here; closed with the main screen
};

} // namespace fh
