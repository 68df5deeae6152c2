// The traffic window's model (rows, counters, bound, pause, export) and the keys that open
// the field tools from the main screen.
#include "detector/replycheck.h"
#include "hostrig.h"
#include "link/crc.h"
#include "screens/common/about.h"
#include "screens/traffic/trafficmodel.h"
#include "screens/traffic/trafficwindow.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray Request = SendCommand(1, cmd::Status);
const QByteArray Reply = withCrc(hex("01 C8 09 00 20 00 75 4F C1 00 4E 00"));

Traffic received(const QByteArray& bytes, qint64 afterUs = 5000) {
    Traffic t = Traffic::sent(2'000'000, bytes);
    t.direction = Traffic::Received;
    t.request = Request;
    t.verdict = CheckReply(Request, bytes); // as the worker judges it
    t.sinceSentUs = afterUs;
    return t;
}

TEST(TrafficModel, RowsCountersBoundAndExport) {
    TrafficModel m(1'000'000, 3);
    QByteArray bad = Reply;
    bad[13] = char(bad[13] ^ 0xFF);
    m.add(Traffic::sent(1'500'000, Request));
    m.add(received(Reply));
    m.add(received({}, 600'000));
    m.setPaused(true);
    m.add(received(bad)); // counted, not shown
    m.setPaused(false);
    m.add(received(Reply.left(9)));
    m.flush();
    EXPECT_EQ(m.counters().text(), "requests 1, replies 1, time-outs 1, bad check bytes 1, short "
                                   "or malformed 1, bytes discarded 0");
    ASSERT_EQ(m.rowCount(), 3);
    EXPECT_EQ(m.droppedRows(), 1);
    EXPECT_EQ(m.data(m.index(0, TrafficModel::After)).toString(), "5.0");
    EXPECT_EQ(m.data(m.index(1, TrafficModel::Meaning)).toString(), "no reply (600 ms)");
    EXPECT_EQ(m.data(m.index(0, TrafficModel::Time)).toString(), "1000.0");

    // The meaning is the line words' own test; here its commas stay within one CSV field.
    EXPECT_TRUE(m.csv({0}).contains(",\"status reply: Zorvan A2, serial 20417, status N\",5.0\n"));
    QString error;
    EXPECT_FALSE(m.save("/nonexistent-dir/traffic.csv", true, &error));
    EXPECT_TRUE(error.startsWith("Cannot write /nonexistent-dir/traffic.csv"));
    m.clear();
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.counters().requests, 0);
}

// However fast frames come, a view over the model gets them as one insertion and one counters
// update per batch, so it repaints at most ten times a second; the bound holds across it.
TEST(TrafficModel, ABurstOfFramesIsOneInsertion) {
    TrafficModel m(0, 5);
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    QSignalSpy counted(&m, &TrafficModel::countersChanged);
    for (int i = 0; i < 8; ++i)
        m.add(Traffic::sent(i * 1000, Request));
    EXPECT_EQ(m.rowCount(), 0);
    ASSERT_TRUE(inserted.wait(5000));
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(counted.count(), 1);
    EXPECT_EQ(m.counters().requests, 8);
    EXPECT_EQ(m.rowCount(), 5);
    EXPECT_EQ(m.droppedRows(), 3);
    EXPECT_EQ(m.data(m.index(0, TrafficModel::Time)).toString(), "3.0"); // the newest five
}

TEST(FieldToolKeys, F1F7AndF9OnTheMainScreen) {
    MainRig rig;
    MainScreen& m = *rig.main;
    ASSERT_TRUE(rig.loadGood());
    QTest::keyClick(rig.button("cmdBIT"), Qt::Key_F1);
    auto* help = m.findChild<QWidget*>("frmKeyHelp");
    ASSERT_NE(help, nullptr);
    const QString keys = help->findChild<QLabel*>("lblKeys")->text();
    EXPECT_TRUE(keys.contains("F7") && keys.contains("F9") &&
                keys.contains(AboutText().section('\n', 0, 0)));
    help->close();

    QTest::keyClick(rig.button("cmdBIT"), Qt::Key_F9);
    QPointer<TrafficWindow> traffic = m.findChild<TrafficWindow*>();
    ASSERT_TRUE(traffic);
    // The window shows the line's live traffic, wherever in an exchange it opened.
    ASSERT_TRUE(WaitFor([&] { return traffic->model().rowCount() >= 4; }));
    const QString rows = traffic->model().csv();
    EXPECT_TRUE(rows.contains("status request to 1")) << qPrintable(rows);
    EXPECT_TRUE(rows.contains("status reply: Zorvan A2, serial 20417, status N"));

    QTest::keyClick(rig.button("cmdBIT"), Qt::Key_F7);
    EXPECT_EQ(rig.opened, QStringList{"overview"});
    EXPECT_FALSE(m.isVisible());
    EXPECT_TRUE(traffic->isVisible()); // it stays beside whatever screen is in front
    traffic->close();
}

} // namespace
