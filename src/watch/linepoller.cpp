#include "watch/linepoller.h"

#include "detector/busscan.h"
#include "detector/models.h"
#include "detector/replycheck.h"
#include "link/requests.h"

#include <algorithm>
#include <QDateTime>

namespace fh::watch {

namespace {

// One exchange waits in the worker's queue while another is on the line, so the line never
// idles for the hop between threads.
constexpr size_t InFlight = 2;
constexpr int LastAddress = 247;
// As the bus overview scans: the window opens at hand-over, so it covers the request too.
constexpr int ScanFirstByteMs = 60;

qint64 wallMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

LinePoller::LinePoller(LineConfig config, LineWorker::PortFactory factory, Clock& clock,
                       QObject* parent)
    : QObject(parent), config_(std::move(config)), clock_(clock) {
    CheckOptions check;
    check.acceptBadCheck = config_.acceptBadCheck;
    worker_ = std::make_unique<LineWorker>(std::move(factory), MakeReplyChecker(check), clock_);
    worker_->setLineMode(config_.mode);
    worker_->setEcho(config_.echo);
    worker_->setTurnaroundDelay(config_.turnaroundUs);
    connect(worker_.get(), &LineWorker::commandDone, this, &LinePoller::onDone);
    connect(worker_.get(), &LineWorker::portStateChanged, this, &LinePoller::onPortState);
    connect(worker_.get(), &LineWorker::notice, this, &LinePoller::notice);
    if (config_.scan)
        scanNext_ = 1;
    for (int address : config_.detectors)
        addDetector(address);
}

LinePoller::~LinePoller() = default;

void LinePoller::start() {
    worker_->openPortRetrying();
}

void LinePoller::requestStop() {
    worker_->requestStop();
}

bool LinePoller::waitStopped(QDeadlineTimer deadline) {
    return worker_->wait(deadline);
}

void LinePoller::addDetector(int address) {
    DetectorState d;
    d.line = config_.name;
    d.address = address;
    detectors_[address] = d;
    order_ << address;
}

void LinePoller::onPortState(bool open, const QString& message) {
    lineUp_ = open;
    lineMessage_ = message;
    emit lineStateChanged(open, message);
    paused_ = !open;
    if (open) {
        fill();
        return;
    }
    // A lost line shows every detector on it as down, never as its last good state.
    const qint64 now = wallMs();
    for (auto& [address, d] : detectors_)
        if (ApplyNoReply(d, now))
            emit stateChanged(d);
}

void LinePoller::count(const Exchange& x) {
    ++counters_.polls;
    if (x.verdict.fault == ReplyFault::NoReply)
        ++counters_.timeouts;
    else if (!x.answered)
        ++counters_.faults[size_t(x.verdict.fault)];
}

void LinePoller::onDone(const Exchange& x) {
    const auto it = inFlight_.find(x.id);
    if (it == inFlight_.end())
        return;
    const Job job = it->second;
    inFlight_.erase(it);
    if (x.portError) {
        // The line is gone; portStateChanged follows. A scan goes on where it was cut off.
        paused_ = true;
        if (job.kind == Kind::Scan)
            scanNext_ = std::min(scanNext_, job.address);
        return;
    }
    const qint64 now = wallMs();
    switch (job.kind) {
    case Kind::Scan: {
        // The bus overview's and the command line's rule: a detector only with a proper status
        // reply from the very address polled; anything else there is told, never listed.
        const ScanJudgement j = JudgeScanPoll(x);
        if (j.finding == ScanFinding::Detector) {
            found_ << job.address;
            addDetector(job.address);
            DetectorState& d = detectors_[job.address];
            ApplyStatusReply(d, x.reply, now);
            emit stateChanged(d);
        } else if (j.finding != ScanFinding::Silent) {
            emit notice(
                QStringLiteral("scan: address %1: %2").arg(job.address).arg(ScanProblemText(j)));
        }
        break;
    }
    case Kind::Status: {
        count(x);
        DetectorState& d = detectors_[job.address];
        goodPolls_ += x.answered ? 1 : 0;
        if (x.answered ? ApplyStatusReply(d, x.reply, now) : ApplyNoReply(d, now))
            emit stateChanged(d);
        break;
    }
    case Kind::Readings: {
        count(x);
        DetectorState& d = detectors_[job.address];
        if (x.answered)
            ApplyReadingsReply(d, x.reply, now);
        else
            d.readings.reset();
        if (d.readings)
            emit readingsTaken(d);
        break;
    }
    }
    const bool scanInFlight = std::any_of(inFlight_.begin(), inFlight_.end(), [](const auto& j) {
        return j.second.kind == Kind::Scan;
    });
    if (scanNext_ > LastAddress && !scanInFlight) {
        // An empty line is scanned again: its detectors may be powered up after the service.
        scanNext_ = found_.isEmpty() ? 1 : 0;
        if (!found_.isEmpty())
            emit scanFinished(found_);
    }
    fill();
}

void LinePoller::fill() {
    while (!paused_ && inFlight_.size() < InFlight) {
        const auto job = nextJob();
        if (!job)
            return;
        // The result comes queued to this thread, so it cannot arrive before it is listed.
        inFlight_[worker_->submit(transaction(*job))] = *job;
    }
}

std::optional<LinePoller::Job> LinePoller::nextJob() {
    if (scanNext_ > 0)
        return scanNext_ <= LastAddress ? std::optional(Job{Kind::Scan, scanNext_++})
                                        : std::nullopt;
    if (order_.isEmpty())
        return std::nullopt;
    // At most one readings request between two status polls, so a period that comes due for
    // many detectors at once does not stall the status of the others.
    if (!lastWasReadings_ && config_.readingsPeriodS > 0) {
        const qint64 now = clock_.nowUs();
        for (int address : order_) {
            if (!detectors_.at(address).up)
                continue;
            qint64& due = nextReadingsUs_[address];
            if (now >= due) {
                due = now + qint64(config_.readingsPeriodS) * 1'000'000;
                lastWasReadings_ = true;
                return Job{Kind::Readings, address};
            }
        }
    }
    lastWasReadings_ = false;
    const int address = order_[next_];
    next_ = (next_ + 1) % int(order_.size());
    return Job{Kind::Status, address};
}

Transaction LinePoller::transaction(const Job& job) const {
    Transaction t;
    t.pattern = Pattern::Poll;
    const auto address = quint8(job.address);
    t.frame = job.kind == Kind::Readings ? ReadInputs(address, detectors_.at(job.address).model)
                                         : SendCommand(address, cmd::Status);
    t.fastReply = config_.fastReplies || job.kind == Kind::Scan;
    if (job.kind == Kind::Scan)
        t.firstByteMs = ScanFirstByteMs;
    return t;
}

} // namespace fh::watch
