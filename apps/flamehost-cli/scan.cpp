// scan: the status command to each address in turn.
#include "commands.h"
#include "detector/busscan.h"
#include "link/requests.h"

#include <cstdio>
#include <map>

namespace fh::cli {

Outcome Scan(const Session& s) {
    const Options& o = s.options;
    // By address: a detector found there, or the words for what came instead. Only a reply
    // that passes the check as the answer to that address's poll lists a detector.
    std::map<int, DetectorRecord> found;
    std::map<int, QString> problems;
    for (int a = o.from; a <= o.to; ++a) {
        if (s.progress)
            std::fprintf(stderr, "\rscanning address %d of %d..%d ", a, o.from, o.to);
        const Exchange x = s.run(s.transaction(Pattern::Poll, SendCommand(quint8(a), cmd::Status)));
        if (x.portError) {
            if (s.progress)
                std::fprintf(stderr, "\n");
            return *Unanswered(x, quint8(a), QStringLiteral("the status command"));
        }
        const ScanJudgement j = JudgeScanPoll(x);
        if (j.finding == ScanFinding::Detector) {
            DetectorRecord record;
            record.Address = quint8(a);
            DecodeStatusReply(x.reply, record);
            found[a] = record;
        } else if (j.finding != ScanFinding::Silent) {
            problems[a] = ScanProblemText(j);
        }
    }
    if (s.progress)
        std::fprintf(stderr, "\r%*s\r", 40, "");

    Outcome out;
    out.hasOutput = true;
    QJsonArray entries;
    if (!found.empty() || !problems.empty())
        out.text << QStringLiteral("address  model               serial  status");
    for (int a = o.from; a <= o.to; ++a) {
        QJsonObject entry;
        entry.insert("address", a);
        if (const auto d = found.find(a); d != found.end()) {
            const DetectorRecord& record = d->second;
            entry.insert("model", record.ModelName);
            entry.insert("serial", record.SerialNumber);
            entry.insert("status", StatusText(record));
            out.text << QStringLiteral("%1  %2  %3  %4")
                            .arg(a, 7)
                            .arg(record.ModelName, -18)
                            .arg(record.SerialNumber, 6)
                            .arg(StatusText(record));
        } else if (const auto p = problems.find(a); p != problems.end()) {
            // Something answered that is not a detector at this address: shown, never counted.
            for (const char* key : {"model", "serial", "status"})
                entry.insert(key, QJsonValue::Null);
            entry.insert("problem", p->second);
            out.text << QStringLiteral("%1  (%2)").arg(a, 7).arg(p->second);
        } else {
            continue;
        }
        entries.append(entry);
    }
    out.json = entries;

    if (found.empty()) {
        out.exitCode = exitcode::NoAnswer;
        out.message = QStringLiteral("no detector answered%1 at addresses %2 to %3")
                          .arg(problems.empty() ? QString() : QStringLiteral(" properly"))
                          .arg(o.from)
                          .arg(o.to);
    }
    return out;
}

} // namespace fh::cli
