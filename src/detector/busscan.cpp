#include "detector/busscan.h"

#include "detector/replycheck.h"
#include "link/requests.h"

namespace fh {

namespace {
constexpr int CommandByte = 4;

quint8 at(const QByteArray& bytes, int index) {
    return static_cast<quint8>(bytes.at(index));
}
} // namespace

ScanJudgement JudgeScanPoll(const Exchange& poll) {
    ScanJudgement j;
    j.verdict = poll.verdict;
    if (!poll.collected || poll.request.isEmpty())
        return j;
    const QByteArray& reply = poll.reply;
    // The check has judged address and command already; a status reply from exactly the
    // address polled is asked for again here so that no other poll can pass for a scan's.
    if (poll.answered && reply.size() >= StatusReplyMinLength &&
        at(reply, CommandByte) == cmd::Status && at(reply, 0) == at(poll.request, 0)) {
        j.finding = ScanFinding::Detector;
        return j;
    }
    switch (poll.verdict.fault) {
    case ReplyFault::BadCheck:
        j.finding = ScanFinding::Garbled;
        break;
    case ReplyFault::OtherAddress:
        j.finding = ScanFinding::OtherAddress;
        j.carriedAddress = reply.isEmpty() ? 0 : at(reply, 0);
        break;
    default:
        j.finding = ScanFinding::NotStatus;
        break;
    }
    return j;
}

QString ScanProblemText(const ScanJudgement& j) {
    switch (j.finding) {
    case ScanFinding::Garbled:
        return QStringLiteral("garbled reply (two detectors at one address?)");
    case ScanFinding::OtherAddress:
        return QStringLiteral("reply carried address %1").arg(j.carriedAddress);
    case ScanFinding::NotStatus:
        return QStringLiteral("not a status reply (%1)").arg(ReplyFaultText(j.verdict));
    case ScanFinding::Detector:
    case ScanFinding::Silent:
        break;
    }
    return {};
}

} // namespace fh
