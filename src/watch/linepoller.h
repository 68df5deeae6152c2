#pragma once
// One watched line: its line worker, and the order in which the line's detectors are asked.
// Status polls go round robin as fast as the line allows; each detector's readings are read
// at their period between them. Results are decoded here, on the owner's thread, and only
// from replies that passed the reply check.
#include "link/lineworker.h"
#include "watch/detectorstate.h"
#include "watch/watchconfig.h"

#include <array>
#include <map>
#include <memory>
#include <QDeadlineTimer>
#include <QObject>

namespace fh::watch {

struct LineCounters {
    quint64 polls = 0;    // requests answered or not (a scan's are not counted)
    quint64 timeouts = 0; // no reply within the window
    std::array<quint64, ReplyFaultKinds> faults{}; // replies the check refused, by kind
};

class LinePoller : public QObject {
    Q_OBJECT
public:
    // clock: the worker's; readings periods are measured on it.
    LinePoller(LineConfig config, LineWorker::PortFactory factory,
               Clock& clock = SteadyClock::instance(), QObject* parent = nullptr);
    ~LinePoller() override;

    // Opens the port on the worker thread, retrying each second until it opens.
    void start();
    // Stopping in two steps, so many lines can stop at once.
    void requestStop();
    bool waitStopped(QDeadlineTimer deadline);

    const LineConfig& config() const { return config_; }
    bool lineUp() const { return lineUp_; }
    QString lineMessage() const { return lineMessage_; }
    bool scanning() const { return scanNext_ > 0; }
    const std::map<int, DetectorState>& detectors() const { return detectors_; }
    const LineCounters& counters() const { return counters_; }
    // Status polls that got a good reply, for the benchmark.
    quint64 goodPolls() const { return goodPolls_; }

signals:
    // Up, status, fault, model or serial changed (also the first poll of an address).
    void stateChanged(const fh::watch::DetectorState& d);
    void readingsTaken(const fh::watch::DetectorState& d);
    void lineStateChanged(bool up, const QString& message);
    void scanFinished(const QList<int>& found);
    // Something the worker tells once (a device without RTS, an echo the settings miss).
    void notice(const QString& text);

private:
    enum class Kind { Status, Readings, Scan };
    struct Job {
        Kind kind;
        int address;
    };
    void onDone(const Exchange& x);
    void onPortState(bool open, const QString& message);
    void fill();
    std::optional<Job> nextJob();
    Transaction transaction(const Job& job) const;
    void count(const Exchange& x);
    void addDetector(int address);

    LineConfig config_;
    Clock& clock_;
    std::unique_ptr<LineWorker> worker_;
    std::map<int, DetectorState> detectors_;
    std::map<int, qint64> nextReadingsUs_;
    std::map<quint64, Job> inFlight_;
    QList<int> order_; // round-robin order of the detectors
    int next_ = 0;     // index into order_ of the next status poll
    bool lastWasReadings_ = false;
    int scanNext_ = 0; // next address to scan; 0 when not scanning
    QList<int> found_;
    bool lineUp_ = false;
    bool paused_ = true; // until the port is open
    QString lineMessage_;
    LineCounters counters_;
    quint64 goodPolls_ = 0;
};

} // namespace fh::watch
