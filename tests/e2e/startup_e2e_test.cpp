// Whole programs over a real pseudo-terminal: flamehost against flamehost-sim, and the real
// port backend surviving the simulator going away and coming back.
#include "common/waitfor.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/realport.h"
#include "link/requests.h"
#include "support/simprocess.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace fh;

namespace {

TEST(Startup, TheFirstRequestOnTheLineIsTheStatusCommandToAddress1) {
    test::SimProcess sim({"--trace"});
    ASSERT_TRUE(sim.ok());
    QTemporaryDir data;
    QProcess host; // offscreen, as the test program itself
    host.start(FH_BIN_DIR "/flamehost",
               {"--port", sim.device(), "--no-splash", "--data-dir", data.path()});
    ASSERT_TRUE(host.waitForStarted(5000));
    ASSERT_TRUE(test::WaitFor([&] { return sim.requests().size() >= 3; }, 15000));
    host.terminate();
    host.waitForFinished(5000);

    for (const QString& r : sim.requests())
        EXPECT_EQ(r, "01 C8 07 00 20 D1 5B 04 05 03 BD 27") << "only status polls at start";
    EXPECT_TRUE(QFile::exists(data.filePath("CommTune.txt")));
}

TEST(RealPort, PollingResumesWhenTheDeviceComesBack) {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyFH");
    auto sim = std::make_unique<test::SimProcess>(QStringList{"--link", link});
    ASSERT_TRUE(sim->ok());

    LineWorker worker([link] { return std::make_unique<RealPort>(link); }, MakeReplyChecker());
    worker.setReopenIntervalMs(100);
    ASSERT_TRUE(worker.openPort());
    QSignalSpy cycles(&worker, &LineWorker::cycleDone);
    QSignalSpy states(&worker, &LineWorker::portStateChanged);
    worker.setCycle(Transaction{Pattern::Poll, SendCommand(1, cmd::Status)});
    const auto collected = [&] {
        return !cycles.isEmpty() && cycles.last().at(0).value<Exchange>().collected;
    };
    ASSERT_TRUE(test::WaitFor(collected, 10000));

    sim.reset(); // the adapter is pulled
    ASSERT_TRUE(test::WaitFor([&] { return !states.isEmpty(); }, 10000));
    sim = std::make_unique<test::SimProcess>(QStringList{"--link", link});
    ASSERT_TRUE(sim->ok());
    cycles.clear();
    ASSERT_TRUE(test::WaitFor(collected, 10000));
    ASSERT_EQ(states.count(), 2) << "one message each way";
    EXPECT_TRUE(!states.at(0).at(0).toBool() && states.at(1).at(0).toBool());
}

} // namespace
