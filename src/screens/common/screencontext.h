#pragma once
// What the screens opened from the main screen need of it: the line, the prompts, the
// detector being worked on, the state that outlives them, and the way back. HostContext
// (screens/main/hostcontext.h) implements it over the host model's parts, with the main
// screen as the main window; screen tests use it over the simulated bus.
#include <QString>
#include <QtGlobal>

class QWidget;

namespace fh {

class Clock;
class LineWorker;
class MaintenanceGate;
class MaintenanceModel;
class Prompts;
struct DetectorRecord;

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
    // The password gate of the maintenance screen, for the whole run.
    virtual MaintenanceGate& maintenanceGate() = 0;
    // The maintenance readings and the sums log, for the whole run.
    virtual MaintenanceModel& maintenance() = 0;
    virtual QString dataDir() const = 0;
    // A screen opened from the main screen has closed, whichever way: the main screen shows
    // again and its poll cycle resumes.
    virtual void screenClosed() = 0;
    virtual QWidget* mainWindow() = 0;
    // The time the screens' timers run on (virtual in tests).
    virtual Clock& clock() = 0;
};

} // namespace fh
