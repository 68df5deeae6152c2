// Ir3Log.txt byte for byte: header, records, the visible/hidden rule, minute ticks, status
// changes.
#include "logging/statuslog.h"

#include "loghelpers.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <vector>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray Header = "\r\n"
                          "Addr. Date        Time          Status   Serial No.\r\n" +
                          QByteArray(70, '-') + "\r\n";
const QByteArray Record = "1     12/5/26     4:27:37 AM    N        4660\r\n";

struct StatusLogFile {
    QTemporaryDir dir;
    QDateTime now = FixedNow;
    StatusLog log{dir.path(), fixedClock(&now)};
    QString path() const { return dir.filePath("Ir3Log.txt"); }
};

TEST(StatusLog, StartAppendsTheHeaderAndARecordOnlyAfterAnAsciiLetter) {
    const quint8 lastStatusBytes[] = {'N', 'z', 0, '5', '@', '[', 0xC1};
    for (quint8 last : lastStatusBytes) {
        StatusLogFile f;
        writeAll(f.path(), "earlier run\r\n");
        f.log.start(15, goodRecord(), last);
        EXPECT_EQ(readAll(f.path()),
                  "earlier run\r\n" + Header + (last == 'N' || last == 'z' ? Record : ""))
            << int(last);
        EXPECT_TRUE(f.log.running());
        EXPECT_EQ(f.log.period(), 15);
    }
}

TEST(StatusLog, RecordFollowsScreenVisibilityAndLinkState) {
    DetectorRecord bad = goodRecord('N', 7);
    bad.LinkGood = false;
    DetectorRecord fault = goodRecord('A', 247, 65535);
    fault.FaultFlag = 1;
    const struct {
        const char* what;
        DetectorRecord record;
        bool visible;
        bool loggingOn;
        QByteArray line; // empty: nothing written
    } cases[] = {
        {"visible, on", goodRecord(), true, true, Record},
        {"visible, off", goodRecord(), true, false, ""},
        {"hidden, off: blank serial", goodRecord('A'), false, false,
         "1     12/5/26     4:27:37 AM    A         \r\n"},
        {"hidden, on: blank serial", goodRecord(), false, true,
         "1     12/5/26     4:27:37 AM    N         \r\n"},
        {"bad link: D, empty serial, padded to 41", bad, true, true,
         "7     12/5/26     4:27:37 AM    D        \r\n"},
        {"fault: f, three-digit address", fault, true, true,
         "247   12/5/26     4:27:37 AM    f        65535\r\n"},
    };
    for (const auto& c : cases) {
        StatusLogFile f;
        if (c.loggingOn)
            f.log.start(15, c.record, 0);
        EXPECT_EQ(f.log.writeRecord(c.record, c.visible), !c.line.isEmpty()) << c.what;
        const QByteArray want = (c.loggingOn ? Header : "") + c.line;
        EXPECT_EQ(readAll(f.path()), want.isEmpty() ? "<missing>" : want) << c.what;
    }
}

TEST(StatusLog, PeriodicRecordsASecondRunWithItsOwnHeaderAndPeriodZero) {
    StatusLogFile f;
    auto line = [](const char* time) {
        return QByteArray("1     12/5/26     ") + time + "    N        4660\r\n";
    };
    auto tick = [&](int minutes) {
        std::vector<int> written;
        for (int i = 1; i <= minutes; ++i) {
            f.now = f.now.addSecs(60);
            if (f.log.minuteTick(goodRecord(), true))
                written.push_back(i);
        }
        return written;
    };

    f.log.start(3, goodRecord(), 'N');
    EXPECT_EQ(tick(7), (std::vector<int>{3, 6}));
    EXPECT_EQ(f.log.minuteCount(), 1);
    f.log.stop();
    EXPECT_EQ(tick(5), std::vector<int>{}); // a stray tick after the stop writes nothing
    f.log.start(5, goodRecord(), 0);
    EXPECT_EQ(f.log.minuteCount(), 0);
    EXPECT_EQ(tick(5), std::vector<int>{5});
    f.log.stop();
    f.log.start(0, goodRecord(), 'N'); // refused: nothing starts, the period stays
    EXPECT_FALSE(f.log.running());
    EXPECT_EQ(f.log.period(), 5);

    EXPECT_EQ(readAll(f.path()), Header + line("4:27:37 AM") + line("4:30:37 AM") +
                                     line("4:33:37 AM") + Header + line("4:44:37 AM"));
}

} // namespace
