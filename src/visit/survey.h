#pragma once
// A survey of a line: scan the addresses (or take the ones given), then read every detector
// found: status, firmware, setup, BIT when asked, readings. It submits one command at a time
// to the line worker and follows its results, so the caller's thread never waits; progress
// and the end come as signals, and cancel() ends it after the exchange in flight, with the
// record kept and marked incomplete.
#include "visit/readsteps.h"
#include "visit/record.h"

#include <functional>
#include <map>
#include <QObject>
#include <QPointer>

namespace fh {
class LineWorker;
}

namespace fh::visit {

struct SurveyPlan {
    std::vector<quint8> addresses; // empty: scan 1..247 first and read what answers
    bool bit = false;              // run BIT on each detector (it may switch relays)
    bool readings = true;          // read the maintenance readings
    int scanWindowMs = 60;         // first-byte window of each scan poll
    int firstByteMs = 600;         // first-byte window of each read
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

class Survey : public QObject {
    Q_OBJECT
public:
    // Each read is tried this often before it is recorded as not read; BIT only once, since a
    // second one would switch the relays again.
    static constexpr int Attempts = 2;

    // visit: site, technician, program and line, kept in the record as they are.
    Survey(LineWorker& worker, Visit visit, SurveyPlan plan, QObject* parent = nullptr);

    void start();
    bool running() const { return phase_ == Phase::Scanning || phase_ == Phase::Reading; }
    // The record so far; final once finished() has come.
    const SiteRecord& record() const { return record_; }

public slots:
    // Ends the survey once the exchange in flight is back; the record says "cancelled".
    void cancel();

signals:
    // scanning: the scan polls `address` (index of total addresses); else it reads the
    // detector at `address`, the index-th of total.
    void progress(bool scanning, int address, int index, int total);
    void finished();

private:
    enum class Phase { Idle, Scanning, Reading, Done };

    void onResult(const fh::Exchange& x);
    void submit(const Transaction& t);
    void scanNext();
    void onScan(const Exchange& x);
    void readNext();
    void startStep();
    void onStep(const Exchange& x);
    void nextStep();
    // The rest of the current detector's parts, as not read for this reason.
    void leaveDetector(const QString& reason);
    void finish(const QString& interrupted);

    QPointer<LineWorker> worker_;
    SurveyPlan plan_;
    SiteRecord record_;
    Phase phase_ = Phase::Idle;
    bool cancelling_ = false;
    quint64 pending_ = 0;

    int scanAddress_ = 0;
    std::vector<quint8> candidates_;
    std::map<quint8, DetectorEntry> scanned_; // what the scan poll counted, by address
    size_t current_ = 0;
    DetectorEntry entry_;
    std::vector<ReadStep> steps_;
    size_t step_ = 0;
    int attempt_ = 0;
};

} // namespace fh::visit
