#pragma once
// Moving a detector to another bus address: a status poll confirms the detector (in master
// mode the lone one), two polls of the new address must bring nothing at all, then the
// confirmed write, then the same serial number must answer at the new address.
#include "operations/confirmeddetector.h"
#include "operations/lineoperation.h"

namespace fh {

class AddressChange final : public LineOperation {
public:
    static constexpr int ConfirmTries = 3; // a detector may miss one request now and then

    enum class Result {
        Running,
        Refused, // nothing was written (refusal() says why)
        Moved,   // the detector answers at the new address
        Unheard, // written, but it does not answer at the new address
    };

    // from: the address the screen works with; masterMode: the detector is found at address 0.
    AddressChange(quint8 from, quint8 to, bool masterMode);
    Transaction start() override;
    std::optional<Transaction> next(const Exchange& result) override;

    Result result() const { return result_; }
    quint8 to() const { return to_; }
    // The detector the status poll confirmed, once it has.
    const std::optional<ConfirmedDetector>& detector() const { return detector_; }
    // The write's last exchange (acknowledged, attempts).
    const Exchange& write() const { return write_; }
    // "Detector 20417 now answers at address 12", or the refusal.
    QString text() const;

    // The refusal when the new address answers: by whom, as far as its reply can be read.
    static QString InUseText(quint8 address, const Exchange& poll);

private:
    enum class Step { Source, Target, Write, Confirm };

    quint8 polled_;
    quint8 to_;
    Step step_ = Step::Source;
    int triesLeft_ = SilenceTries;
    int confirmsLeft_ = ConfirmTries;
    std::optional<ConfirmedDetector> detector_;
    Exchange write_;
    Result result_ = Result::Running;
};

} // namespace fh
