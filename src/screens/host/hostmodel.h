#pragma once
// The host's state for the whole run, apart from any window: the detector record and the
// poll cycle that feeds it, the operator's commands on the line and their results, tuning,
// both logs and their timers, the maintenance gate and the message line. It implements the
// screens' context; the main screen and every screen opened from it are views of it.
#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "logging/logclock.h"
#include "logging/statuslog.h"
#include "logging/sumslog.h"
#include "operations/lineoperation.h"
#include "operations/setupopen.h"
#include "screens/common/screencontext.h"
#include "screens/host/messageline.h"

#include <QObject>
#include <QPointer>

namespace fh {

class ClockTimer;
class LineWorker;
class Prompts;

class HostModel : public QObject, public ScreenContext {
    Q_OBJECT
public:
    static constexpr int BitMessageMs = 4000;
    static constexpr int LogMinuteMs = 60000;
    static constexpr int LogRetryMs = 5000;
    static constexpr int TuningMaxFailures = 22; // tuning ends on the failure after this many
    static constexpr quint8 MaxAddress = 247;
    static constexpr int FirstReplySettleMs = 150; // quiet line after the first, unread command

    // The worker must outlive the model. The log clock gives the logs and the message line
    // their date and time texts; the clock runs the model's timers (tests pass virtual time).
    HostModel(LineWorker& worker, Prompts& prompts, QString dataDir, LogClock logClock = {},
              Clock& clock = SteadyClock::instance(), QObject* parent = nullptr);
    ~HostModel() override;

    // Start-up: opens the port, sets the start values and reads or creates the tuning file.
    // False when the port cannot be opened (errorText says why); the tuning file stays
    // untouched then.
    bool load(QString* errorText = nullptr);
    // First call: one status command without waiting for its reply, then the poll cycle;
    // later calls make the cycle poll the current target at once.
    void activate();
    bool loaded() const { return loaded_; }

    // Operator commands. The reads and the BIT go out only on a good link and one at a time.
    void toggleMasterMode();
    void stepAddress(int by); // clamped to 1..247; ends master mode
    void requestBit();
    void requestAddressRead();
    void requestSetupRead();
    void startTuning();
    void startStatusLog(int period);
    void stopStatusLog();
    // The status log's minute tick (also run by its timer).
    void statusLogMinute();

    // What the main screen shows.
    const StatusDisplay& display() const { return display_; }
    QString replyHex() const { return replyHex_; }
    bool polledOnce() const { return polledOnce_; }
    bool bitMessageShown() const { return bitShown_; }
    // What the detector answered after its command code, when it showed a fault ("" else).
    QString bitAnswer() const { return bitAnswer_; }
    bool tuning() const { return tuning_; }
    int tuningFailures() const { return tuningFailures_; }
    int turnaroundDelay() const { return turnaroundDelay_; }
    QString tuningFile() const { return tuningFile_; }
    bool commandBusy() const;
    // Why BIT, Setup and new Address cannot act now; "" when they can.
    QString commandRefusal() const;
    QByteArray pollFrame() const;
    MessageLine& messages() { return messages_; }
    StatusLog& statusLog() { return statusLog_; }
    ClockTimer* statusLogTimer() const { return logMinute_; }
    Clock& clock() override { return clock_; }
    // The main screen's window: parent of the screens opened from it; whether it is on
    // screen goes into the status log's records.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    // ScreenContext
    LineWorker& worker() override { return worker_; }
    Prompts& prompts() override { return prompts_; }
    const DetectorRecord& detector() const override { return record_; }
    QString addressText() const override { return display_.addressText; }
    void setAddress(quint8 address) override;
    void tell(const QString& text) override { note(text); }
    void holdLine(bool held) override { held ? hold() : release(); }
    bool linkGood() const override { return record_.LinkGood; }
    void unlockMaintenance() override;
    bool maintenanceUnlocked() const override { return maintenanceUnlocked_; }
    MaintenanceReadings& maintenanceReadings() override { return readings_; }
    SumsLog& sumsLog() override { return sumsLog_; }
    QString dataDir() const override { return dataDir_; }
    void screenClosed() override;
    QWidget* mainWindow() override { return mainWindow_; }

signals:
    // Anything the main screen shows has changed.
    void changed();
    // The setup screen's opening is over: it opens with the snapshot, or says why not.
    void setupRead(const fh::SetupOpening& opening);
    // The presence read was answered: time for the new-address dialog.
    void addressRead();
    // A screen opened from the main screen has closed: the main screen shows again.
    void screenReturned();

private:
    void cycleResult(const Exchange& x);
    void commandResult(const Exchange& x);
    void applyPoll(const Exchange& x, bool tuningPoll);
    void tuningPollFailed();
    void showAddress();
    void setMasterMode(bool on);
    void restartCycle();
    void submitTuningPoll();
    void bitMessageOver();
    void hold();
    void release();
    void writeLogRecord();
    void afterLogWrite();
    void note(const QString& text, const QString& topic = {});
    // A state on the message line: shown while it holds, gone once text is "".
    void noteState(const QString& text, const QString& topic);
    void targetChanged(quint8 addressBefore);
    bool refused(const QString& command);
    void noteUnanswered(const QString& command, const Exchange& x);
    void bitResult(const Exchange& x);
    void noteTuning(const QString& text);

    LineWorker& worker_;
    Prompts& prompts_;
    QString dataDir_;
    Clock& clock_;
    LogClock logClock_;
    DetectorRecord record_;
    MaintenanceReadings readings_;
    StatusLog statusLog_;
    SumsLog sumsLog_;
    MessageLine messages_;
    StatusDisplay display_;
    QString replyHex_;
    QString bitAnswer_;
    QString tuningFile_;
    QPointer<QWidget> mainWindow_;
    ClockTimer* bitTimer_;
    ClockTimer* logMinute_;
    ClockTimer* logRetry_; // retries kept log records while the file refuses them
    int turnaroundDelay_ = 4000;
    int tuningFailures_ = 0;
    int holdCount_ = 0;
    quint64 bitId_ = 0;
    quint64 addrId_ = 0;
    std::optional<SetupOpen> setupOpen_;
    OperationDriver setupRun_;
    quint64 tuningId_ = 0;
    quint64 writeId_ = 0;   // a confirmed write some screen has on the line
    quint8 bitAddress_ = 0; // where the BIT went
    bool unheard_ = true;   // no poll has ended at the current target yet
    bool portOpen_ = true;
    bool tuning_ = false;
    bool loaded_ = false;
    bool activated_ = false;
    bool polledOnce_ = false;
    bool bitShown_ = false;
    bool maintenanceUnlocked_ = false;
};

} // namespace fh
