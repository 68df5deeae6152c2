#pragma once
// What the log viewer draws of a log, gathered while the log is read: per detector the sums
// of each logging run (through envelopes, so a log of any length gives a bounded number of
// points) with the status changes, or the status letter over time. No widgets: a worker
// thread fills it batch by batch.
#include "logging/logreader.h"
#include "screens/charts/envelope.h"

#include <array>
#include <map>
#include <QString>
#include <vector>

namespace fh {

// A status letter from a time on, in the status log ('D': the link was lost) or a change of
// the status in the sums log.
struct StatusChange {
    qint64 ms = 0; // local wall time as written, since the epoch
    char status = 0;
    double sum4 = 0; // sums log: where the mark goes
};

struct DetectorTrace {
    quint8 address = 0;
    std::optional<quint16> serial; // the status log: the last serial heard at this address
    qint64 records = 0;
    qint64 firstMs = 0, lastMs = 0;
    // Sums log: per logging run, SUM4, SUM45 and SUM5.
    std::map<int, std::array<Envelope, 3>> runs;
    // Status changes, the first MaxChanges of them; the rest are only counted.
    std::vector<StatusChange> changes;
    qint64 changesLeftOut = 0;
    char lastStatus = 0;
    // "5 (serial 1234)"; "5" without a serial.
    QString label() const;
};

class LogDigest {
public:
    static constexpr qsizetype PointsPerRun = 1000; // per sum and run
    static constexpr size_t MaxChanges = 20000;     // per detector
    static constexpr size_t KeptUnreadable = 200;   // their lines and reasons shown

    void add(const LogBatch& batch, LogKind kind);
    // The sums log's detectors by address and serial; the status log's by address (a lost
    // link writes no serial).
    const std::vector<DetectorTrace>& detectors() const { return detectors_; }
    LogKind kind() const { return kind_; }
    qint64 unreadableCount() const { return unreadableCount_; }
    const std::vector<UnreadableLine>& unreadable() const { return unreadable_; }
    qint64 records() const { return records_; }
    QString error; // the file could not be read

private:
    DetectorTrace& traceFor(const LogRecord& r);

    LogKind kind_ = LogKind::Unknown;
    std::vector<DetectorTrace> detectors_;
    std::map<std::pair<int, int>, size_t> index_; // (address, serial or -1) -> detector
    std::vector<UnreadableLine> unreadable_;
    qint64 unreadableCount_ = 0;
    qint64 records_ = 0;
};

// "3 lines could not be read"; empty for none.
QString UnreadableText(qint64 count);

} // namespace fh
