#include "detector/linewords.h"

#include "detector/detectorrecord.h"
#include "link/crc.h"
#include "link/requests.h"

#include <algorithm>

namespace fh {

namespace {

quint8 at(const QByteArray& b, int i) {
    return static_cast<quint8>(b.at(i));
}

quint16 word(const QByteArray& b, int i) {
    return quint16(at(b, i) << 8 | at(b, i + 1));
}

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString commandName(quint8 code) {
    switch (code) {
    case cmd::Status:
        return QStringLiteral("status");
    case cmd::Bit:
        return QStringLiteral("BIT");
    case cmd::Version:
        return QStringLiteral("version");
    default:
        return QStringLiteral("command %1").arg(code);
    }
}

// Text from the line shown as text: anything unprintable becomes '?', so a hostile byte
// cannot move the cursor of a terminal or break a CSV row.
QString printable(const QByteArray& bytes) {
    QString out;
    for (char c : bytes)
        out += (c >= 0x20 && c < 0x7F) ? QChar(c) : QChar('?');
    return out.trimmed();
}

QString requestWords(const QByteArray& r) {
    if (r.size() < 4)
        return QStringLiteral("%1, too short for a request")
            .arg(plural(int(r.size()), "byte", "bytes"));
    const int address = at(r, 0);
    const quint8 function = at(r, 1);
    const int expected = ExpectedRequestLength(r);
    if (expected == 0)
        return QStringLiteral("function %1 to %2").arg(function).arg(address);
    if (r.size() < expected)
        return QStringLiteral("short request: %1 of %2 bytes").arg(r.size()).arg(expected);
    switch (function) {
    case fn::ReadHolding:
    case fn::ReadInput: {
        const int count = word(r, 4);
        const int first = word(r, 2);
        QString text = QStringLiteral("read %1 from %2")
                           .arg(function == fn::ReadInput
                                    ? plural(count, "input register", "input registers")
                                    : plural(count, "holding register", "holding registers"))
                           .arg(address);
        if (first != 0)
            text += QStringLiteral(" (from register %1)").arg(first);
        return text;
    }
    case fn::WriteSingle:
        return QStringLiteral("write %1 to register %2 of %3")
            .arg(word(r, 4))
            .arg(word(r, 2))
            .arg(address);
    case fn::WriteMultiple:
        return QStringLiteral("write %1 from register %2 of %3")
            .arg(plural(word(r, 4), "register", "registers"))
            .arg(word(r, 2))
            .arg(address);
    default:
        return QStringLiteral("%1 request to %2").arg(commandName(at(r, 4))).arg(address);
    }
}

// Enough bytes of the right function for the words below to read, whatever the verdict says.
bool shapeFits(const QByteArray& q, const QByteArray& a, int length) {
    if (q.size() < 5 || length < 5 || length > a.size() || at(a, 1) != at(q, 1))
        return false;
    const bool status = at(q, 1) == fn::Command && at(q, 4) == cmd::Status;
    const int needed = status ? StatusReplyMinLength : ExpectedReplyLength(q, a.left(length));
    return length >= needed;
}

QString answerWords(const QByteArray& q, const QByteArray& a, int length) {
    const int from = at(a, 0);
    switch (at(q, 1)) {
    case fn::ReadHolding:
    case fn::ReadInput: {
        const int count = at(a, 2) / 2;
        const QString what = at(q, 1) == fn::ReadInput
                                 ? plural(count, "input register", "input registers")
                                 : plural(count, "holding register", "holding registers");
        if (count == 1)
            return QStringLiteral("%1 from %2: %3").arg(what).arg(from).arg(word(a, 3));
        return QStringLiteral("%1 from %2").arg(what).arg(from);
    }
    case fn::WriteSingle:
        return QStringLiteral("%1 wrote %2 to register %3")
            .arg(from)
            .arg(word(a, 4))
            .arg(word(a, 2));
    case fn::WriteMultiple:
        return QStringLiteral("%1 wrote %2 from register %3")
            .arg(from)
            .arg(plural(word(a, 4), "register", "registers"))
            .arg(word(a, 2));
    default:
        break;
    }
    switch (at(a, 4)) {
    case cmd::Status: {
        DetectorRecord record;
        DecodeStatusReply(a.left(length), record);
        return QStringLiteral("status reply: %1, serial %2, status %3")
            .arg(record.ModelName)
            .arg(record.SerialNumber)
            .arg(printable(StatusText(record).toLatin1()));
    }
    case cmd::Bit:
        return QStringLiteral("BIT reply from %1: %2")
            .arg(from)
            .arg(BitPerformed(a) ? QStringLiteral("performed") : QStringLiteral("not performed"));
    case cmd::Version:
        return QStringLiteral("version reply from %1: \"%2\"")
            .arg(from)
            .arg(printable(VersionText(a.left(length)).toLatin1()));
    default:
        return QStringLiteral("%1 reply from %2").arg(commandName(at(a, 4))).arg(from);
    }
}

} // namespace

void LineCounters::countReply(const QByteArray& reply, const ReplyVerdict& verdict) {
    discarded += verdict.trailingBytes;
    switch (verdict.fault) {
    case ReplyFault::None:
    case ReplyFault::Exception:
        ++replies;
        break;
    case ReplyFault::NoReply:
        if (reply.isEmpty())
            ++timeouts;
        else
            ++malformed;
        break;
    case ReplyFault::BadCheck:
        ++badCheck;
        break;
    default:
        ++malformed;
        break;
    }
}

QString LineCounters::text() const {
    return QStringLiteral("requests %1, replies %2, time-outs %3, bad check bytes %4, short or "
                          "malformed %5, bytes discarded %6")
        .arg(requests)
        .arg(replies)
        .arg(timeouts)
        .arg(badCheck)
        .arg(malformed)
        .arg(discarded);
}

int FrameAddress(const QByteArray& frame) {
    return frame.isEmpty() ? -1 : at(frame, 0);
}

int FrameFunction(const QByteArray& frame) {
    return frame.size() < 2 ? -1 : at(frame, 1);
}

bool CheckBytesGood(const QByteArray& frame) {
    return frame.size() >= 3 && withCrc(frame.left(frame.size() - 2)) == frame;
}

QString DescribeRequest(const QByteArray& request) {
    QString text = requestWords(request);
    const int expected = ExpectedRequestLength(request);
    if (request.size() >= 4 && request.size() >= expected && !CheckBytesGood(request))
        text += QStringLiteral(", bad check bytes");
    return text;
}

QString DescribeReply(const QByteArray& request, const QByteArray& reply,
                      const ReplyVerdict& verdict, int waitedMs) {
    if (reply.isEmpty() && verdict.fault != ReplyFault::EchoMissing)
        return QStringLiteral("no reply (%1 ms)").arg(waitedMs);
    const QString size = plural(int(reply.size()), "byte", "bytes");
    QString text;
    switch (verdict.fault) {
    case ReplyFault::None:
        // A verdict that claims more than the bytes show is not believed.
        if (!shapeFits(request, reply, verdict.frameLength))
            text = QStringLiteral("malformed reply, %1").arg(size);
        else
            text = answerWords(request, reply, verdict.frameLength);
        if (verdict.checkBytesBad)
            text += QStringLiteral(", bad check bytes accepted");
        break;
    case ReplyFault::NoReply:
        return QStringLiteral("no reply (%1 ms)").arg(waitedMs);
    case ReplyFault::BadCheck:
        text = QStringLiteral("bad check bytes, %1").arg(size);
        break;
    case ReplyFault::OtherAddress:
        text = QStringLiteral("reply from %1, not from %2")
                   .arg(at(reply, 0))
                   .arg(request.isEmpty() ? -1 : at(request, 0));
        break;
    case ReplyFault::OtherFunction:
        text = QStringLiteral("function %1 in reply to function %2")
                   .arg(FrameFunction(reply))
                   .arg(FrameFunction(request));
        break;
    case ReplyFault::OtherCommand:
        text =
            QStringLiteral("%1 reply to a %2 request")
                .arg(reply.size() > 4 ? commandName(at(reply, 4)) : QStringLiteral("unknown"))
                .arg(request.size() > 4 ? commandName(at(request, 4)) : QStringLiteral("unknown"));
        break;
    case ReplyFault::Exception:
        text = QStringLiteral("exception %1 from %2").arg(verdict.exceptionCode).arg(at(reply, 0));
        break;
    case ReplyFault::WrongLength: {
        const int expected = ExpectedReplyLength(request, reply);
        text = expected > reply.size()
                   ? QStringLiteral("short reply: %1 of %2 bytes").arg(reply.size()).arg(expected)
                   : QStringLiteral("malformed reply, %1").arg(size);
        break;
    }
    case ReplyFault::Echo:
        text = QStringLiteral("the request came back (echo)");
        break;
    case ReplyFault::EchoMissing:
        text = QStringLiteral("our own echo did not come back");
        break;
    case ReplyFault::EchoDiffers:
        text = QStringLiteral("our own echo came back changed, %1").arg(size);
        break;
    }
    if (verdict.trailingBytes > 0)
        text += QStringLiteral(", %1 dropped")
                    .arg(plural(verdict.trailingBytes, "trailing byte", "trailing bytes"));
    return text;
}

} // namespace fh
