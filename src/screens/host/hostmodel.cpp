#include "screens/host/hostmodel.h"

#include "detector/models.h"
#include "link/clocktimer.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/tuningfile.h"
#include "screens/host/commandgate.h"

#include <algorithm>
#include <QWidget>

namespace fh {

namespace {
const QString PortTopic = QStringLiteral("port");
const QString LogTopic = QStringLiteral("log");
const QString TuningTopic = QStringLiteral("tuning");
const QString MasterTopic = QStringLiteral("master");
const QString SumsTopic = QStringLiteral("sums");
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
        statusLog_.retryKept();
        afterLogWrite();
    });

    connect(&worker_, &LineWorker::cycleDone, this, &HostModel::cycleResult);
    connect(&worker_, &LineWorker::commandDone, this, &HostModel::commandResult);
    connect(&worker_, &LineWorker::notice, this, [this](const QString& text) { note(text); });
    connect(&worker_, &LineWorker::portStateChanged, this, [this](bool open, const QString& text) {
        portOpen_ = open;
        note(text, PortTopic);
        if (!open) {
            display_ = BadLinkState(record_);
            emit changed();
        }
    });
    // Writes come from the screens opened from here; while one runs, nothing else is started.
    connect(&worker_, &LineWorker::writeAttempt, this, [this](quint64 id, int, int) {
        if (writeId_ != id) {
            writeId_ = id;
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

void HostModel::noteState(const QString& text, const QString& topic) {
    const QList<MessageLine::Message>& shown = messages_.all();
    const bool there = std::any_of(shown.begin(), shown.end(), [&](const MessageLine::Message& m) {
        return m.topic == topic && (text.isEmpty() || m.text == text);
    });
    if (there != text.isEmpty())
        return; // said already, or nothing to take back
    note(text, topic);
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
    unheard_ = false;
    if (record_.MasterMode) {
        // Detectors answering address 0 together garble each other's reply.
        const bool garbled = x.collected && x.verdict.fault == ReplyFault::BadCheck;
        noteState(garbled ? QStringLiteral("Master mode: more than one detector answers.")
                          : QString(),
                  MasterTopic);
    }
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

QString HostModel::commandRefusal() const {
    CommandGate g;
    g.portOpen = portOpen_;
    g.writeRunning = writeId_ != 0;
    g.tuning = tuning_ || tuningId_;
    g.bitRunning = bitId_ || bitShown_;
    g.readRunning = addrId_ || setupRun_.running();
    g.linkGood = record_.LinkGood;
    g.unheard = unheard_;
    g.masterMode = record_.MasterMode;
    g.address = record_.Address;
    return CommandRefusal(g);
}

bool HostModel::refused(const QString& command) {
    // The buttons are disabled then; a key pressed for one still gets its answer.
    const QString why = commandRefusal();
    if (why.isEmpty())
        return false;
    note(QStringLiteral("%1 not sent: %2").arg(command, why));
    return true;
}

void HostModel::noteUnanswered(const QString& command, const Exchange& x) {
    note(UnansweredText(command, x));
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
    if (refused(QStringLiteral("BIT")))
        return;
    // The line stays free of polls from here until the message has gone.
    hold();
    bitAddress_ = record_.Address;
    bitId_ =
        worker_.submit(Transaction{Pattern::ButtonRead, SendCommand(record_.Address, cmd::Bit)});
    emit changed();
}

void HostModel::requestAddressRead() {
    if (refused(QStringLiteral("New address")))
        return;
    addrId_ = worker_.submit(Transaction{Pattern::ButtonRead, ReadAddr(record_.Address)});
    emit changed();
}

void HostModel::requestSetupRead() {
    if (refused(QStringLiteral("Setup")))
        return;
    // For the model a status reply confirms now, not the one on display: a poll that failed a
    // moment ago has emptied that, and another detector may have taken the address.
    hold();
    setupOpen_.emplace(record_.Address, record_.MasterMode);
    setupRun_.start(worker_, *setupOpen_);
    emit changed();
}

void HostModel::commandResult(const Exchange& x) {
    if (x.id == 0)
        return;
    if (x.id == writeId_) {
        writeId_ = 0;
        emit changed();
    }
    if (x.id == bitId_) {
        bitResult(x);
    } else if (x.id == addrId_) {
        addrId_ = 0;
        if (x.answered)
            emit addressRead();
        else
            noteUnanswered(QStringLiteral("New address"), x);
        emit changed();
    } else if (setupRun_.feed(worker_, x)) {
        release();
        // A setup reply that failed the check opens nothing but "could not be read"; every
        // other refusal is the message line's, as for any command that got no usable answer.
        const SetupOpening opening = setupOpen_->opening();
        if (opening.snapshot || opening.unreadable)
            emit setupRead(opening);
        else
            note(opening.refusal);
        emit changed();
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

void HostModel::bitResult(const Exchange& x) {
    bitId_ = 0;
    // Only this exchange's own echo counts: an older reply never reports a BIT.
    if (!(x.answered && BitPerformed(x.reply))) {
        noteUnanswered(QStringLiteral("BIT"), x);
        release();
        emit changed();
        return;
    }
    if (record_.Address != bitAddress_) {
        // The screen has moved on: the message would stand under another address.
        note(QStringLiteral("Address %1: BIT is performed!").arg(bitAddress_));
        release();
        emit changed();
        return;
    }
    bitAnswer_.clear();
    if (ShowsFault(record_)) {
        // What follows the command code is the detector's own; shown as it came.
        const QByteArray data = x.reply.mid(5, x.reply.size() - 7);
        bitAnswer_ = data.isEmpty() ? QStringLiteral("nothing after the command code")
                                    : QString::fromLatin1(data.toHex(' ').toUpper());
        note(QStringLiteral("BIT at address %1, which shows a fault: the detector answered %2")
                 .arg(bitAddress_)
                 .arg(bitAnswer_));
    }
    bitShown_ = true;
    bitTimer_->start();
    emit changed();
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

void HostModel::targetChanged(quint8 addressBefore) {
    if (!record_.MasterMode)
        noteState(QString(), MasterTopic);
    if (record_.Address == addressBefore)
        return;
    // Nothing heard from the old address may stand under the new one.
    display_ = UnheardState(record_);
    replyHex_.clear();
    unheard_ = true;
    if (bitShown_) {
        bitTimer_->stop();
        bitMessageOver();
    }
}

void HostModel::toggleMasterMode() {
    setMasterMode(!record_.MasterMode);
    targetChanged(record_.Address);
    restartCycle();
    emit changed();
}

void HostModel::stepAddress(int by) {
    const quint8 before = record_.Address;
    setMasterMode(false);
    record_.Address = quint8(std::clamp(int(record_.Address) + by, 1, int(MaxAddress)));
    targetChanged(before);
    showAddress();
    restartCycle();
    emit changed();
}

void HostModel::setAddress(quint8 address) {
    const quint8 before = record_.Address;
    record_.Address = address;
    targetChanged(before);
    showAddress();
    restartCycle();
    emit changed();
}

void HostModel::unlockMaintenance() {
    maintenanceUnlocked_ = true;
    emit changed();
}

void HostModel::screenClosed() {
    // The sums log records from the maintenance screen only: closed, it waits for it.
    noteState(sumsLog_.running()
                  ? QStringLiteral("Sums logging to %1 is paused until the maintenance screen "
                                   "reopens.")
                        .arg(SumsLogFileName)
                  : QString(),
              SumsTopic);
    restartCycle();
    emit screenReturned();
}

// --- status log --------------------------------------------------------------------------

void HostModel::startStatusLog(int period) {
    // Header, count and switch, and a record at once when the last status was a letter.
    statusLog_.start(quint8(period), record_, record_.StatusChar);
    logMinute_->start();
    afterLogWrite();
    emit changed();
}

void HostModel::stopStatusLog() {
    logMinute_->stop();
    statusLog_.stop();
    emit changed();
}

void HostModel::statusLogMinute() {
    statusLog_.minuteTick(record_, mainWindow_ && mainWindow_->isVisible());
    afterLogWrite();
}

void HostModel::writeLogRecord() {
    statusLog_.writeRecord(record_, mainWindow_ && mainWindow_->isVisible());
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
