#pragma once
// Master mode talks to address 0, which every detector on the line answers. Before anything
// is written there, one status poll must bring exactly one clean reply: a garbled one means
// several detectors answered together, and a write would reach them all. Any other fault of
// that reply is named as the reply check found it.
#include "link/exchange.h"

#include <QString>

namespace fh {

class LineWorker;

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

// A confirmed write that, in master mode, first asks for that poll. Screens feed it every
// commandDone result; it submits the write only when the line is clear.
class GuardedWrite {
public:
    enum class Step {
        NotMine, // another command's result
        Waiting, // the poll passed and the write has been submitted
        Refused, // nothing was written; *refusal says why
        Done,    // the write's own result
    };

    void start(LineWorker& worker, const Transaction& write, bool masterMode);
    Step onResult(LineWorker& worker, const Exchange& x, QString* refusal);
    bool pending() const { return pollId_ != 0 || writeId_ != 0; }
    // The write's command id once it has been submitted, else 0.
    quint64 writeId() const { return writeId_; }

private:
    Transaction write_;
    quint64 pollId_ = 0;
    quint64 writeId_ = 0;
};

} // namespace fh
