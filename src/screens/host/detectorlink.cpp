#include "screens/host/detectorlink.h"

#include "link/lineworker.h"
#include "link/requests.h"
#include "screens/host/messageline.h"

#include <algorithm>

namespace fh {

namespace {
const QString PortTopic = QStringLiteral("port");
const QString MasterTopic = QStringLiteral("master");
} // namespace

DetectorLink::DetectorLink(LineWorker& worker, MessageLine& messages, QObject* parent)
    : QObject(parent), worker_(worker), messages_(messages) {
    connect(&worker_, &LineWorker::cycleDone, this, &DetectorLink::cycleResult);
    connect(&worker_, &LineWorker::notice, this,
            [this](const QString& text) { messages_.note(text); });
    connect(&worker_, &LineWorker::portStateChanged, this, [this](bool open, const QString& text) {
        portOpen_ = open;
        messages_.note(text, PortTopic);
        if (!open)
            display_ = BadLinkState(record_);
        // Either way the commands' state changes with it, whatever the next poll brings.
        emit changed();
    });
}

bool DetectorLink::openPort(QString* errorText) {
    // The worker opens the chosen device at 9600 8N1 and reports every transmission's end by
    // itself.
    QString why;
    if (worker_.openPort(&why))
        return true;
    if (errorText)
        *errorText = why;
    return false;
}

void DetectorLink::activate() {
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

QByteArray DetectorLink::pollFrame() const {
    const int target = record_.MasterMode ? 0 : record_.Address;
    if (target != pollFrameTarget_) {
        pollFrame_ = SendCommand(quint8(target), cmd::Status);
        pollFrameTarget_ = target;
    }
    return pollFrame_;
}

void DetectorLink::restartCycle() {
    if (!activated_)
        return;
    worker_.setCycle(Transaction{Pattern::Poll, pollFrame()});
}

void DetectorLink::holdLine(bool held) {
    if (held) {
        if (holdCount_++ == 0)
            worker_.setHeld(true);
    } else if (holdCount_ > 0 && --holdCount_ == 0) {
        worker_.setHeld(false);
    }
}

void DetectorLink::cycleResult(const Exchange& x) {
    // Only our own status poll for the current target counts: the maintenance screen's
    // refresh, and a poll sent before the target changed, are not ours to show.
    if (x.request != pollFrame())
        return;
    applyPoll(x);
}

bool DetectorLink::applyPoll(const Exchange& x) {
    // A poll that brings what the screen shows already changes nothing there: a detector
    // polled ten times a second does not redraw the main screen ten times a second.
    const StatusDisplay displayBefore = display_;
    const QString hexBefore = replyHex_;
    const bool firstPoll = !polledOnce_ || unheard_;
    polledOnce_ = true;
    unheard_ = false;
    if (record_.MasterMode) {
        // Detectors answering address 0 together garble each other's reply.
        const bool garbled = x.collected && x.verdict.fault == ReplyFault::BadCheck;
        messages_.noteState(garbled ? QStringLiteral("Master mode: more than one detector answers.")
                                    : QString(),
                            MasterTopic);
    }
    const bool good = x.answered && StatusReplyComplete(x.reply);
    if (!good) {
        display_ = BadLinkState(record_);
    } else {
        display_ = DecodeStatusReply(x.reply, record_);
        replyHex_ = QString::fromLatin1(x.reply.toHex(' ').toUpper());
        if (DetectStatusChange(record_, x.reply))
            emit statusChanged();
    }
    if (firstPoll || display_ != displayBefore || replyHex_ != hexBefore)
        emit changed();
    return good;
}

void DetectorLink::showAddress() {
    display_.addressText = QString::number(record_.Address);
}

void DetectorLink::targetChanged(quint8 addressBefore) {
    if (!record_.MasterMode)
        messages_.noteState(QString(), MasterTopic);
    if (record_.Address == addressBefore)
        return;
    // Nothing heard from the old address may stand under the new one.
    display_ = UnheardState(record_);
    replyHex_.clear();
    unheard_ = true;
    emit addressChanged();
}

void DetectorLink::toggleMasterMode() {
    record_.MasterMode = !record_.MasterMode;
    targetChanged(record_.Address);
    restartCycle();
    emit changed();
}

void DetectorLink::stepAddress(int by) {
    const quint8 before = record_.Address;
    record_.MasterMode = false;
    record_.Address = quint8(std::clamp(int(record_.Address) + by, 1, int(MaxAddress)));
    targetChanged(before);
    showAddress();
    restartCycle();
    emit changed();
}

void DetectorLink::setAddress(quint8 address) {
    const quint8 before = record_.Address;
    record_.Address = address;
    targetChanged(before);
    showAddress();
    restartCycle();
    emit changed();
}

} // namespace fh
