#pragma once
// The maintenance readings and what depends on them, for the whole run: the refresh that
// reads them while the maintenance screen is open, their texts as that screen shows them, the
// state of the refresh's link, and the sums log that records them.
#include "detector/maintenance.h"
#include "link/exchange.h"
#include "logging/logclock.h"
#include "screens/host/timedlog.h"

#include <QByteArray>
#include <QObject>

namespace fh {

class Clock;
class DetectorLink;
class LineWorker;

class MaintenanceModel : public QObject {
    Q_OBJECT
public:
    // How the refresh's latest exchange went in this opening.
    enum class Refresh { NotYet, Answered, Failed };

    // The worker and the link must outlive the model.
    MaintenanceModel(LineWorker& worker, const DetectorLink& link, const QString& dataDir,
                     LogClock logClock, Clock& clock, QObject* parent = nullptr);

    // The maintenance screen opens: the refresh (the inputs of the detector the main screen
    // shows) becomes the line's cycle, its answers are read, and sums records can come. A
    // screen deleted without closing closes the model as it goes.
    void open(const QObject* screen);
    // Its screen has closed: nothing more is read and the sums log's minute pauses. Giving the
    // line back to the main screen's poll is the caller's.
    void close();
    bool isOpen() const { return open_; }

    const MaintenanceReadings& readings() const { return readings_; }
    // The texts of every reading as the latest answers of this opening left them (before the
    // first: empty values, zero sums and noise).
    const MaintenanceDisplay& texts() const { return texts_; }
    Refresh refresh() const { return refresh_; }
    // "HH:mm:ss" of the latest answered refresh, "" before the first.
    QString lastHeard() const { return lastHeard_; }
    // The port's message while the port is gone and no refresh has ended since, else "".
    QString lineLost() const { return lineLost_; }

    SumsLogging& sumsLog() { return sumsLog_; }

signals:
    void changed();
    // One refresh of this opening has ended: carriedAll when it was answered with all three
    // sums and noises (readings() holds them), false for no proper answer or a short one.
    void refreshed(bool carriedAll);

private:
    void cycleResult(const Exchange& x);

    LineWorker& worker_;
    const DetectorLink& link_;
    MaintenanceReadings readings_;
    SumsLogging sumsLog_;
    MaintenanceDisplay texts_;
    QByteArray refreshFrame_; // the read of this opening
    QMetaObject::Connection screenGone_;
    QString lastHeard_;
    QString lineLost_;
    Refresh refresh_ = Refresh::NotYet;
    bool open_ = false;
};

} // namespace fh
