#include "detector/replycheck.h"

#include "link/crc.h"
#include "link/requests.h"

namespace fh {

namespace {

constexpr quint8 ExceptionBit = 0x80;
constexpr int ExceptionFrameLength = 5;
constexpr int RegisterReplyOverhead = 5; // address, function, byte count, two check bytes
constexpr int CheckBytes = 2;
constexpr int CommandByte = 4;
constexpr quint8 LowestAddress = 1;
constexpr quint8 HighestAddress = 247;

quint8 at(const QByteArray& bytes, int index) {
    return static_cast<quint8>(bytes.at(index));
}

bool checkBytesRight(const QByteArray& frame) {
    return frame.size() > CheckBytes && withCrc(frame.left(frame.size() - CheckBytes)) == frame;
}

bool addressFits(quint8 asked, quint8 from) {
    return asked == 0 ? (from >= LowestAddress && from <= HighestAddress) : from == asked;
}

// The answers that are byte copies of their requests: a function-6 write, and a BIT.
bool copyIsAnswer(const QByteArray& request) {
    const quint8 function = at(request, 1);
    return function == fn::WriteSingle ||
           (function == fn::Command && request.size() > CommandByte &&
            at(request, CommandByte) == cmd::Bit);
}

// An echoing adapter hands our own request back before (or instead of) the answer. Where the
// answer is itself a copy of the request, a bare copy is that answer, and only a copy followed
// by the start of an answer (the address asked, the function or its exception) is an echo.
// Whether a bare copy may be trusted on a line that has echoed before is the link's call.
bool isEcho(const QByteArray& request, const QByteArray& reply) {
    if (request.isEmpty() || !reply.startsWith(request))
        return false;
    if (!copyIsAnswer(request))
        return true;
    const QByteArray rest = reply.mid(request.size());
    const quint8 function = at(request, 1);
    return rest.size() >= 2 && addressFits(at(request, 0), at(rest, 0)) &&
           (at(rest, 1) == function || at(rest, 1) == (function | ExceptionBit));
}

ReplyVerdict fault(ReplyFault kind, int frameLength = 0) {
    ReplyVerdict v;
    v.fault = kind;
    v.frameLength = frameLength;
    return v;
}

// The length the reply's own function byte promises; 0 when it is none we know.
int expectedFrameLength(const QByteArray& request, const QByteArray& reply) {
    const quint8 function = at(request, 1);
    const quint8 answered = at(reply, 1);
    if (function != fn::Command && answered == (function | ExceptionBit))
        return ExceptionFrameLength;
    if (answered != function)
        return 0;
    // Function 200 replies carry no length of their own: the check bytes are the last two
    // collected. Every other reply's length follows from the request.
    return function == fn::Command ? int(reply.size()) : ProperReplyLength(request);
}

} // namespace

int CommandReplyMinBody(quint8 command) {
    switch (command) {
    case cmd::Status:
        return StatusReplyMinLength;
    case cmd::Version:
        return VersionTextStart;
    default:
        return CommandByte + 1; // the command byte, as BIT reads it
    }
}

ReplyVerdict CheckReply(const QByteArray& request, const QByteArray& reply, CheckOptions options) {
    if (reply.isEmpty())
        return fault(ReplyFault::NoReply);
    if (request.size() < 4)
        return fault(ReplyFault::OtherFunction);
    if (isEcho(request, reply))
        return fault(ReplyFault::Echo);
    if (reply.size() < ExceptionFrameLength)
        return fault(ReplyFault::WrongLength);

    const quint8 function = at(request, 1);
    const bool exception = function != fn::Command && at(reply, 1) == (function | ExceptionBit);
    int length = expectedFrameLength(request, reply);
    if (length == 0) {
        // Not the function asked: garbled bytes of a collision usually land here too, so the
        // check bytes over everything collected tell the two apart.
        return fault(checkBytesRight(reply) ? ReplyFault::OtherFunction : ReplyFault::BadCheck);
    }
    const bool registerRead = function == fn::ReadHolding || function == fn::ReadInput;
    if (!exception && registerRead && at(reply, 2) != length - RegisterReplyOverhead)
        return fault(ReplyFault::WrongLength);
    if (!exception && function == fn::Command &&
        length < CommandReplyMinBody(at(request, CommandByte)) + CheckBytes)
        return fault(ReplyFault::WrongLength);
    if (reply.size() < length)
        return fault(ReplyFault::WrongLength);

    ReplyVerdict v;
    v.frameLength = length;
    v.trailingBytes = int(reply.size()) - length;
    const QByteArray frame = reply.left(length);
    const quint8 asked = at(request, 0);
    if (!checkBytesRight(frame)) {
        // In master mode every detector answers: wrong check bytes there are as likely a
        // collision's as a firmware's, so they are never accepted.
        if (!options.acceptBadCheck || asked == 0)
            return fault(ReplyFault::BadCheck, length);
        v.checkBytesBad = true;
    }

    const quint8 from = at(frame, 0);
    if (!addressFits(asked, from))
        v.fault = ReplyFault::OtherAddress;
    else if (exception) {
        v.fault = ReplyFault::Exception;
        v.exceptionCode = at(frame, 2);
    } else if (function == fn::Command && at(frame, CommandByte) != at(request, CommandByte))
        v.fault = ReplyFault::OtherCommand;
    else if ((function == fn::WriteSingle || function == fn::WriteMultiple) &&
             frame.mid(2, 4) != request.mid(2, 4))
        v.fault = ReplyFault::OtherCommand; // the echoed register and value (or count)
    else
        v.fault = ReplyFault::None;
    return v;
}

ReplyChecker MakeReplyChecker(CheckOptions options) {
    return [options](const QByteArray& request, const QByteArray& reply) {
        return CheckReply(request, reply, options);
    };
}

QString ReplyFaultKey(ReplyFault fault) {
    switch (fault) {
    case ReplyFault::None:
        return QStringLiteral("none");
    case ReplyFault::NoReply:
        return QStringLiteral("no_reply");
    case ReplyFault::BadCheck:
        return QStringLiteral("bad_check");
    case ReplyFault::OtherAddress:
        return QStringLiteral("other_address");
    case ReplyFault::OtherFunction:
        return QStringLiteral("other_function");
    case ReplyFault::OtherCommand:
        return QStringLiteral("other_command");
    case ReplyFault::Exception:
        return QStringLiteral("exception");
    case ReplyFault::WrongLength:
        return QStringLiteral("wrong_length");
    case ReplyFault::Echo:
        return QStringLiteral("echo");
    case ReplyFault::EchoMissing:
        return QStringLiteral("echo_missing");
    case ReplyFault::EchoDiffers:
        return QStringLiteral("echo_differs");
    }
    return QStringLiteral("unknown");
}

QString ReplyFaultText(const ReplyVerdict& v) {
    switch (v.fault) {
    case ReplyFault::None:
        return v.checkBytesBad ? QStringLiteral("accepted with bad check bytes")
                               : QStringLiteral("proper answer");
    case ReplyFault::NoReply:
        return QStringLiteral("no reply");
    case ReplyFault::BadCheck:
        return QStringLiteral("bad check bytes");
    case ReplyFault::OtherAddress:
        return QStringLiteral("reply from another address");
    case ReplyFault::OtherFunction:
        return QStringLiteral("reply to another function");
    case ReplyFault::OtherCommand:
        return QStringLiteral("reply to another command or value");
    case ReplyFault::Exception:
        return QStringLiteral("exception %1").arg(v.exceptionCode);
    case ReplyFault::WrongLength:
        return QStringLiteral("wrong length");
    case ReplyFault::Echo:
        return QStringLiteral("echo of the request");
    case ReplyFault::EchoMissing:
        return QStringLiteral("expected echo not heard");
    case ReplyFault::EchoDiffers:
        return QStringLiteral("expected echo not heard: other bytes came");
    }
    return QStringLiteral("unknown");
}

} // namespace fh
