// scan: the status command to each address in turn.
#include "commands.h"
#include "detector/replycheck.h"
#include "link/requests.h"

#include <cstdio>
#include <map>

namespace fh::cli {

namespace {

quint8 byteAt(const QByteArray& reply, int index) {
    return static_cast<quint8>(reply.at(index));
}

// Status replies have the command frame's layout: address, 200, byte count, the counted
// bytes, two check bytes.
constexpr int FrameOverhead = 5;

enum class Piece { Status, Garbled, Other };

// Splits what one window collected into the status replies it holds: with a short --timeout
// a slow detector's reply lands in the next poll's window, just before that one's own. Each
// piece passes the reply check as the answer to a poll of the address it carries.
QList<QByteArray> statusFrames(const QByteArray& collected, CheckOptions options, Piece* rest) {
    QList<QByteArray> frames;
    *rest = Piece::Status;
    int at = 0;
    while (at < collected.size()) {
        const QByteArray tail = collected.mid(at);
        const int length = tail.size() > 2 ? byteAt(tail, 2) + FrameOverhead : 0;
        if (length < FrameOverhead || length > tail.size()) {
            *rest = Piece::Other;
            break;
        }
        const QByteArray frame = tail.left(length);
        const ReplyVerdict v =
            CheckReply(SendCommand(byteAt(frame, 0), cmd::Status), frame, options);
        if (!v.ok()) {
            // Two detectors set to one address answer together and their bytes come out
            // mangled.
            *rest = v.fault == ReplyFault::BadCheck ? Piece::Garbled : Piece::Other;
            break;
        }
        frames << frame;
        at += length;
    }
    return frames;
}

QString list(const QList<int>& addresses) {
    QStringList texts;
    for (int a : addresses)
        texts << QString::number(a);
    return texts.join(QStringLiteral(", "));
}

} // namespace

Outcome Scan(const Session& s) {
    const Options& o = s.options;
    std::map<int, DetectorRecord> found;
    QList<int> notStatus, garbled;
    for (int a = o.from; a <= o.to; ++a) {
        if (s.progress)
            std::fprintf(stderr, "\rscanning address %d of %d..%d ", a, o.from, o.to);
        const Exchange x = s.run(s.transaction(Pattern::Poll, SendCommand(quint8(a), cmd::Status)));
        if (x.portError) {
            if (s.progress)
                std::fprintf(stderr, "\n");
            return *Unanswered(x, quint8(a), QStringLiteral("the status command"));
        }
        if (!x.collected)
            continue;
        Piece rest = Piece::Status;
        CheckOptions check;
        check.acceptBadCheck = o.acceptBadCheck;
        const QList<QByteArray> frames =
            x.answered ? QList<QByteArray>{x.reply} : statusFrames(x.reply, check, &rest);
        if (rest == Piece::Garbled)
            garbled << a;
        else if (rest == Piece::Other)
            notStatus << a;
        // Listed by the address the reply carries, so a late reply still counts.
        for (const QByteArray& frame : frames) {
            const int from = byteAt(frame, 0);
            if (from < o.from || from > o.to || found.count(from))
                continue;
            DetectorRecord record;
            record.Address = quint8(from);
            DecodeStatusReply(frame, record);
            found[from] = record;
        }
    }
    if (s.progress)
        std::fprintf(stderr, "\r%*s\r", 40, "");

    Outcome out;
    out.hasOutput = true;
    QJsonArray entries;
    if (!found.empty())
        out.text << QStringLiteral("address  model               serial  status");
    for (const auto& [address, record] : found) {
        QJsonObject entry;
        entry.insert("address", address);
        entry.insert("model", record.ModelName);
        entry.insert("serial", record.SerialNumber);
        entry.insert("status", StatusText(record));
        entries.append(entry);
        out.text << QStringLiteral("%1  %2  %3  %4")
                        .arg(address, 7)
                        .arg(record.ModelName, -18)
                        .arg(record.SerialNumber, 6)
                        .arg(StatusText(record));
    }
    out.json = entries;

    QStringList notes;
    if (!garbled.isEmpty())
        notes << QStringLiteral("mangled replies at address %1 (two detectors at one address?)")
                     .arg(list(garbled));
    if (!notStatus.isEmpty())
        notes << QStringLiteral("something that was not a status reply came back at address %1")
                     .arg(list(notStatus));
    if (found.empty()) {
        out.exitCode = exitcode::NoAnswer;
        notes << QStringLiteral("no detector answered at addresses %1 to %2").arg(o.from).arg(o.to);
    }
    out.message = notes.join(QStringLiteral("; "));
    return out;
}

} // namespace fh::cli
