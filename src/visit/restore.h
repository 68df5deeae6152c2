#pragma once
// Writing a saved setup back into a detector: read the detector's model and setup, refuse a
// model other than the saved one, say which settings would change, and only when asked write
// them through the confirmed write, read them back and compare. Like the survey it submits
// one command at a time and follows the worker's results; check() ends in checked() or
// finished(), write() in finished().
#include "link/exchange.h"
#include "visit/record.h"
#include "visit/settings.h"

#include <QObject>
#include <QPointer>

namespace fh {
class LineWorker;
}

namespace fh::visit {

// Why a saved entry cannot be written back at all (nothing read, a setting that was read
// outside its list); empty when it can.
QString RestoreRefusal(const DetectorEntry& saved);

// The registers read back that differ from those written (as "register 1: 0x2530 read,
// 0x2510 written"); empty when the write holds.
QStringList ReadBackMismatches(const QString& model, const std::vector<quint16>& written,
                               const std::vector<quint16>& readBack);

class SetupRestore : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Pending,
        Verified,        // written, acknowledged, read back the same
        Refused,         // nothing was written: another model, an unrestorable entry, ...
        NoAnswer,        // the detector did not answer a read properly
        NotAcknowledged, // no attempt of the write was acknowledged
        Mismatch,        // acknowledged, but the read-back differs
        LineLost,        // the port failed
    };

    // address: the detector to write, or 0 for the lone detector on the line (master mode).
    SetupRestore(LineWorker& worker, quint8 address, DetectorEntry saved, int firstByteMs = 600,
                 QObject* parent = nullptr);

    void check();
    // After checked(), when plan().changes is not empty.
    void write();

    // After checked(): the detector and what a write would change.
    quint8 address() const { return address_; }
    const Identity& detector() const { return detector_; }
    const std::vector<SettingChange>& changes() const { return changes_; }
    // After finished().
    Result result() const { return result_; }
    QString message() const { return message_; }
    int attempts() const { return attempts_; }
    // The confirmed write's id while it is on the line, else 0: a screen shows its attempts.
    quint64 writeId() const { return step_ == Step::Write ? pending_ : 0; }

signals:
    void checked();
    void finished();

private:
    enum class Step { Idle, Poll, ReadSetup, Write, ReadBack };
    void onResult(const fh::Exchange& x);
    void submit(Step step, const Transaction& t);
    void end(Result result, const QString& message);
    void onPoll(const Exchange& x);
    void onSetup(const Exchange& x);
    void onWrite(const Exchange& x);
    void onReadBack(const Exchange& x);
    QString noAnswer(const Exchange& x, const QString& what) const;

    QPointer<LineWorker> worker_;
    quint8 address_;
    DetectorEntry saved_;
    int firstByteMs_;
    Step step_ = Step::Idle;
    quint64 pending_ = 0;
    Identity detector_;
    SetupEntry current_;
    std::vector<quint16> written_;
    std::vector<SettingChange> changes_;
    Result result_ = Result::Pending;
    QString message_;
    int attempts_ = 0;
};

} // namespace fh::visit
