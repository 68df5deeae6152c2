// Ir3Log.txt byte for byte: header, records, the visible/hidden rule, minute ticks, status
// changes.
#include "logging/statuslog.h"

#include "loghelpers.h"

#include <gtest/gtest.h>
#include <memory>
#include <QTemporaryDir>
#include <vector>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray Header = "\r\n"
                          "Addr. Date        Time          Status   Serial No.\r\n" +
                          QByteArray(70, '-') + "\r\n";

DetectorRecord goodRecord(quint8 address = 1, char status = 'N', quint16 serial = 4660) {
    DetectorRecord r;
    r.Address = address;
    r.StatusChar = quint8(status);
    r.SerialNumber = serial;
    r.LinkGood = true;
    return r;
}

struct StatusLogFile {
    QTemporaryDir dir;
    StatusLog log{dir.path(), fixedClock()};
    QString path() const { return dir.filePath("Ir3Log.txt"); }
};

TEST(StatusLog, StartAppendsHeaderAndFirstRecordBelowEarlierContent) {
    StatusLogFile f;
    writeAll(f.path(), "earlier run\r\n");
    f.log.Start(15, goodRecord(), 'N');

    EXPECT_EQ(readAll(f.path()),
              "earlier run\r\n" + Header + "1     12/5/26     4:27:37 AM    N        4660\r\n");
    EXPECT_TRUE(f.log.LoggingOn());
    EXPECT_EQ(f.log.LogPeriod(), 15);
}

TEST(StatusLog, StartWithoutALetterWritesTheHeaderOnly) {
    for (quint8 last : {quint8(0), quint8('5'), quint8('@'), quint8('['), quint8(0xC1)}) {
        StatusLogFile f;
        f.log.Start(2, goodRecord(), last);
        EXPECT_EQ(readAll(f.path()), Header) << int(last);
    }
}

TEST(StatusLog, RecordFollowsScreenVisibilityAndLinkState) {
    DetectorRecord bad = goodRecord(7);
    bad.LinkGood = false;
    DetectorRecord fault = goodRecord(247, 'A', 65535);
    fault.FaultFlag = 1;
    const struct {
        const char* what;
        DetectorRecord record;
        bool visible;
        bool loggingOn;
        QByteArray line; // empty: nothing written
    } cases[] = {
        {"visible, on", goodRecord(), true, true,
         "1     12/5/26     4:27:37 AM    N        4660\r\n"},
        {"visible, off", goodRecord(), true, false, ""},
        {"hidden, off: blank serial", goodRecord(1, 'A'), false, false,
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
        if (c.loggingOn) {
            f.log.Start(15, c.record, 0);
        }
        const bool wrote = f.log.WriteLogRecord(c.record, c.visible);
        EXPECT_EQ(wrote, !c.line.isEmpty()) << c.what;
        const QByteArray before = c.loggingOn ? Header : QByteArray();
        EXPECT_EQ(readAll(f.path()),
                  c.line.isEmpty() && before.isEmpty() ? QByteArray("<missing>") : before + c.line)
            << c.what;
    }
}

TEST(StatusLog, PeriodicRecordsASecondRunWithItsOwnHeaderAndPeriodZero) {
    QTemporaryDir dir;
    auto now = std::make_shared<QDateTime>(QDate(2026, 12, 5), QTime(4, 27, 37));
    StatusLog log(dir.path(), LogClock([now] { return *now; },
                                       QLocale(QLocale::English, QLocale::UnitedStates)));
    auto line = [](const char* time) {
        return QByteArray("1     12/5/26     ") + time + "    N        4660\r\n";
    };
    auto tick = [&](int minutes) {
        std::vector<int> written;
        for (int i = 1; i <= minutes; ++i) {
            *now = now->addSecs(60);
            if (log.Timer1Tick(goodRecord(), true))
                written.push_back(i);
        }
        return written;
    };

    log.Start(3, goodRecord(), 'N');
    EXPECT_EQ(tick(7), (std::vector<int>{3, 6}));
    EXPECT_EQ(log.LogMinuteCount(), 1);
    log.Stop();
    EXPECT_EQ(tick(5), std::vector<int>{}); // a stray tick after the stop writes nothing
    log.Start(5, goodRecord(), 0);
    EXPECT_EQ(log.LogMinuteCount(), 0);
    EXPECT_EQ(tick(5), std::vector<int>{5});
    log.Stop();
    log.Start(0, goodRecord(), 'N'); // refused: nothing starts, the period stays
    EXPECT_FALSE(log.LoggingOn());
    EXPECT_EQ(log.LogPeriod(), 5);

    EXPECT_EQ(readAll(dir.filePath("Ir3Log.txt")), Header + line("4:27:37 AM") +
                                                       line("4:30:37 AM") + line("4:33:37 AM") +
                                                       Header + line("4:44:37 AM"));
}

} // namespace
