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

MaintenanceReadings readings(const char* address = "5", char status = 'N', const char* fault = "N",
                             quint16 serial = 1234, float s4 = 1.234f, float s45 = 22.5f,
                             float s5 = 333.33f) {
    MaintenanceReadings r;
    r.Address = address;
    r.StatusChar = quint8(status);
    r.FaultText = fault;
    r.SerialNumber = serial;
    r.Sum4 = s4;
    r.Sum45 = s45;
    r.Sum5 = s5;
    return r;
}

struct SumsLogFile {
    QTemporaryDir dir;
    SumsLog log{dir.path(), fixedClock()};
    QString path() const { return dir.filePath("Ir3SumsLog.txt"); }
};

TEST(SumsLog, SwitchOnAppendsHeaderAndFirstRecord) {
    SumsLogFile f;
    writeAll(f.path(), "kept\r\n");
    f.log.StartSumsLog(1, readings());
    // 5 at 1, NN at 33-34, 1234 from 42, 1.2 at 47, 22.5 at 57, 333.3 at 69.
    EXPECT_EQ(readAll(f.path()),
              "kept\r\n" + Header +
                  "5     12/5/26     4:27:37 AM    NN       1234 1.2       22.5        333.3\r\n");
}

TEST(SumsLog, RecordLines) {
    const struct {
        const char* what;
        MaintenanceReadings r;
        QByteArray line;
    } cases[] = {
        {"five-digit serial meets Sum4's column",
         readings("12", 'W', "F", 65535, 0.06f, -2.25f, 1234.56f),
         "12    12/5/26     4:27:37 AM    WF       655350.1       -2.3        1234.6\r\n"},
        {"wide sums push the next to a new line", readings("247", 'A', "N", 0, 1e9f, 0, -0.04f),
         "247   12/5/26     4:27:37 AM    AN       0    1000000000.0\r\n" + QByteArray(56, ' ') +
             "0.0         0.0\r\n"},
        {"status byte that is no character", readings("1", 0, "N", 7, 12.34f, 0.25f, 0),
         "1     12/5/26     4:27:37 AM    ?N       7    12.3      0.3         0.0\r\n"},
    };
    for (const auto& c : cases) {
        SumsLogFile f;
        f.log.StartSumsLog(5, c.r);
        EXPECT_EQ(readAll(f.path()), Header + c.line) << c.what;
    }
}

TEST(SumsLog, FormatOneDecimal) {
    const struct {
        float value;
        const char* text;
    } cases[] = {{-0.06f, "-0.1"}, {-12.34f, "-12.3"}, {99.96f, "100.0"}, {-0.25f, "-0.3"}};
    for (const auto& c : cases)
        EXPECT_EQ(FormatLogSum(c.value), c.text) << c.value;
}

TEST(SumsLog, TicksStatusChangesAndSwitchingOffAndOn) {
    SumsLogFile f;
    const MaintenanceReadings r = readings();
    auto records = [&] { return readAll(f.path()).count("12/5/26"); };
    auto tick = [&](int n) {
        std::vector<int> written;
        for (int i = 1; i <= n; ++i) {
            const auto before = records();
            f.log.SumsLogTick(r);
            if (records() > before)
                written.push_back(i);
        }
        return written;
    };

    // The screen's timer ticks while logging is off: counted, nothing written.
    EXPECT_EQ(tick(2), std::vector<int>{});
    EXPECT_FALSE(f.log.WriteSumsLogRecord(r));
    EXPECT_EQ(readAll(f.path()), "<missing>");

    f.log.StartSumsLog(1, r);
    EXPECT_EQ(tick(2), (std::vector<int>{1, 2}));

    f.log.StopSumsLog();
    f.log.StartSumsLog(3, r);
    EXPECT_EQ(f.log.SumsLogMinuteCount(), 0);
    EXPECT_EQ(tick(2), std::vector<int>{});
    EXPECT_TRUE(f.log.WriteSumsLogRecord(r)); // a status change between ticks
    EXPECT_EQ(f.log.SumsLogMinuteCount(), 2); // does not restart the count
    EXPECT_EQ(tick(4), (std::vector<int>{1, 4}));

    f.log.StopSumsLog();
    EXPECT_EQ(tick(3), std::vector<int>{});
    f.log.StartSumsLog(0, r); // refused: nothing changes
    EXPECT_FALSE(f.log.SumsLoggingOn());
    EXPECT_EQ(f.log.SumsLogPeriod(), 3);

    const QByteArray all = readAll(f.path());
    EXPECT_EQ(all.count("Sum45"), 2); // one header per switch-on
    EXPECT_EQ(records(), 1 + 2 + 1 + 1 + 2);
}

} // namespace
