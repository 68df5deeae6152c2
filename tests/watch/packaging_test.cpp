// What the package ships for the service: a unit systemd takes, and an example config the
// service takes.
#include "support/broker.h"
#include "watch/watchconfig.h"

#include <gtest/gtest.h>

using namespace fh;

TEST(Packaging, SystemdTakesTheUnit) {
    const QString analyze = test::Broker::program("systemd-analyze");
    ASSERT_FALSE(analyze.isEmpty()) << "systemd-analyze is missing";
    // The unit as installed, but starting the program just built (verify wants it to exist).
    QByteArray unit = test::readAll(FH_SOURCE_DIR "/packaging/flamehost-watch.service");
    ASSERT_TRUE(unit.contains("ExecStart=/usr/bin/flamehost-watch "));
    unit.replace("ExecStart=/usr/bin/flamehost-watch ",
                 "ExecStart=" FH_BIN_DIR "/flamehost-watch ");
    const QTemporaryDir dir;
    const QString file = dir.filePath("flamehost-watch.service");
    ASSERT_TRUE(test::writeAll(file, unit));
    QProcess verify;
    verify.start(analyze, {"verify", "--man=no", file});
    ASSERT_TRUE(verify.waitForFinished(30000));
    EXPECT_EQ(verify.exitCode(), 0);
    EXPECT_EQ(verify.readAllStandardError().toStdString(), "");
}

TEST(Packaging, TheExampleConfigIsGood) {
    QString error;
    EXPECT_TRUE(watch::LoadWatchConfig(FH_SOURCE_DIR "/packaging/watch.json", &error))
        << error.toStdString();
}
