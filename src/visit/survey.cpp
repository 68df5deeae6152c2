#include "visit/survey.h"

#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "visit/addresslist.h"

namespace fh::visit {

namespace {

constexpr int FirstAddress = 1;
constexpr int LastAddress = 247;

const QString LineLost = QStringLiteral("line lost");
const QString Cancelled = QStringLiteral("cancelled");

// Something that answered a scan poll, though not properly, is a detector to read: a garbled
// one is listed as not read rather than left out. A well-formed reply from another address
// is a late answer of a neighbour, and an echo is our own request.
bool worthReading(const Exchange& x) {
    if (x.answered)
        return true;
    switch (x.verdict.fault) {
    case ReplyFault::BadCheck:
    case ReplyFault::WrongLength:
    case ReplyFault::OtherFunction:
    case ReplyFault::OtherCommand:
    case ReplyFault::Exception:
        return x.collected;
    default:
        return false;
    }
}

QString reasonFor(const Exchange& x, ReadStep step) {
    if (!x.collected)
        return QStringLiteral("no answer");
    if (!x.verdict.ok())
        return ReplyFaultText(x.verdict);
    return QStringLiteral("the reply did not hold the %1").arg(StepPart(step));
}

} // namespace

Survey::Survey(LineWorker& worker, Visit visit, SurveyPlan plan, QObject* parent)
    : QObject(parent), worker_(&worker), plan_(std::move(plan)) {
    record_.visit = std::move(visit);
    record_.visit.bitAsked = plan_.bit;
    record_.visit.addresses =
        plan_.addresses.empty()
            ? QStringLiteral("%1-%2 (scanned)").arg(FirstAddress).arg(LastAddress)
            : AddressListText(plan_.addresses);
    // Queued from the worker's thread, and gone with this object.
    connect(&worker, &LineWorker::commandDone, this, &Survey::onResult);
}

void Survey::start() {
    if (phase_ != Phase::Idle)
        return;
    record_.visit.started = plan_.now();
    if (plan_.addresses.empty()) {
        phase_ = Phase::Scanning;
        scanAddress_ = FirstAddress;
        scanNext();
    } else {
        phase_ = Phase::Reading;
        candidates_ = plan_.addresses;
        readNext();
    }
}

void Survey::cancel() {
    if (!running())
        return;
    cancelling_ = true;
    // Called from a progress slot the next request is not out yet: the survey ends when it
    // has gone round, without any request in flight.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (running() && pending_ == 0)
                finish(Cancelled);
        },
        Qt::QueuedConnection);
}

void Survey::submit(const Transaction& t) {
    if (!worker_) {
        finish(LineLost);
        return;
    }
    pending_ = worker_->submit(t);
}

void Survey::onResult(const Exchange& x) {
    if (pending_ == 0 || x.id != pending_)
        return;
    pending_ = 0;
    if (phase_ == Phase::Scanning)
        onScan(x);
    else if (phase_ == Phase::Reading)
        onStep(x);
}

void Survey::scanNext() {
    if (cancelling_)
        return finish(Cancelled);
    const int total = LastAddress - FirstAddress + 1;
    emit progress(true, scanAddress_, scanAddress_ - FirstAddress + 1, total);
    Transaction t{Pattern::Poll, SendCommand(quint8(scanAddress_), cmd::Status)};
    t.firstByteMs = plan_.scanWindowMs;
    t.fastReply = true;
    submit(t);
}

void Survey::onScan(const Exchange& x) {
    if (x.portError)
        return finish(LineLost);
    if (worthReading(x)) {
        const auto a = quint8(scanAddress_);
        candidates_.push_back(a);
        DetectorEntry& seen = scanned_[a];
        seen.address = a;
        CountReplyFault(x, &seen);
    }
    if (++scanAddress_ <= LastAddress)
        return scanNext();
    phase_ = Phase::Reading;
    readNext();
}

void Survey::readNext() {
    if (cancelling_)
        return finish(Cancelled);
    if (current_ >= candidates_.size())
        return finish({});
    const quint8 a = candidates_[current_];
    entry_ = scanned_.count(a) ? scanned_[a] : DetectorEntry{};
    entry_.address = a;
    steps_ = {ReadStep::Status, ReadStep::Firmware, ReadStep::Setup};
    // BIT before the readings, so the BIT sums read are this test's.
    if (plan_.bit)
        steps_.push_back(ReadStep::Bit);
    if (plan_.readings)
        steps_.push_back(ReadStep::Readings);
    step_ = 0;
    attempt_ = 0;
    emit progress(false, a, int(current_) + 1, int(candidates_.size()));
    startStep();
}

void Survey::startStep() {
    const ReadStep step = steps_[step_];
    const QString model = entry_.identity ? entry_.identity->model : QString();
    ++attempt_;
    if (step == ReadStep::Bit)
        entry_.bit.time = plan_.now();
    submit(StepTransaction(step, entry_.address, model, plan_.firstByteMs));
}

void Survey::onStep(const Exchange& x) {
    const ReadStep step = steps_[step_];
    if (x.portError) {
        leaveDetector(LineLost);
        return finish(LineLost);
    }
    CountReplyFault(x, &entry_);
    const bool took = TakeStep(step, x, &entry_);
    if (step == ReadStep::Bit) {
        entry_.bit.outcome = took ? BitOutcome::Performed : BitOutcome::NoAnswer;
    } else if (!took && attempt_ < Attempts && !cancelling_) {
        return startStep();
    } else if (!took) {
        entry_.unread.push_back({StepPart(step), reasonFor(x, step)});
        // Without the status the model is not known, and so neither are the other requests;
        // a detector that kept silent through every attempt has stopped answering.
        if (step == ReadStep::Status || !x.collected) {
            ++step_;
            leaveDetector(step == ReadStep::Status
                              ? QStringLiteral("the status was not read")
                              : QStringLiteral("the detector stopped answering"));
            ++current_;
            return readNext();
        }
    }
    nextStep();
}

void Survey::nextStep() {
    attempt_ = 0;
    if (++step_ < steps_.size() && !cancelling_)
        return startStep();
    if (step_ < steps_.size())
        leaveDetector(Cancelled);
    else
        record_.detectors.push_back(entry_);
    ++current_;
    readNext();
}

void Survey::leaveDetector(const QString& reason) {
    for (size_t s = step_; s < steps_.size(); ++s)
        if (steps_[s] != ReadStep::Bit)
            entry_.unread.push_back({StepPart(steps_[s]), reason});
    step_ = steps_.size();
    record_.detectors.push_back(entry_);
}

void Survey::finish(const QString& interrupted) {
    if (phase_ == Phase::Done)
        return;
    if (!interrupted.isEmpty()) {
        // Detectors found but not reached are listed, so the record says what is missing.
        for (size_t i = current_; i < candidates_.size(); ++i) {
            const quint8 a = candidates_[i];
            if (!record_.detectors.empty() && record_.detectors.back().address == a)
                continue;
            DetectorEntry e = scanned_.count(a) ? scanned_[a] : DetectorEntry{};
            e.address = a;
            e.unread.push_back({StepPart(ReadStep::Status), interrupted});
            record_.detectors.push_back(e);
        }
    }
    phase_ = Phase::Done;
    record_.visit.ended = plan_.now();
    record_.visit.complete = interrupted.isEmpty();
    record_.visit.interrupted = interrupted;
    emit finished();
}

} // namespace fh::visit
