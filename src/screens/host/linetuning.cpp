#include "screens/host/linetuning.h"

#include "link/lineworker.h"
#include "screens/host/detectorlink.h"
#include "screens/host/messageline.h"

namespace fh {

namespace {
const QString TuningTopic = QStringLiteral("tuning");
} // namespace

LineTuning::LineTuning(LineWorker& worker, DetectorLink& link, MessageLine& messages,
                       QString dataDir, QObject* parent)
    : QObject(parent), worker_(worker), link_(link), messages_(messages),
      dataDir_(std::move(dataDir)) {
    connect(&worker_, &LineWorker::commandDone, this, &LineTuning::commandResult);
}

void LineTuning::note(const QString& text) {
    messages_.note(text, TuningTopic);
}

void LineTuning::load() {
    file_ = TuningFilePath(dataDir_);
    failures_ = 0;
    running_ = false;
    const TuningLoad tuning = LoadTuningFile(file_);
    delayUs_ = tuning.delayUs;
    worker_.setTurnaroundDelay(delayUs_);
    if (!tuning.warning.isEmpty())
        messages_.note(tuning.warning);
}

void LineTuning::start() {
    running_ = true;
    failures_ = 0;
    note(QString());
    // The tuning polls run one by one as commands, so each uses the delay just set.
    if (!pollId_) {
        link_.holdLine(true);
        submitPoll();
    }
    emit changed();
}

void LineTuning::submitPoll() {
    // The delay is set before the poll is queued, so the poll runs with it.
    worker_.setTurnaroundDelay(delayUs_);
    pollId_ = worker_.submit(Transaction{Pattern::Poll, link_.pollFrame()});
}

void LineTuning::commandResult(const Exchange& x) {
    if (x.id == 0 || x.id != pollId_)
        return;
    pollId_ = 0;
    if (link_.applyPoll(x)) {
        if (running_) {
            QString why;
            if (!SaveTuningFile(file_, delayUs_, &why))
                messages_.note(why);
            note(QStringLiteral("Turnaround delay set to %1 µs").arg(delayUs_));
        }
        running_ = false;
    } else if (running_) {
        delayUs_ = NextTuningDelay(delayUs_);
        if (++failures_ > MaxFailures) {
            running_ = false;
            note(QStringLiteral("No delay from %1 to %2 µs got an answer; the delay stays %3 µs")
                     .arg(DefaultTurnaroundDelay)
                     .arg(TuningMaxUs)
                     .arg(delayUs_));
        }
    }
    if (running_) {
        submitPoll();
    } else {
        // The polls after tuning use the delay it ended with.
        worker_.setTurnaroundDelay(delayUs_);
        link_.holdLine(false);
    }
    emit changed();
}

} // namespace fh
