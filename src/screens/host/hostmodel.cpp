#include "screens/host/hostmodel.h"

#include "detector/models.h"
#include "link/clocktimer.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/tuningfile.h"

#include <QWidget>

namespace fh {

namespace {
const QString PortTopic = QStringLiteral("port");
const QString LogTopic = QStringLiteral("log");
const QString TuningTopic = QStringLiteral("tuning");
} // namespace

HostModel::HostModel(LineWorker& worker, Prompts& prompts, QString dataDir, LogClock logClock,
                     Clock& clock, QObject* parent)
    : QObject(parent), worker_(worker), prompts_(prompts), dataDir_(std::move(dataDir)),
      clock_(clock), logClock_(logClock), statusLog_(dataDir_, logClock),
      sumsLog_(dataDir_, logClock), bitTimer_(new ClockTimer(clock, this)),
      logMinute_(new ClockTimer(clock, this)), logRetry_(new ClockTimer(clock, this)) {
    bitTimer_->setSingleShot(true);
    bitTimer_->setInterval(BitMessageMs);
    connect(bitTimer_, &ClockTimer::timeout, this, &HostModel::bitMessageOver);
    logMinute_->setInterval(LogMinuteMs);
    connect(logMinute_, &ClockTimer::timeout, this, &HostModel::statusLogMinute);
    logRetry_->setInterval(LogRetryMs);
    connect(logRetry_, &ClockTimer::timeout, this, [this] {
        statusLog_.RetryPendingWrites();
        afterLogWrite();
    });

    connect(&worker_, &LineWorker::cycleDone, this, &HostModel::cycleResult);
    connect(&worker_, &LineWorker::commandDone, this, &HostModel::commandResult);
    connect(&worker_, &LineWorker::notice, this, [this](const QString& text) { note(text); });
    connect(&worker_, &LineWorker::portStateChanged, this, [this](bool open, const QString& text) {
        note(text, PortTopic);
        if (!open) {
            display_ = BadLinkState(record_);
            emit changed();
        }
    });
    auto logMessage = [this](const QString& text) { note(text, LogTopic); };
    connect(&statusLog_, &StatusLog::warning, this, logMessage);
    connect(&statusLog_, &StatusLog::recovered, this, logMessage);
    connect(&sumsLog_, &SumsLog::warning, this, logMessage);
    connect(&sumsLog_, &SumsLog::recovered, this, logMessage);
    connect(&messages_, &MessageLine::changed, this, &HostModel::changed);
}

HostModel::~HostModel() = default;

void HostModel::note(const QString& text, const QString& topic) {
    // The message line's time is the wall's, as in the logs.
    messages_.add(logClock_.now().time().toString(QStringLiteral("HH:mm:ss")), text, topic);
}

void HostModel::noteTuning(const QString& text) {
    note(text, TuningTopic);
}

// --- start-up and activation -------------------------------------------------------------

bool HostModel::load(QString* errorText) {
    // The port: the worker opens the chosen device at 9600 8N1 and reports every
    // transmission's end by itself.
    QString why;
    if (!worker_.openPort(&why)) {
        if (errorText)
            *errorText = why;
        return false;
    }
    // Start values: both logs off and the maintenance gate closed (as constructed), master
    // mode and tuning off, the default delay until the tuning file says otherwise.
    tuningFile_ = TuningFilePath(dataDir_);
    turnaroundDelay_ = DefaultTurnaroundDelay;
    tuningFailures_ = 0;
    record_.MasterMode = false;
    tuning_ = false;
    // The tuning file: read, or created with the default.
    const TuningLoad tuning = LoadTuningFile(tuningFile_);
    turnaroundDelay_ = tuning.delayUs;
    worker_.setTurnaroundDelay(turnaroundDelay_);
    if (!tuning.warning.isEmpty())
        note(tuning.warning);
    loaded_ = true;
    return true;
}

void HostModel::activate() {
    if (!loaded_)
        return;
    if (activated_) {
        restartCycle();
        return;
    }
    activated_ = true;
    // The first command goes out unanswered; its reply is left to die away before the first
    // poll, which would otherwise collect the tail of it as the start of its own reply.
    Transaction first{Pattern::SendOnly, SendCommand(record_.Address, cmd::Status)};
    first.holdAfterMs = FirstReplySettleMs;
    worker_.submit(first);
    restartCycle();
}

// --- the poll cycle ----------------------------------------------------------------------

QByteArray HostModel::pollFrame() const {
    return SendCommand(record_.MasterMode ? 0 : record_.Address, cmd::Status);
}

void HostModel::restartCycle() {
    if (!activated_)
        return;
    worker_.setCycle(Transaction{Pattern::Poll, pollFrame()});
}

void HostModel::cycleResult(const Exchange& x) {
    // Only our own status poll for the current target counts: the maintenance screen's
    // refresh, and a poll sent before the target changed, are not ours to show.
    if (x.request != pollFrame())
        return;
    applyPoll(x, false);
}

void HostModel::applyPoll(const Exchange& x, bool tuningPoll) {
    polledOnce_ = true;
    if (!(x.answered && StatusReplyComplete(x.reply))) {
        display_ = BadLinkState(record_);
        if (tuningPoll && tuning_)
            tuningPollFailed();
        emit changed();
        return;
    }
    display_ = DecodeStatusReply(x.reply, record_);
    replyHex_ = QString::fromLatin1(x.reply.toHex(' ').toUpper());
    if (DetectStatusChange(record_, x.reply))
        writeLogRecord();
    if (tuningPoll && tuning_) {
        QString why;
        if (!SaveTuningFile(tuningFile_, turnaroundDelay_, &why))
            note(why);
        noteTuning(QStringLiteral("Turnaround delay set to %1 µs").arg(turnaroundDelay_));
    }
    if (tuningPoll)
        tuning_ = false;
    emit changed();
}

void HostModel::tuningPollFailed() {
    turnaroundDelay_ = NextTuningDelay(turnaroundDelay_);
    ++tuningFailures_;
    if (tuningFailures_ > TuningMaxFailures) {
        tuning_ = false;
        noteTuning(QStringLiteral("No delay from %1 to %2 µs got an answer; the delay stays "
                                  "%3 µs")
                       .arg(DefaultTurnaroundDelay)
                       .arg(TuningMaxUs)
                       .arg(turnaroundDelay_));
    }
}

// --- commands on the line ----------------------------------------------------------------

bool HostModel::commandBusy() const {
    return bitId_ || addrId_ || setupRun_.running() || tuningId_ || bitShown_;
}

void HostModel::hold() {
    if (holdCount_++ == 0)
        worker_.setHeld(true);
}

void HostModel::release() {
    if (holdCount_ > 0 && --holdCount_ == 0)
        worker_.setHeld(false);
}

void HostModel::requestBit() {
    if (!record_.LinkGood || commandBusy())
        return;
    // The line stays free of polls from here until the message has gone.
    hold();
    bitId_ =
        worker_.submit(Transaction{Pattern::ButtonRead, SendCommand(record_.Address, cmd::Bit)});
}

void HostModel::requestAddressRead() {
    if (!record_.LinkGood || commandBusy())
        return;
    addrId_ = worker_.submit(Transaction{Pattern::ButtonRead, ReadAddr(record_.Address)});
}

void HostModel::requestSetupRead() {
    if (!record_.LinkGood || commandBusy())
        return;
    // For the model a status reply confirms now, not the one on display: a poll that failed a
    // moment ago has emptied that, and another detector may have taken the address.
    hold();
    setupOpen_.emplace(record_.Address, record_.MasterMode);
    setupRun_.start(worker_, *setupOpen_);
}

void HostModel::commandResult(const Exchange& x) {
    if (x.id == 0)
        return;
    if (x.id == bitId_) {
        bitId_ = 0;
        // Only this exchange's own echo counts: an older reply never reports a BIT.
        if (x.answered && BitPerformed(x.reply)) {
            bitShown_ = true;
            bitTimer_->start();
            emit changed();
        } else {
            release();
        }
    } else if (x.id == addrId_) {
        addrId_ = 0;
        if (x.answered)
            emit addressRead();
    } else if (setupRun_.feed(worker_, x)) {
        release();
        emit setupRead(setupOpen_->opening());
    } else if (x.id == tuningId_) {
        tuningId_ = 0;
        applyPoll(x, true);
        if (tuning_) {
            submitTuningPoll();
        } else {
            // The polls after tuning use the delay it ended with.
            worker_.setTurnaroundDelay(turnaroundDelay_);
            release();
        }
    }
}

void HostModel::bitMessageOver() {
    bitShown_ = false;
    release();
    emit changed();
}

void HostModel::startTuning() {
    tuning_ = true;
    tuningFailures_ = 0;
    noteTuning(QString());
    // The tuning polls run one by one as commands, so each uses the delay just set.
    if (!tuningId_) {
        hold();
        submitTuningPoll();
    }
    emit changed();
}

void HostModel::submitTuningPoll() {
    // The delay is set before the poll is queued, so the poll runs with it.
    worker_.setTurnaroundDelay(turnaroundDelay_);
    tuningId_ = worker_.submit(Transaction{Pattern::Poll, pollFrame()});
}

// --- master mode and the address ---------------------------------------------------------

void HostModel::setMasterMode(bool on) {
    record_.MasterMode = on;
}

void HostModel::showAddress() {
    display_.addressText = QString::number(record_.Address);
}

void HostModel::toggleMasterMode() {
    setMasterMode(!record_.MasterMode);
    restartCycle();
    emit changed();
}

void HostModel::stepAddress(int by) {
    setMasterMode(false);
    record_.Address = quint8(std::clamp(int(record_.Address) + by, 1, int(MaxAddress)));
    showAddress();
    restartCycle();
    emit changed();
}

void HostModel::setAddress(quint8 address) {
    record_.Address = address;
    showAddress();
    restartCycle();
    emit changed();
}

void HostModel::unlockMaintenance() {
    maintenanceUnlocked_ = true;
    emit changed();
}

void HostModel::screenClosed() {
    restartCycle();
    emit screenReturned();
}

// --- status log --------------------------------------------------------------------------

void HostModel::startStatusLog(int period) {
    // Header, count and switch, and a record at once when the last status was a letter.
    statusLog_.Start(quint8(period), record_, record_.StatusChar);
    logMinute_->start();
    afterLogWrite();
    emit changed();
}

void HostModel::stopStatusLog() {
    logMinute_->stop();
    statusLog_.Stop();
    emit changed();
}

void HostModel::statusLogMinute() {
    statusLog_.Timer1Tick(record_, mainWindow_ && mainWindow_->isVisible());
    afterLogWrite();
}

void HostModel::writeLogRecord() {
    statusLog_.WriteLogRecord(record_, mainWindow_ && mainWindow_->isVisible());
    afterLogWrite();
}

void HostModel::afterLogWrite() {
    // Records kept after a failed write go out as soon as the file takes them again.
    if (statusLog_.file().pendingBlocks() > 0) {
        if (!logRetry_->isActive())
            logRetry_->start();
    } else {
        logRetry_->stop();
    }
}

} // namespace fh
