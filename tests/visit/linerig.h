#pragma once
// A line worker to a bus of simulated detectors read from a scenario, on virtual time, with
// every request it sends kept.
#include "common/waitfor.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/virtualport.h"
#include "sim/scenario.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QStringList>

namespace fh::test {

struct LineRig {
    explicit LineRig(const char* scenario) {
        QString error;
        bus = parseScenario(scenario, &error);
        EXPECT_TRUE(bus) << qPrintable(error);
        worker = std::make_unique<LineWorker>(
            [this] {
                auto p = std::make_unique<VirtualPort>(clock, *bus);
                port = p.get();
                return p;
            },
            MakeReplyChecker(), clock);
        QObject::connect(worker.get(), &LineWorker::traffic, worker.get(),
                         [this](const Traffic& t) {
                             if (t.direction == Traffic::Sent)
                                 sent << QString::fromLatin1(t.bytes.toHex(' '));
                         });
        EXPECT_TRUE(worker->openPort());
    }
    ~LineRig() { worker->stop(); }

    // The requests sent with this function code (hex, e.g. "06").
    QStringList sentWithFunction(const char* function) const {
        return sent.filter(QRegularExpression(QStringLiteral("^.. %1").arg(function)));
    }

    VirtualClock clock;
    std::unique_ptr<SimBus> bus;
    VirtualPort* port = nullptr;
    std::unique_ptr<LineWorker> worker;
    QStringList sent;
};

} // namespace fh::test
