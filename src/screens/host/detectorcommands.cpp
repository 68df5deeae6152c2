#include "screens/host/detectorcommands.h"

#include "detector/models.h"
#include "link/clocktimer.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "screens/host/commandgate.h"
#include "screens/host/detectorlink.h"
#include "screens/host/linetuning.h"
#include "screens/host/messageline.h"

namespace fh {

DetectorCommands::DetectorCommands(LineWorker& worker, DetectorLink& link, const LineTuning& tuning,
                                   MessageLine& messages, Clock& clock, QObject* parent)
    : QObject(parent), worker_(worker), link_(link), tuning_(tuning), messages_(messages),
      bitTimer_(new ClockTimer(clock, this)) {
    bitTimer_->setSingleShot(true);
    bitTimer_->setInterval(BitMessageMs);
    connect(bitTimer_, &ClockTimer::timeout, this, &DetectorCommands::bitMessageOver);
    connect(&worker_, &LineWorker::commandDone, this, &DetectorCommands::commandResult);
    // Writes come from the screens opened from the main screen; while one runs, nothing else
    // is started.
    connect(&worker_, &LineWorker::writeAttempt, this, [this](quint64 id, int, int) {
        if (writeId_ != id) {
            writeId_ = id;
            emit changed();
        }
    });
    // The message stood under the old address: it goes, and so does its hold on the line.
    connect(&link_, &DetectorLink::addressChanged, this, [this] {
        if (bitShown_) {
            bitTimer_->stop();
            bitMessageOver();
        }
    });
}

DetectorCommands::~DetectorCommands() = default;

bool DetectorCommands::busy() const {
    return bitId_ || addrId_ || setupRun_.running() || tuning_.polling() || bitShown_;
}

QString DetectorCommands::refusal() const {
    const DetectorRecord& d = link_.record();
    CommandGate g;
    g.portOpen = link_.portOpen();
    g.writeRunning = writeId_ != 0;
    g.tuning = tuning_.running() || tuning_.polling();
    g.bitRunning = bitId_ || bitShown_;
    g.readRunning = addrId_ || setupRun_.running();
    g.linkGood = d.LinkGood;
    g.unheard = link_.unheard();
    g.masterMode = d.MasterMode;
    g.address = d.Address;
    return CommandRefusal(g);
}

bool DetectorCommands::refused(const QString& command) {
    // The buttons are disabled then; a key pressed for one still gets its answer.
    const QString why = refusal();
    if (why.isEmpty())
        return false;
    messages_.note(QStringLiteral("%1 not sent: %2").arg(command, why));
    return true;
}

void DetectorCommands::requestBit() {
    if (refused(QStringLiteral("BIT")))
        return;
    // The line stays free of polls from here until the message has gone.
    link_.holdLine(true);
    bitAddress_ = link_.record().Address;
    bitId_ = worker_.submit(Transaction{Pattern::ButtonRead, SendCommand(bitAddress_, cmd::Bit)});
    emit changed();
}

void DetectorCommands::requestAddressRead() {
    if (refused(QStringLiteral("New address")))
        return;
    addrId_ = worker_.submit(Transaction{Pattern::ButtonRead, ReadAddr(link_.record().Address)});
    emit changed();
}

void DetectorCommands::requestSetupRead() {
    if (refused(QStringLiteral("Setup")))
        return;
    // For the model a status reply confirms now, not the one on display: a poll that failed a
    // moment ago has emptied that, and another detector may have taken the address.
    link_.holdLine(true);
    setupOpen_.emplace(link_.record().Address, link_.record().MasterMode);
    setupRun_.start(worker_, *setupOpen_);
    emit changed();
}

void DetectorCommands::commandResult(const Exchange& x) {
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
            messages_.note(UnansweredText(QStringLiteral("New address"), x));
        emit changed();
    } else if (setupRun_.feed(worker_, x)) {
        link_.holdLine(false);
        // A setup reply that failed the check opens nothing but "could not be read"; every
        // other refusal is the message line's, as for any command that got no usable answer.
        const SetupOpening opening = setupOpen_->opening();
        if (opening.snapshot || opening.unreadable)
            emit setupRead(opening);
        else
            messages_.note(opening.refusal);
        emit changed();
    }
}

void DetectorCommands::bitResult(const Exchange& x) {
    bitId_ = 0;
    // Only this exchange's own echo counts: an older reply never reports a BIT.
    if (!(x.answered && BitPerformed(x.reply))) {
        messages_.note(UnansweredText(QStringLiteral("BIT"), x));
        link_.holdLine(false);
        emit changed();
        return;
    }
    if (link_.record().Address != bitAddress_) {
        // The screen has moved on: the message would stand under another address.
        messages_.note(QStringLiteral("Address %1: BIT is performed!").arg(bitAddress_));
        link_.holdLine(false);
        emit changed();
        return;
    }
    bitAnswer_.clear();
    if (ShowsFault(link_.record())) {
        // What follows the command code is the detector's own; shown as it came.
        const QByteArray data = x.reply.mid(5, x.reply.size() - 7);
        bitAnswer_ = data.isEmpty() ? QStringLiteral("nothing after the command code")
                                    : QString::fromLatin1(data.toHex(' ').toUpper());
        messages_.note(
            QStringLiteral("BIT at address %1, which shows a fault: the detector answered %2")
                .arg(bitAddress_)
                .arg(bitAnswer_));
    }
    bitShown_ = true;
    bitTimer_->start();
    emit changed();
}

void DetectorCommands::bitMessageOver() {
    bitShown_ = false;
    link_.holdLine(false);
    emit changed();
}

} // namespace fh
