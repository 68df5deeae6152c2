#include "detector/masterguard.h"

#include "link/lineworker.h"
#include "link/requests.h"

namespace fh {

QByteArray MasterModePoll() {
    return SendCommand(0, cmd::Status);
}

MasterClearance MasterModeClearance(const Exchange& poll) {
    if (poll.answered)
        return MasterClearance::Clear;
    return poll.collected ? MasterClearance::Collision : MasterClearance::Silent;
}

QString MasterRefusalText(MasterClearance clearance) {
    switch (clearance) {
    case MasterClearance::Clear:
        return {};
    case MasterClearance::Silent:
        return QString::fromLatin1(MasterSilentText);
    case MasterClearance::Collision:
        return QString::fromLatin1(MasterCollisionText);
    }
    return {};
}

void GuardedWrite::start(LineWorker& worker, const Transaction& write, bool masterMode) {
    write_ = write;
    if (masterMode)
        pollId_ = worker.submit(Transaction{Pattern::Poll, MasterModePoll()});
    else
        writeId_ = worker.submit(write_);
}

GuardedWrite::Step GuardedWrite::onResult(LineWorker& worker, const Exchange& x, QString* refusal) {
    if (x.id != 0 && x.id == pollId_) {
        pollId_ = 0;
        const MasterClearance c = MasterModeClearance(x);
        if (c != MasterClearance::Clear) {
            *refusal = MasterRefusalText(c);
            return Step::Refused;
        }
        writeId_ = worker.submit(write_);
        return Step::Waiting;
    }
    if (x.id != 0 && x.id == writeId_) {
        writeId_ = 0;
        return Step::Done;
    }
    return Step::NotMine;
}

} // namespace fh
