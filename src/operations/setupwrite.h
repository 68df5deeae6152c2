#pragma once
// Writing the setup table: in master mode first the master-mode check, then the confirmed
// write to the confirmed detector's own address, then a read back compared with what was
// written.
#include "detector/setupcodec.h"
#include "operations/confirmeddetector.h"
#include "operations/lineoperation.h"

#include <QStringList>

namespace fh {

inline constexpr const char* SetupVerifiedText = "Setup written and verified";
inline constexpr const char* SetupNotSavedText = "Changes not saved!";

class SetupWrite final : public LineOperation {
public:
    static constexpr int ReadBackTries = 3; // a detector may miss one request now and then

    enum class Result {
        Running,
        Refused,         // nothing was written (refusal() says why)
        NotAcknowledged, // no attempt was acknowledged
        Verified,        // read back as written
        Differs,         // read back otherwise: differences() names the settings
        Unverified,      // acknowledged, but no read back came
    };

    SetupWrite(const ConfirmedDetector& detector, const SetupValue& value, bool masterMode);
    Transaction start() override;
    std::optional<Transaction> next(const Exchange& result) override;

    Result result() const { return result_; }
    // Result::Differs: the keys of the settings that read back otherwise (setupverify.h).
    const QStringList& differences() const { return differences_; }
    // The write's last exchange (acknowledged, attempts).
    const Exchange& write() const { return write_; }
    // The operator's words for the result; `name` turns a setting's key into its words.
    QString text(const std::function<QString(const QString&)>& name) const;

private:
    Transaction writeTransaction() const;
    Transaction readBack() const;

    ConfirmedDetector detector_;
    QByteArray frame_;
    bool guardPending_;
    int readsLeft_ = ReadBackTries;
    Exchange write_;
    bool written_ = false;
    Result result_ = Result::Running;
    QStringList differences_;
};

} // namespace fh
