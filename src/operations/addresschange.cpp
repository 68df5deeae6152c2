#include "operations/addresschange.h"

#include "link/requests.h"

namespace fh {

namespace {
const QString NothingWritten = QStringLiteral("nothing was written");
}

AddressChange::AddressChange(quint8 from, quint8 to, bool masterMode)
    : polled_(masterMode ? 0 : from), to_(to) {}

Transaction AddressChange::start() {
    return StatusPoll(polled_);
}

QString AddressChange::InUseText(quint8 address, const Exchange& poll) {
    if (const std::optional<ConfirmedDetector> d = ConfirmedByStatus(poll))
        return QStringLiteral("Address %1 is already used by %2, serial %3")
            .arg(address)
            .arg(d->modelName)
            .arg(d->serial);
    return QStringLiteral("Address %1 is already used by a detector whose reply could not be "
                          "read")
        .arg(address);
}

std::optional<Transaction> AddressChange::next(const Exchange& x) {
    switch (step_) {
    case Step::Source:
        detector_ = ConfirmedByStatus(x);
        if (!detector_ && !x.collected && !x.portError && --triesLeft_ > 0)
            return StatusPoll(polled_);
        if (!detector_) {
            result_ = Result::Refused;
            return refuse(UnconfirmedText(x, polled_, NothingWritten));
        }
        step_ = Step::Target;
        triesLeft_ = SilenceTries;
        return StatusPoll(to_);
    case Step::Target: {
        // Anything at all from the new address, clean or garbled, means it is taken; and it
        // must stay silent twice, as a detector there may miss one request.
        if (x.collected || x.portError) {
            result_ = Result::Refused;
            return refuse(x.portError ? UnconfirmedText(x, to_, NothingWritten)
                                      : InUseText(to_, x));
        }
        if (--triesLeft_ > 0)
            return StatusPoll(to_);
        step_ = Step::Write;
        Transaction t(Pattern::ConfirmedWrite, WriteAddr(detector_->address, to_));
        t.test = [](const QByteArray& reply) { return AddrReplyOK(reply); };
        t.attempts = 6;
        return t;
    }
    case Step::Write:
        // Even without an acknowledgement it may have moved (the answer can be lost): ask there.
        write_ = x;
        step_ = Step::Confirm;
        return StatusPoll(to_);
    case Step::Confirm: {
        const std::optional<ConfirmedDetector> there = ConfirmedByStatus(x);
        if (there && there->serial == detector_->serial) {
            result_ = Result::Moved;
            return std::nullopt;
        }
        if (--confirmsLeft_ > 0)
            return StatusPoll(to_);
        result_ = Result::Unheard;
        return std::nullopt;
    }
    }
    return std::nullopt;
}

QString AddressChange::text() const {
    switch (result_) {
    case Result::Refused:
        return refusal();
    case Result::Moved:
        return QStringLiteral("Detector %1 now answers at address %2")
            .arg(detector_->serial)
            .arg(to_);
    case Result::Unheard:
        return QStringLiteral("Detector %1 does not answer at address %2")
            .arg(detector_->serial)
            .arg(to_);
    case Result::Running:
        break;
    }
    return {};
}

} // namespace fh
