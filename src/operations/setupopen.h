#pragma once
// Opening the setup screen: a status poll confirms who answers at the address and its model,
// then the setup read sized for that model. The screen opens only with both, so it never
// shows (and OK never writes) a model that a failed poll had just emptied or another
// detector had left behind.
#include "operations/confirmeddetector.h"
#include "operations/lineoperation.h"

#include <QByteArray>

namespace fh {

inline constexpr const char* SetupCouldNotReadText = "Setup could not be read!";

// What the setup screen opens with.
struct SetupSnapshot {
    ConfirmedDetector detector;
    QByteArray reply; // the setup read's answer: passed the reply check, proper for the model
};

// SetupOpen's end, as the setup screen is given it: a snapshot, or why there is none.
struct SetupOpening {
    std::optional<SetupSnapshot> snapshot;
    QString refusal;
    bool unreadable = false; // a setup reply came, but no proper answer for the model
};

class SetupOpen final : public LineOperation {
public:
    // masterMode: the poll goes to address 0 and the read to the address that answered.
    SetupOpen(quint8 address, bool masterMode);
    Transaction start() override;
    std::optional<Transaction> next(const Exchange& result) override;

    // Once over: what the screen opens with, or nothing (refusal() says why).
    const std::optional<SetupSnapshot>& snapshot() const { return snapshot_; }
    SetupOpening opening() const { return {snapshot_, refusal(), unreadable_}; }

private:
    Transaction readSetup() const;

    quint8 polled_;
    int triesLeft_ = SilenceTries;
    std::optional<ConfirmedDetector> detector_;
    std::optional<SetupSnapshot> snapshot_;
    bool unreadable_ = false;
};

} // namespace fh
