#pragma once
// Helpers for screen tests on the simulated line: the frames the host sent, one command run
// to its end, and waiting for a condition without a fixed sleep.
#include "link/exchange.h"
#include "link/lineworker.h"

#include <algorithm>
#include <functional>
#include <QObject>
#include <QSignalSpy>
#include <QTest>
#include <vector>

namespace fh::test {

// Every frame the worker sends from now on, in order (delivered on the test's thread).
class SentFrames : public QObject {
public:
    explicit SentFrames(LineWorker& worker) {
        connect(&worker, &LineWorker::traffic, this, [this](const Traffic& t) {
            if (t.direction == Traffic::Sent)
                frames.push_back(t.bytes);
        });
    }
    int count(const QByteArray& frame) const {
        return int(std::count(frames.begin(), frames.end(), frame));
    }
    std::vector<QByteArray> frames;
};

// Submits one command and waits for its own result.
inline Exchange RunCommand(LineWorker& worker, const Transaction& t) {
    QSignalSpy done(&worker, &LineWorker::commandDone);
    const quint64 id = worker.submit(t);
    for (int round = 0; round < 40; ++round) {
        for (const auto& args : done) {
            const Exchange x = args.at(0).value<Exchange>();
            if (x.id == id)
                return x;
        }
        done.wait(500);
    }
    return {};
}

// Waits (with events running) until the condition holds; false after a generous limit.
inline bool WaitFor(const std::function<bool()>& condition, int limitMs = 20000) {
    return QTest::qWaitFor(condition, limitMs);
}

} // namespace fh::test
