#include "operations/setupwrite.h"

#include "detector/models.h"
#include "detector/setupverify.h"
#include "operations/masterguard.h"

namespace fh {

SetupWrite::SetupWrite(const ConfirmedDetector& detector, const SetupValue& value, bool masterMode)
    : detector_(detector), frame_(WriteSetup(detector.address, detector.modelName, value)),
      guardPending_(masterMode) {}

Transaction SetupWrite::writeTransaction() const {
    Transaction t(Pattern::ConfirmedWrite, frame_);
    const QString model = detector_.modelName;
    t.test = [model](const QByteArray& reply) { return SetupReplyOK(reply, model); };
    t.attempts = 6;
    return t;
}

Transaction SetupWrite::readBack() const {
    return Transaction{Pattern::ButtonRead, ReadSetup(detector_.address, detector_.modelName)};
}

Transaction SetupWrite::start() {
    // Master mode: every detector hears address 0, so one must answer alone first.
    return guardPending_ ? StatusPoll(0) : writeTransaction();
}

std::optional<Transaction> SetupWrite::next(const Exchange& x) {
    if (guardPending_) {
        guardPending_ = false;
        const MasterClearance c = MasterModeClearance(x);
        if (c != MasterClearance::Clear) {
            result_ = Result::Refused;
            return refuse(MasterRefusalText(x));
        }
        return writeTransaction();
    }
    if (!written_) {
        written_ = true;
        write_ = x;
        if (!x.acknowledged) {
            result_ = Result::NotAcknowledged;
            return std::nullopt;
        }
        return readBack();
    }
    if (x.answered && SetupReadReplyProper(x.reply, detector_.modelName)) {
        differences_ = SetupReadBackDifferences(detector_.modelName, frame_, x.reply);
        result_ = differences_.isEmpty() ? Result::Verified : Result::Differs;
        return std::nullopt;
    }
    if (--readsLeft_ > 0)
        return readBack();
    result_ = Result::Unverified;
    return std::nullopt;
}

QString SetupWrite::text(const std::function<QString(const QString&)>& name) const {
    switch (result_) {
    case Result::Running:
        return {};
    case Result::Refused:
        return refusal();
    case Result::NotAcknowledged:
        return QString::fromLatin1(SetupNotSavedText);
    case Result::Verified:
        return QString::fromLatin1(SetupVerifiedText);
    case Result::Differs: {
        QStringList names;
        for (const QString& key : differences_)
            names << name(key);
        return QStringLiteral("Setup written, but it reads back differently: %1.")
            .arg(names.join(QStringLiteral(", ")));
    }
    case Result::Unverified:
        return QStringLiteral("Setup written, but it could not be read back to verify it.");
    }
    return {};
}

} // namespace fh
