#include "operations/confirmeddetector.h"

#include "detector/detectorrecord.h"
#include "detector/replycheck.h"
#include "link/requests.h"
#include "operations/masterguard.h"

namespace fh {

Transaction StatusPoll(quint8 address) {
    return Transaction{Pattern::Poll, SendCommand(address, cmd::Status)};
}

std::optional<ConfirmedDetector> ConfirmedByStatus(const Exchange& poll) {
    if (!poll.answered || !StatusReplyComplete(poll.reply))
        return std::nullopt;
    const bool master = poll.request.size() > 0 && poll.request.at(0) == 0;
    DetectorRecord record;
    record.MasterMode = master;
    record.Address = master ? 0 : quint8(poll.request.at(0));
    DecodeStatusReply(poll.reply, record);
    return ConfirmedDetector{record.Address, record.ModelCode, record.ModelName,
                             record.SerialNumber};
}

QString UnconfirmedText(const Exchange& poll, quint8 address, const QString& consequence) {
    if (address == 0 && !poll.portError && MasterModeClearance(poll) == MasterClearance::Collision)
        return MasterRefusalText(MasterClearance::Collision);
    const QString where = address == 0 ? QStringLiteral("in master mode")
                                       : QStringLiteral("from address %1").arg(address);
    QString why;
    if (poll.portError)
        why = QStringLiteral("The line failed during the exchange");
    else if (!poll.collected)
        why = QStringLiteral("No answer %1").arg(where);
    else
        why = QStringLiteral("The reply %1 could not be read (%2)")
                  .arg(where, poll.answered ? QStringLiteral("not a status reply")
                                            : ReplyFaultText(poll.verdict));
    return QStringLiteral("%1: %2.").arg(why, consequence);
}

} // namespace fh
