#pragma once
// Who answers at an address, as one status reply that passed the reply check says: the only
// identity an operation may act on. A model shown on a screen may be stale or emptied by a
// failed poll; this one comes from the operation's own exchange.
#include "link/exchange.h"

#include <optional>
#include <QString>

namespace fh {

struct ConfirmedDetector {
    quint8 address = 0; // where it answered (in master mode the reply's own address)
    quint16 modelCode = 0;
    QString modelName;
    quint16 serial = 0;
    friend bool operator==(const ConfirmedDetector&, const ConfirmedDetector&) = default;
};

// The status poll of an address (0: master mode, where every detector answers).
Transaction StatusPoll(quint8 address);

// The detector a status poll's result confirms; nothing unless the reply passed the check and
// is a complete status reply.
std::optional<ConfirmedDetector> ConfirmedByStatus(const Exchange& poll);

// Why a status poll confirmed nothing, and what follows from it, in one sentence: "No answer
// from address 5: nothing was written." or "The reply from address 5 could not be read (bad
// check bytes): ..."; for several detectors answering in master mode the master-mode guard's
// own sentence.
QString UnconfirmedText(const Exchange& poll, quint8 address, const QString& consequence);

} // namespace fh
