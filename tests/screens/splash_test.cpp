// The splash: its lines in order, each bold 350 ms after it shows, the hand-over after the
// last wait, and a picture that is missing.
#include "screens/startup/splashscreen.h"

#include "link/clock.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace fh {
namespace {

const QString Shipped = QStringLiteral(FH_BIN_DIR "/ostrixflamemov1.gif");

// Advances the virtual clock in steps of `stepMs`, letting the timers look at it each time.
void RunClock(VirtualClock& clock, int ms, int stepMs = 50) {
    QTimer wake; // the wait below ends even with no timer left to fire
    wake.start(1);
    for (int t = 0; t < ms; t += stepMs) {
        clock.advanceUs(stepMs * 1000);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// Line i shows at 1000 + 350 i ms and turns bold when the next one shows; the last turns bold
// 350 ms after it showed and the splash hands over 4000 ms later, once.
TEST(Splash, LinesShowInOrderOnTheClockTurnBoldThenTheSplashHandsOverOnce) {
    for (const QString& picture : {Shipped, QStringLiteral("/nonexistent/ostrixflamemov1.gif")}) {
        SCOPED_TRACE(picture.toStdString());
        VirtualClock clock;
        SplashScreen splash(picture, clock);
        splash.show();
        QSignalSpy finished(&splash, &SplashScreen::finished);
        QLabel* lines[7];
        for (int i = 0; i < 7; ++i)
            ASSERT_TRUE(lines[i] = splash.findChild<QLabel*>(QString("lblHead_%1").arg(i)));
        RunClock(clock, 950);
        EXPECT_FALSE(splash.hasPicture()); // painted at the first tick
        EXPECT_FALSE(lines[0]->isVisible());
        for (int i = 0; i < 7; ++i) {
            RunClock(clock, i == 0 ? 100 : 350);
            for (int j = 0; j < 7; ++j) {
                EXPECT_EQ(lines[j]->isVisible(), j <= i) << i << j;
                EXPECT_EQ(lines[j]->font().bold(), j < i) << i << j;
            }
        }
        // A missing picture: no picture, no complaint.
        EXPECT_EQ(splash.hasPicture(), picture == Shipped);
        RunClock(clock, 350);
        EXPECT_TRUE(lines[6]->font().bold());
        RunClock(clock, 3900);
        EXPECT_EQ(finished.count(), 0);
        RunClock(clock, 100);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_FALSE(splash.isVisible());
        RunClock(clock, 2000);
        EXPECT_EQ(finished.count(), 1);
    }
}

TEST(Splash, AClickOrAnyKeySkipsIt) {
    for (int input : {0, int(Qt::Key_Space), int(Qt::Key_Escape), int(Qt::Key_A)}) {
        VirtualClock clock;
        SplashScreen splash(Shipped, clock);
        splash.show();
        QSignalSpy finished(&splash, &SplashScreen::finished);
        if (input == 0)
            QTest::mouseClick(&splash, Qt::LeftButton);
        else
            QTest::keyClick(&splash, Qt::Key(input));
        EXPECT_EQ(finished.count(), 1) << input;
        EXPECT_FALSE(splash.isVisible()) << input;
        RunClock(clock, 6000, 500); // the sequence does not run on behind it
        EXPECT_EQ(finished.count(), 1) << input;
    }
}

TEST(Splash, PictureComesFromTheDataDirectoryOrIsCopiedThere) {
    QTemporaryDir data, program, empty;
    // Nothing anywhere: no picture.
    EXPECT_TRUE(SplashPicturePath(data.path(), empty.path()).isEmpty());
    // Shipped beside the program: copied into the data directory.
    ASSERT_TRUE(QFile::copy(Shipped, QDir(program.path()).filePath("ostrixflamemov1.gif")));
    const QString path = SplashPicturePath(data.path(), program.path());
    EXPECT_EQ(path, QDir(data.path()).filePath("ostrixflamemov1.gif"));
    EXPECT_TRUE(QFile::exists(path));
    // Already there: used as it is.
    EXPECT_EQ(SplashPicturePath(data.path(), empty.path()), path);
}

} // namespace
} // namespace fh
