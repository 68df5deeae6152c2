// Ir3SumsLog.txt byte for byte: header, records, the "##0.0" sums, switch-on and minute ticks.
#include "logging/sumslog.h"

#include "loghelpers.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <vector>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray Header = "\r\n"
                          "Addr. Date        Time          Status   SerialNo.\r\n" +
                          QByteArray(46, ' ') + "Sum4      Sum45       Sum5\r\n" +
                          QByteArray(81, '-') + "\r\n";

MaintenanceReadings readings(const char* address, char status, const char* fault, quint16 serial,
                             float s4, float s45, float s5) {
    return {.Sum4 = s4,
            .Sum45 = s45,
            .Sum5 = s5,
            .SerialNumber = serial,
            .StatusChar = quint8(status),
            .FaultText = fault,
            .Address = address};
}

struct SumsLogFile {
    QTemporaryDir dir;
    SumsLog log{dir.path(), fixedClock()};
    QString path() const { return dir.filePath("Ir3SumsLog.txt"); }
};

TEST(SumsLog, SwitchOnAppendsHeaderAndFirstRecord) {
    const struct {
        const char* what;
        MaintenanceReadings r;
        QByteArray line;
    } cases[] = {
        // 5 at 1, NN at 33-34, 1234 from 42, 1.2 at 47, 22.5 at 57, 333.3 at 69.
        {"columns", readings("5", 'N', "N", 1234, 1.234f, 22.5f, 333.33f),
         "5     12/5/26     4:27:37 AM    NN       1234 1.2       22.5        333.3\r\n"},
        {"five-digit serial meets Sum4's column",
         readings("12", 'W', "F", 65535, -0.06f, -2.25f, 1234.56f),
         "12    12/5/26     4:27:37 AM    WF       65535-0.1      -2.3        1234.6\r\n"},
        {"wide sums push the next to a new line; no minus on zero",
         readings("247", 'A', "N", 0, 1e9f, 0, -0.04f),
         "247   12/5/26     4:27:37 AM    AN       0    1000000000.0\r\n" + QByteArray(56, ' ') +
             "0.0         0.0\r\n"},
        {"status byte that is no character; halves away from zero",
         readings("1", 0, "N", 7, 99.96f, 0.25f, -0.25f),
         "1     12/5/26     4:27:37 AM    ?N       7    100.0     0.3         -0.3\r\n"},
    };
    for (const auto& c : cases) {
        SumsLogFile f;
        writeAll(f.path(), "kept\r\n");
        f.log.start(5, c.r);
        EXPECT_EQ(readAll(f.path()), "kept\r\n" + Header + c.line) << c.what;
    }
}

TEST(SumsLog, TicksStatusChangesAndSwitchingOffAndOn) {
    SumsLogFile f;
    const MaintenanceReadings r;
    auto records = [&] { return readAll(f.path()).count("12/5/26"); };
    auto tick = [&](int n) {
        std::vector<int> written;
        for (int i = 1; i <= n; ++i) {
            const auto before = records();
            f.log.minuteTick(r);
            if (records() > before)
                written.push_back(i);
        }
        return written;
    };

    // Ticks while logging is off write nothing.
    EXPECT_EQ(tick(2), std::vector<int>{});
    EXPECT_FALSE(f.log.writeRecord(r));
    EXPECT_EQ(readAll(f.path()), "<missing>");

    f.log.start(1, r);
    EXPECT_EQ(tick(2), (std::vector<int>{1, 2}));

    f.log.stop();
    f.log.start(3, r);
    EXPECT_EQ(f.log.minuteCount(), 0);
    EXPECT_EQ(tick(2), std::vector<int>{});
    EXPECT_TRUE(f.log.writeRecord(r)); // a status change between ticks
    EXPECT_EQ(f.log.minuteCount(), 2); // does not restart the count
    EXPECT_EQ(tick(4), (std::vector<int>{1, 4}));

    f.log.stop();
    EXPECT_EQ(tick(3), std::vector<int>{});
    f.log.start(0, r); // refused: nothing changes
    EXPECT_FALSE(f.log.running());
    EXPECT_EQ(f.log.period(), 3);

    EXPECT_EQ(readAll(f.path()).count("Sum45"), 2); // one header per switch-on
    EXPECT_EQ(records(), 1 + 2 + 1 + 1 + 2);
}

} // namespace
