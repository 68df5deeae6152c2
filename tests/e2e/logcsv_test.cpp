// flamehost-cli log csv on files: what it prints, what it says on stderr and its exit status.
#include "common/bytes.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QTemporaryDir>

namespace {

TEST(LogCsvCommand, PrintsTheRecordsAndNamesTheLinesItCannotRead) {
    QTemporaryDir dir;
    const QString log = dir.filePath("Ir3Log.txt"), german = dir.filePath("german.txt"),
                  sums = dir.filePath("sums.txt");
    const QByteArray header = "\r\nAddr. Date        Time          Status   Serial No.\r\n";
    ASSERT_TRUE(fh::test::writeAll(log, header +
                                            "1     12/4/26     11:59:59 PM   N        4660\r\n"
                                            "1     12/5/26     4:27:37 AM    D        \r\n"
                                            "1     12/5/26     4:2\r\n"
                                            "1     12/6/26     12:00:00 AM   A        4660\r\n"));
    ASSERT_TRUE(
        fh::test::writeAll(german, header + "1     05.12.26    16:27:37      N        7\r\n"));
    ASSERT_TRUE(fh::test::writeAll(
        sums, "5     12/5/26     4:27:37 AM    NN       1234 1.2       22.5        333.3\r\n"));
    const QByteArray statusHead = "time,address,serial,status\n";
    const struct {
        QStringList args;
        const char* locale; // the environment's, which the log's dates are read in
        int exit;
        QByteArray out;
        const char* err; // a part of stderr; empty: nothing on stderr
    } rows[] = {
        {{log, "--from", "2026-12-05", "--to", "2026-12-05"},
         "en_US.UTF-8",
         1,
         statusHead + "2026-12-05T04:27:37,1,,D\n",
         "Ir3Log.txt:5: does not fit the columns"},
        {{log, "--from", "2026-12-05T00:00:01"},
         "en_US.UTF-8",
         1,
         statusHead + "2026-12-05T04:27:37,1,,D\n2026-12-06T00:00:00,1,4660,A\n",
         "1 of 6 lines could not be read"},
        {{sums},
         "en_US.UTF-8",
         0,
         "time,address,serial,status,fault,sum4,sum45,sum5\n"
         "2026-12-05T04:27:37,5,1234,N,N,1.2,22.5,333.3\n",
         ""},
        {{german}, "de_DE.UTF-8", 0, statusHead + "2026-12-05T16:27:37,1,7,N\n", ""},
        {{german},
         "en_US.UTF-8",
         1,
         statusHead,
         "german.txt:3: date \"05.12.26\" is not a date as M/d/yy or yyyy-MM-dd"},
        {{dir.filePath("missing.txt")}, "en_US.UTF-8", 2, "", "cannot read"},
        {{dir.path()}, "en_US.UTF-8", 2, "", "is a folder"},
        {{log, "--from", "tomorrow"}, "en_US.UTF-8", 2, "", "--from takes a date and time"},
    };
    for (const auto& row : rows) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", row.locale);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(FH_BIN_DIR "/flamehost-cli"), QStringList{"log", "csv"} + row.args);
        ASSERT_TRUE(p.waitForFinished(30000)) << qPrintable(row.args.join(' '));
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), row.exit) << qPrintable(row.args.join(' ')) << err.constData();
        EXPECT_EQ(p.readAllStandardOutput().toStdString(), row.out.toStdString());
        EXPECT_TRUE(*row.err ? err.contains(row.err) : err.isEmpty()) << err.constData();
    }
}

} // namespace
