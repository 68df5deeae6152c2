// The QSerialPort backend against a socat pseudo-terminal pair: bytes both ways, a device
// without RTS, open failures and a device that goes away.
#include "common/bytes.h"
#include "detector/replycheck.h"
#include "link/clock.h"
#include "link/lineworker.h"
#include "link/realport.h"
#include "link/wakeevent.h"
#include "support/ptypair.h"

#include <gtest/gtest.h>
#include <memory>
#include <QTemporaryDir>
#include <QThread>
#include <thread>

namespace {

qint64 inUs(qint64 ms) {
    return fh::SteadyClock::instance().nowUs() + ms * 1000;
}

// Collects until `count` bytes came or nothing more arrives within a generous bound.
QByteArray receive(fh::RealPort& port, int count) {
    QByteArray got;
    while (got.size() < count && port.waitForInput(inUs(5000)))
        got += port.readAll();
    return got;
}

class RealPortPair : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pair->ok())
            GTEST_SKIP() << "socat with pseudo-terminals is not available";
        ASSERT_TRUE(a.open()) << qPrintable(a.errorText());
        ASSERT_TRUE(b.open()) << qPrintable(b.errorText());
    }
    std::unique_ptr<fh::test::PtyPair> pair = std::make_unique<fh::test::PtyPair>();
    const QString deviceA = pair->a();
    fh::RealPort a{deviceA}, b{pair->b()};
};

// A pseudo-terminal refuses RTS but keeps working, and reads back the RTS last written.
TEST_F(RealPortPair, BytesPassBothWaysWithoutRtsAndFlushDropsInput) {
    EXPECT_EQ(a.deviceName(), deviceA);
    EXPECT_FALSE(a.setRts(true));
    EXPECT_TRUE(a.rts());
    const QByteArray status = QByteArray::fromHex("01C8070020D15B040503BD27");
    ASSERT_TRUE(a.write(status));
    EXPECT_TRUE(a.waitUntilSent());
    EXPECT_EQ(receive(b, status.size()), status);

    QByteArray longReply;
    for (int i = 0; i < 300; ++i)
        longReply += char(i * 7); // every byte value passes untranslated, 0x0D and 0x11 too
    ASSERT_TRUE(b.write(longReply));
    EXPECT_TRUE(b.waitUntilSent());
    EXPECT_EQ(receive(a, longReply.size()), longReply);

    ASSERT_TRUE(b.write("stale"));
    ASSERT_TRUE(b.waitUntilSent());
    while (a.bytesWaiting() < 5 && a.waitForInput(inUs(5000))) {
    }
    EXPECT_EQ(a.bytesWaiting(), 5);
    a.flushInput();
    EXPECT_EQ(a.bytesWaiting(), 0);
    EXPECT_FALSE(a.waitForInput(inUs(20)));
    EXPECT_FALSE(a.setRts(false));
    EXPECT_FALSE(a.rts());
    EXPECT_TRUE(a.isOpen() && !a.lost());
}

TEST_F(RealPortPair, KernelKeyingRefusedOnAPseudoTerminalFailsTheOpenWithAClearMessage) {
    a.close(); // the worker opens it itself
    fh::LineWorker worker([device = deviceA] { return std::make_unique<fh::RealPort>(device); },
                          fh::MakeReplyChecker());
    worker.setLineMode(fh::LineMode::Kernel);
    QString why;
    EXPECT_FALSE(worker.openPort(&why));
    EXPECT_TRUE(why.contains(deviceA) && why.contains("\"kernel\"") && why.contains("TIOCSRS485"))
        << qPrintable(why);
}

TEST_F(RealPortPair, DeviceThatGoesAwayIsLostAndCannotReopen) {
    pair.reset();
    EXPECT_FALSE(a.waitForInput(inUs(5000)));
    EXPECT_TRUE(a.lost());
    EXPECT_TRUE(a.errorText().contains(deviceA)) << qPrintable(a.errorText());
    EXPECT_FALSE(a.write("x") && a.waitUntilSent());
    a.close();
    EXPECT_FALSE(a.open());
    EXPECT_TRUE(a.errorText().contains(deviceA));
}

// A device that failed to open names itself, and the port stays inert rather than half open. A
// device that is not there (an adapter unplugged) is told as the serial library tells it.
TEST(RealPort, OpenFailuresNameTheDevice) {
    QTemporaryDir dir;
    const QString plainFile = dir.filePath("not-a-tty");
    ASSERT_TRUE(fh::test::writeAll(plainFile, {}));
    const QString missing = dir.filePath("ttyMissing0");
    for (const auto& [device, why] :
         {std::pair{missing, QString("No such file or directory.\n\nThere is no such port on "
                                     "this computer.")},
          {dir.path(), QString("not a serial port.")},
          {plainFile, QString("not a serial port.")}}) {
        fh::RealPort port(device);
        EXPECT_FALSE(port.open() || port.isOpen() || port.write("x") || port.bytesWaiting() ||
                     port.waitForInput(inUs(0)))
            << qPrintable(device);
        EXPECT_EQ(port.errorText(), "Cannot open " + device + ": " + why);
    }
}

// The kernel ends every wait: never before its deadline, and at once when the stop event is
// raised, whether the clock waits alone or the port waits for input.
TEST_F(RealPortPair, WaitsEndAtTheDeadlineOrAtOnceWhenStopped) {
    fh::SteadyClock& clock = fh::SteadyClock::instance();
    fh::WakeEvent stop;
    for (qint64 us : {0, 100, 1500}) {
        qint64 until = clock.nowUs() + us;
        EXPECT_TRUE(clock.sleepUntilUs(until, &stop));
        EXPECT_GE(clock.nowUs(), until);
        until = clock.nowUs() + us;
        EXPECT_FALSE(a.waitForInput(until, &stop));
        EXPECT_GE(clock.nowUs(), until);
    }
    std::thread raiser([&] {
        QThread::msleep(50);
        stop.raise();
    });
    EXPECT_FALSE(a.waitForInput(inUs(3'600'000), &stop)); // an hour: a hang if it stayed
    raiser.join();
    EXPECT_FALSE(clock.sleepUntilUs(inUs(3'600'000), &stop)); // raised until cleared
    EXPECT_TRUE(a.isOpen() && !a.lost());
}

TEST(RealPort, ErrorTextsSayWhatToDo) {
    const struct {
        QSerialPort::SerialPortError error;
        QString reason;
        bool denied;
        QString mustHave;
    } cases[] = {
        {QSerialPort::PermissionError, "Permission denied", true,
         "Cannot open /dev/ttyUSB0: Permission denied."},
        {QSerialPort::PermissionError, "Device busy", false, "in use by another program"},
        {QSerialPort::DeviceNotFoundError, "No such file or directory.", false,
         "Cannot open /dev/ttyUSB0: No such file or directory.\n"},
        {QSerialPort::UnknownError, "  ", false, "Cannot open /dev/ttyUSB0: unknown error."}};
    for (const auto& c : cases) {
        const QString text = fh::DescribePortError("/dev/ttyUSB0", c.error, c.reason, c.denied);
        EXPECT_TRUE(text.contains(c.mustHave) && !text.contains("..")) << qPrintable(text);
        // Only a denied open tells how to join the group that may use the port.
        EXPECT_EQ(text.contains("usermod -aG dialout"), c.denied) << qPrintable(text);
        EXPECT_EQ(text.contains("dialout"), c.denied) << qPrintable(text);
    }
}

} // namespace
