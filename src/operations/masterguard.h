#pragma once
// Master mode talks to address 0, which every detector on the line answers. Before anything
// is written there, one status poll must bring exactly one clean reply: a garbled one means
// several detectors answered together, and a write would reach them all. Any other fault of
// that reply is named as the reply check found it.
#include "link/exchange.h"

#include <QString>

namespace fh {

inline constexpr const char* MasterCollisionText =
    "More than one detector answers: master mode needs a detector alone on the line.";
inline constexpr const char* MasterSilentText =
    "No detector answers in master mode: nothing was written.";

// The status poll at address 0 that must come first.
QByteArray MasterModePoll();

enum class MasterClearance {
    Clear,     // one proper status reply
    Silent,    // nothing came
    Collision, // wrong check bytes: several detectors answered at once
    Faulty,    // one reply, but not a proper one (an exception, an echo, too short, ...)
};
MasterClearance MasterModeClearance(const Exchange& poll);
// The operator's words for a clearance other than Clear; Faulty in general words.
QString MasterRefusalText(MasterClearance clearance);
// The same, naming the fault the reply check found in the poll's reply.
QString MasterRefusalText(const Exchange& poll);

} // namespace fh
