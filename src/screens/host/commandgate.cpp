#include "screens/host/commandgate.h"

#include "detector/linewords.h"

namespace fh {

QString CommandRefusal(const CommandGate& g) {
    // The first reason that holds is the one the operator can do something about first.
    if (!g.portOpen)
        return QStringLiteral("The line is lost: nothing can be sent until the port is back.");
    if (g.writeRunning)
        return QStringLiteral("A write to the detector is running.");
    if (g.tuning)
        return QStringLiteral("The line is being tuned (F12).");
    if (g.bitRunning)
        return QStringLiteral("The BIT is running.");
    if (g.readRunning)
        return QStringLiteral("Waiting for the detector's answer.");
    if (g.linkGood)
        return {};
    if (g.masterMode)
        return g.unheard ? QStringLiteral("Waiting for a detector to answer in master mode.")
                         : QStringLiteral("No detector answers in master mode: the lamp is not "
                                          "green.");
    return g.unheard ? QStringLiteral("Waiting for address %1 to answer.").arg(g.address)
                     : NoAnswerText(g.address) + QStringLiteral(": the lamp is not green.");
}

QString NoAnswerText(int address) {
    return QStringLiteral("No answer from address %1").arg(address);
}

QString UnansweredText(const QString& command, const Exchange& x) {
    const int address = FrameAddress(x.request);
    if (x.portError)
        return QStringLiteral("%1 to address %2 not sent: the line is lost.")
            .arg(command)
            .arg(address);
    if (!x.collected)
        return QStringLiteral("%1 to %2").arg(NoAnswerText(address), command);
    return QStringLiteral("%1: the reply from address %2 could not be used (%3).")
        .arg(command)
        .arg(address)
        .arg(DescribeReply(x.request, x.reply, x.verdict));
}

} // namespace fh
