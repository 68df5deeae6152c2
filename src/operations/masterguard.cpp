#include "operations/masterguard.h"

#include "detector/replycheck.h"
#include "link/requests.h"

namespace fh {

QByteArray MasterModePoll() {
    return SendCommand(0, cmd::Status);
}

MasterClearance MasterModeClearance(const Exchange& poll) {
    if (poll.answered)
        return MasterClearance::Clear;
    switch (poll.verdict.fault) {
    case ReplyFault::None: // collected nothing it could judge
    case ReplyFault::NoReply:
        return MasterClearance::Silent;
    case ReplyFault::BadCheck:
        return MasterClearance::Collision;
    default:
        return MasterClearance::Faulty;
    }
}

QString MasterRefusalText(MasterClearance clearance) {
    switch (clearance) {
    case MasterClearance::Clear:
        return {};
    case MasterClearance::Silent:
        return QString::fromLatin1(MasterSilentText);
    case MasterClearance::Collision:
        return QString::fromLatin1(MasterCollisionText);
    case MasterClearance::Faulty:
        return QStringLiteral("The answer in master mode is not a proper status reply: nothing "
                              "was written.");
    }
    return {};
}

QString MasterRefusalText(const Exchange& poll) {
    const MasterClearance c = MasterModeClearance(poll);
    if (c != MasterClearance::Faulty)
        return MasterRefusalText(c);
    return QStringLiteral("The answer in master mode is not a proper status reply (%1): nothing "
                          "was written.")
        .arg(ReplyFaultText(poll.verdict));
}

} // namespace fh
