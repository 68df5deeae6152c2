#pragma once
// Everything of a run that outlives a window, in parts the screens observe: the detector link
// and its poll, the operator's commands on it, the line's tuning, the status log, the
// maintenance readings with the sums log, the maintenance gate and the message line. No part
// knows a widget; the screens tell them what is in front.
#include "link/clock.h"
#include "logging/logclock.h"
#include "screens/host/detectorcommands.h"
#include "screens/host/detectorlink.h"
#include "screens/host/linetuning.h"
#include "screens/host/maintenancegate.h"
#include "screens/host/maintenancemodel.h"
#include "screens/host/messageline.h"
#include "screens/host/timedlog.h"

#include <QObject>

namespace fh {

class LineWorker;

class HostModel : public QObject {
    Q_OBJECT
public:
    // The worker must outlive the model. The log clock gives the logs and the message line
    // their date and time texts; the clock runs the timers (tests pass virtual time).
    HostModel(LineWorker& worker, QString dataDir, LogClock logClock = {},
              Clock& clock = SteadyClock::instance(), QObject* parent = nullptr);
    ~HostModel() override;

    // Start-up: opens the port, then reads or creates the tuning file. False when the port
    // cannot be opened (errorText says why); the tuning file stays untouched then.
    bool load(QString* errorText = nullptr);
    bool loaded() const { return loaded_; }
    // Once loaded: the poll cycle starts (or, coming back, polls the current target at once).
    void activate();
    // A screen opened from the main screen has closed, whichever way: the main screen's poll
    // takes the line again and the main screen shows.
    void screenClosed();

    DetectorLink& link() { return link_; }
    DetectorCommands& commands() { return commands_; }
    LineTuning& tuning() { return tuning_; }
    StatusLogging& statusLog() { return statusLog_; }
    MaintenanceModel& maintenance() { return maintenance_; }
    MaintenanceGate& maintenanceGate() { return gate_; }
    MessageLine& messages() { return messages_; }

    LineWorker& worker() { return worker_; }
    Clock& clock() { return clock_; }
    QString dataDir() const { return dataDir_; }

signals:
    // A screen opened from the main screen has closed: the main screen shows again.
    void screenReturned();

private:
    LineWorker& worker_;
    QString dataDir_;
    Clock& clock_;
    MessageLine messages_;
    DetectorLink link_;
    LineTuning tuning_;
    DetectorCommands commands_;
    StatusLogging statusLog_;
    MaintenanceModel maintenance_;
    MaintenanceGate gate_;
    bool loaded_ = false;
};

} // namespace fh
