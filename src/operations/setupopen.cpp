#include "operations/setupopen.h"

#include "detector/models.h"
#include "detector/setupcodec.h"

namespace fh {

namespace {
const QString NotOpened = QStringLiteral("the setup screen was not opened");
}

SetupOpen::SetupOpen(quint8 address, bool masterMode) : polled_(masterMode ? 0 : address) {}

Transaction SetupOpen::start() {
    return StatusPoll(polled_);
}

std::optional<Transaction> SetupOpen::next(const Exchange& x) {
    const bool again = !x.collected && !x.portError && --triesLeft_ > 0;
    if (!detector_) {
        detector_ = ConfirmedByStatus(x);
        if (!detector_ && again)
            return StatusPoll(polled_);
        if (!detector_)
            return refuse(UnconfirmedText(x, polled_, NotOpened));
        triesLeft_ = SilenceTries;
        return readSetup();
    }
    // Only an answer that passed the check and fits the confirmed model is ever shown.
    if (x.answered && DecodeSetupReply(x.reply, detector_->modelName)) {
        snapshot_ = SetupSnapshot{*detector_, x.reply};
        return std::nullopt;
    }
    if (again)
        return readSetup();
    if (!x.collected || x.portError)
        return refuse(UnconfirmedText(x, detector_->address, NotOpened));
    unreadable_ = true;
    return refuse(QString::fromLatin1(SetupCouldNotReadText));
}

Transaction SetupOpen::readSetup() const {
    return Transaction{Pattern::ButtonRead, ReadSetup(detector_->address, detector_->modelName)};
}

} // namespace fh
