// The QSerialPort backend against a socat pseudo-terminal pair: bytes both ways, a device
// without RTS, open failures and a device that goes away.
#include "link/clock.h"
#include "link/lineworker.h"
#include "link/realport.h"
#include "link/requests.h"

#include <gtest/gtest.h>
#include <memory>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// socat joining two fresh pseudo-terminals; the two device paths come from its log.
class PtyPair {
public:
    // linkA: also a symbolic link to the first end, which survives a restart of the pair.
    explicit PtyPair(const QString& linkA = QString()) {
        if (QStandardPaths::findExecutable("socat").isEmpty())
            return;
        socat_.setReadChannel(QProcess::StandardError);
        const QString first = linkA.isEmpty() ? "pty,raw,echo=0" : "pty,raw,echo=0,link=" + linkA;
        socat_.start("socat", {"-d", "-d", first, "pty,raw,echo=0"});
        if (!socat_.waitForStarted(5000))
            return;
        static const QRegularExpression ptyLine("PTY is (\\S+)");
        QByteArray log;
        // Both ends exist once socat says it is moving data.
        while (!log.contains("starting data transfer loop") && socat_.waitForReadyRead(5000))
            log += socat_.readAllStandardError();
        for (auto m = ptyLine.globalMatch(QString::fromLocal8Bit(log)); m.hasNext();)
            devices_ << m.next().captured(1);
    }
    ~PtyPair() { stop(); }
    bool ok() const { return devices_.size() == 2; }
    QString a() const { return devices_.value(0); }
    QString b() const { return devices_.value(1); }
    void stop() {
        if (socat_.state() != QProcess::NotRunning) {
            socat_.kill();
            socat_.waitForFinished(5000);
        }
    }

private:
    QProcess socat_;
    QStringList devices_;
};

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

#define NEED_PTYS(pair)                                                                            \
    if (!(pair).ok())                                                                              \
    GTEST_SKIP() << "socat with pseudo-terminals is not available"

TEST(RealPort, BytesPassBothWaysAndFlushDropsInput) {
    PtyPair pair;
    NEED_PTYS(pair);
    fh::RealPort a(pair.a()), b(pair.b());
    ASSERT_TRUE(a.open()) << qPrintable(a.errorText());
    ASSERT_TRUE(b.open()) << qPrintable(b.errorText());
    EXPECT_EQ(a.deviceName(), pair.a());

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
    EXPECT_FALSE(a.waitForInput(inUs(20))); // nothing left to find
    EXPECT_FALSE(a.lost());
}

TEST(RealPort, PseudoTerminalRefusesRtsButKeepsWorking) {
    PtyPair pair;
    NEED_PTYS(pair);
    fh::RealPort a(pair.a()), b(pair.b());
    ASSERT_TRUE(a.open());
    ASSERT_TRUE(b.open());

    EXPECT_FALSE(a.setRts(true));
    EXPECT_TRUE(a.rts()); // reads back what was written
    EXPECT_TRUE(a.isOpen());
    EXPECT_FALSE(a.lost());
    ASSERT_TRUE(a.write("\x01\x03"));
    EXPECT_TRUE(a.waitUntilSent());
    EXPECT_FALSE(a.setRts(false));
    EXPECT_FALSE(a.rts());
    EXPECT_EQ(receive(b, 2), QByteArray("\x01\x03"));
}

TEST(RealPort, DeviceThatGoesAwayIsLostAndCannotReopen) {
    PtyPair pair;
    NEED_PTYS(pair);
    fh::RealPort a(pair.a());
    ASSERT_TRUE(a.open());

    pair.stop();

    EXPECT_FALSE(a.waitForInput(inUs(5000)));
    EXPECT_TRUE(a.lost());
    EXPECT_TRUE(a.errorText().contains(pair.a())) << qPrintable(a.errorText());
    EXPECT_FALSE(a.write("x") && a.waitUntilSent());
    a.close();
    EXPECT_FALSE(a.open());
    EXPECT_TRUE(a.errorText().contains(pair.a()));
}

TEST(RealPort, LineWorkerReopensADeviceThatComesBack) {
    QTemporaryDir dir;
    const QString link = QDir(dir.path()).filePath("ttyFH");
    auto pair = std::make_unique<PtyPair>(link);
    NEED_PTYS(*pair);
    fh::LineWorker worker([link] { return std::make_unique<fh::RealPort>(link); });
    worker.setReopenIntervalMs(20);
    std::vector<bool> states;
    QObject::connect(&worker, &fh::LineWorker::portStateChanged,
                     [&](bool open, const QString&) { states.push_back(open); });
    ASSERT_TRUE(worker.openPort());
    fh::Transaction poll;
    poll.frame = fh::SendCommand(1, fh::cmd::Status);
    worker.setCycle(poll);

    pair.reset(); // the adapter is pulled
    ASSERT_TRUE(QTest::qWaitFor([&] { return !states.empty(); }, 10000));
    EXPECT_FALSE(states.front());
    EXPECT_FALSE(worker.portIsOpen());

    pair = std::make_unique<PtyPair>(link); // and plugged in again
    ASSERT_TRUE(pair->ok());
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.portIsOpen(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return states.size() >= 2; }, 10000));
    EXPECT_EQ(states, (std::vector<bool>{false, true}));

    // The polls reach the new far end.
    fh::RealPort far(pair->b());
    ASSERT_TRUE(far.open());
    EXPECT_EQ(receive(far, 12).left(12), fh::SendCommand(1, fh::cmd::Status));
}

TEST(RealPort, OpenFailuresNameTheDevice) {
    QTemporaryDir dir;
    const QString plainFile = QDir(dir.path()).filePath("not-a-tty");
    {
        QFile f(plainFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const QString& device :
         {QDir(dir.path()).filePath("ttyMissing0"), dir.path(), plainFile}) {
        fh::RealPort port(device);
        EXPECT_FALSE(port.open()) << qPrintable(device);
        EXPECT_FALSE(port.isOpen());
        EXPECT_TRUE(port.errorText().startsWith("Cannot open " + device + ": "))
            << qPrintable(port.errorText());
        EXPECT_FALSE(port.write("x"));
        EXPECT_EQ(port.bytesWaiting(), 0);
        EXPECT_FALSE(port.waitForInput(inUs(0)));
    }
}

TEST(RealPort, ErrorTextsSayWhatToDo) {
    struct Case {
        QSerialPort::SerialPortError error;
        QString reason;
        bool denied;
        QStringList mustHave;
    };
    const Case cases[] = {
        {QSerialPort::PermissionError,
         "Permission denied",
         true,
         {"Cannot open /dev/ttyUSB0: Permission denied.", "dialout", "usermod -aG dialout",
          "log out"}},
        {QSerialPort::PermissionError, "Device busy", false, {"in use by another program"}},
        {QSerialPort::DeviceNotFoundError,
         "No such file or directory.",
         false,
         {"Cannot open /dev/ttyUSB0: No such file or directory.\n", "no such port"}},
        {QSerialPort::UnknownError, "  ", false, {"Cannot open /dev/ttyUSB0: unknown error."}},
    };
    for (const Case& c : cases) {
        const QString text = fh::DescribePortError("/dev/ttyUSB0", c.error, c.reason, c.denied);
        for (const QString& part : c.mustHave)
            EXPECT_TRUE(text.contains(part)) << qPrintable(text) << " lacks " << qPrintable(part);
        EXPECT_FALSE(text.contains("..")) << qPrintable(text);
        EXPECT_EQ(text.contains("dialout"), c.denied) << qPrintable(text);
    }
}

} // namespace
