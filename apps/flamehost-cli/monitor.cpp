#include "monitor.h"

#include "detector/linewords.h"
#include "detector/replycheck.h"
#include "link/clock.h"
#include "link/framesplitter.h"
#include "link/listenport.h"
#include "link/requests.h"
#include "report.h"

#include <csignal>
#include <cstdio>
#include <QJsonDocument>
#include <QJsonObject>

namespace fh::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

class Printer {
public:
    Printer(const Options& o, qint64 startUs) : o_(o), startUs_(startUs) {
        check_.acceptBadCheck = o.acceptBadCheck;
    }

    void frame(const HeardFrame& f) {
        QString kind, words;
        ReplyVerdict verdict;
        switch (f.kind) {
        case HeardFrame::Request:
            kind = QStringLiteral("request");
            words = DescribeRequest(f.bytes);
            counters.countRequest();
            break;
        case HeardFrame::Reply:
        case HeardFrame::NoReply:
            kind = QStringLiteral("reply");
            verdict = CheckReply(f.request, f.bytes, check_);
            words = DescribeReply(f.request, f.bytes, verdict, int((f.endUs - f.startUs) / 1000));
            counters.countReply(f.bytes, verdict);
            break;
        case HeardFrame::Noise:
            kind = QStringLiteral("noise");
            // Something that starts like a request is told as one (short, bad check bytes).
            words = ExpectedRequestLength(f.bytes) > 0
                        ? DescribeRequest(f.bytes)
                        : QStringLiteral("garbage, %1 bytes").arg(f.bytes.size());
            counters.discarded += f.bytes.size();
            break;
        }
        const double ms = double(f.startUs - startUs_) / 1000.0;
        if (o_.json) {
            QJsonObject line;
            line.insert("ms", qRound(ms * 10) / 10.0);
            line.insert("kind", kind);
            if (!f.bytes.isEmpty()) {
                line.insert("address", FrameAddress(f.bytes));
                line.insert("function", FrameFunction(f.bytes));
                line.insert("length", int(f.bytes.size()));
                line.insert("check", CheckBytesGood(f.bytes) ? "good" : "bad");
            }
            line.insert("words", words);
            if (f.kind == HeardFrame::Reply)
                line.insert("after_ms", qRound(f.sinceRequestUs / 100.0) / 10.0);
            if (o_.hex)
                line.insert("hex", QString::fromLatin1(f.bytes.toHex(' ')));
            std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        } else {
            QString text = QStringLiteral("%1  %2 %3").arg(ms, 10, 'f', 1).arg(kind, -8).arg(words);
            if (f.kind == HeardFrame::Reply)
                text += QStringLiteral("  (+%1 ms)").arg(f.sinceRequestUs / 1000.0, 0, 'f', 1);
            if (o_.hex && !f.bytes.isEmpty())
                text += QStringLiteral("  [%1]").arg(QString::fromLatin1(f.bytes.toHex(' ')));
            std::printf("%s\n", qPrintable(text));
        }
        std::fflush(stdout);
    }

    void summary() const {
        if (o_.json) {
            QJsonObject c{
                {"requests", counters.requests},   {"replies", counters.replies},
                {"timeouts", counters.timeouts},   {"bad_check", counters.badCheck},
                {"malformed", counters.malformed}, {"discarded_bytes", counters.discarded}};
            std::printf("%s\n", QJsonDocument(QJsonObject{{"counters", c}})
                                    .toJson(QJsonDocument::Compact)
                                    .constData());
        } else {
            std::printf("%s\n", qPrintable(counters.text()));
        }
        std::fflush(stdout);
    }

    LineCounters counters;

private:
    const Options& o_;
    CheckOptions check_;
    qint64 startUs_;
};

} // namespace

int RunMonitor(const Options& o) {
    ListenPort port(o.port);
    if (!port.open())
        return Print(Outcome::failure(exitcode::Usage, port.errorText().trimmed()), false);
    stopRequested = 0;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    Clock& clock = SteadyClock::instance();
    const qint64 start = clock.nowUs();
    const qint64 end = o.durationS > 0 ? start + qint64(o.durationS) * 1'000'000 : -1;
    std::fprintf(stderr, "flamehost-cli: listening on %s, sending nothing; Ctrl+C ends\n",
                 qPrintable(o.port));
    FrameSplitter splitter;
    Printer printer(o, start);
    int status = exitcode::Success;
    while (!stopRequested) {
        // Bytes are read the moment they arrive, so their times show the silences between
        // frames; the timeout only bounds how late a frame's end is noticed.
        const QByteArray bytes = port.read(20);
        const qint64 now = clock.nowUs();
        if (!bytes.isEmpty())
            splitter.feed(bytes, now);
        splitter.idle(now);
        for (const HeardFrame& f : splitter.take())
            printer.frame(f);
        if (port.lost()) {
            std::fprintf(stderr, "flamehost-cli: %s went away\n", qPrintable(o.port));
            status = exitcode::Usage;
            break;
        }
        if (end >= 0 && now >= end)
            break;
    }
    splitter.finish(clock.nowUs());
    for (const HeardFrame& f : splitter.take())
        printer.frame(f);
    printer.summary();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return status;
}

} // namespace fh::cli
