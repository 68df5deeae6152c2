#pragma once
// What the screens opened from the main screen need of it: the line, the prompts, the
// detector being worked on, the state that outlives them, and the way back. The main screen
// implements it; screen tests implement it over the simulated bus.
#include <QString>
#include <QtGlobal>

class QWidget;

namespace fh {

class Clock;
class LineWorker;
class Prompts;
class SumsLog;
struct DetectorRecord;
struct MaintenanceReadings;

class ScreenContext {
public:
    virtual ~ScreenContext() = default;

    virtual LineWorker& worker() = 0;
    virtual Prompts& prompts() = 0;
    // The detector the main screen shows (Address, ModelName, SerialNumber, ...).
    virtual const DetectorRecord& detector() const = 0;
    // The main screen's address display, as shown.
    virtual QString addressText() const = 0;
    // A new bus address: the main screen shows it and polls it from now on.
    virtual void setAddress(quint8 address) = 0;
    // A line for the main screen's message line (what a screen did, once it has closed).
    virtual void tell(const QString& text) = 0;
    // Holds the poll cycle off the line (counted: each true needs its false), so the steps of
    // an operation follow each other.
    virtual void holdLine(bool held) = 0;
    // The main screen's link lamp is green.
    virtual bool linkGood() const = 0;
    // The right password was given: the maintenance button shows for the rest of the run.
    virtual void unlockMaintenance() = 0;
    virtual bool maintenanceUnlocked() const = 0;
    // Single instances for the whole run.
    virtual MaintenanceReadings& maintenanceReadings() = 0;
    virtual SumsLog& sumsLog() = 0;
    virtual QString dataDir() const = 0;
    // A screen opened from the main screen has closed, whichever way: the main screen shows
    // again and its poll cycle resumes.
    virtual void screenClosed() = 0;
    virtual QWidget* mainWindow() = 0;
    // The time the screens' timers run on (virtual in tests).
    virtual Clock& clock() = 0;
};

} // namespace fh
