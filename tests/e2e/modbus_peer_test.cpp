// Our register frames against a Modbus server we did not write: if our framing or check
// bytes were off, it would stay silent or answer with something else.
#ifdef FH_HAVE_SERIALBUS
#include "detector/models.h"
#include "detector/replycheck.h"
#include "detector/setupcodec.h"
#include "link/lineworker.h"
#include "link/realport.h"
#include "link/requests.h"
#include "support/ptypair.h"

#include <gtest/gtest.h>
#include <QModbusRtuSerialServer>
#include <QSerialPort>
#include <QSignalSpy>

using namespace fh;

namespace {

struct Peer {
    test::PtyPair line;
    QModbusRtuSerialServer server;
    std::unique_ptr<LineWorker> worker;

    bool start() {
        if (!line.ok())
            return false;
        QModbusDataUnitMap map;
        map.insert(QModbusDataUnit::HoldingRegisters, {QModbusDataUnit::HoldingRegisters, 0, 5});
        map.insert(QModbusDataUnit::InputRegisters, {QModbusDataUnit::InputRegisters, 0, 22});
        server.setMap(map);
        server.setServerAddress(7);
        server.setConnectionParameter(QModbusDevice::SerialPortNameParameter, line.a());
        server.setConnectionParameter(QModbusDevice::SerialBaudRateParameter,
                                      QSerialPort::Baud9600);
        server.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
        server.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
        server.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
        server.setData(QModbusDataUnit::HoldingRegisters, 0, 7);
        server.setData(QModbusDataUnit::HoldingRegisters, 1, 0x1234);
        for (int r = 0; r < 22; ++r)
            server.setData(QModbusDataUnit::InputRegisters, r, quint16(0x0100 + r));
        if (!server.connectDevice())
            return false;
        const QString device = line.b();
        worker = std::make_unique<LineWorker>(
            [device] { return std::make_unique<RealPort>(device); }, MakeReplyChecker());
        return worker->openPort();
    }

    Exchange run(const Transaction& t) {
        QSignalSpy done(worker.get(), &LineWorker::commandDone);
        worker->submit(t);
        // The server lives on this thread: keep its event loop turning while we wait.
        (void)QTest::qWaitFor([&] { return done.count() > 0; }, 10000);
        return done.isEmpty() ? Exchange{} : done.at(0).at(0).value<Exchange>();
    }
};

quint16 word(const QByteArray& r, int at) {
    return quint16(quint8(r[at]) << 8 | quint8(r[at + 1]));
}

TEST(ModbusPeer, AnswersOurReadsAndTakesOurWrites) {
    Peer p;
    if (!p.start())
        GTEST_SKIP() << "no socat pty pair or Modbus server here";

    const Exchange setup = p.run({Pattern::ButtonRead, ReadSetup(7, QStringLiteral("Zorvan C1"))});
    ASSERT_TRUE(setup.collected);
    ASSERT_EQ(setup.reply.size(), 3 + 8 + 2);
    EXPECT_EQ(quint8(setup.reply[1]), 3);
    EXPECT_EQ(word(setup.reply, 3), 0x1234);

    const Exchange inputs =
        p.run({Pattern::ButtonRead, ReadInputs(7, QStringLiteral("Zorvan C1"))});
    ASSERT_TRUE(inputs.collected);
    ASSERT_EQ(inputs.reply.size(), 3 + 44 + 2);
    EXPECT_EQ(word(inputs.reply, 3 + 2 * 21), 0x0100 + 21);

    const Exchange shortInputs =
        p.run({Pattern::ButtonRead, ReadInputs(7, QStringLiteral("Zorvan A2"))});
    ASSERT_EQ(shortInputs.reply.size(), 3 + 30 + 2);

    Transaction moveAddr{Pattern::ConfirmedWrite, WriteAddr(7, 7)};
    moveAddr.test = AddrReplyOK;
    const Exchange addr = p.run(moveAddr);
    EXPECT_TRUE(addr.acknowledged);
    EXPECT_EQ(addr.attempts, 1);

    const auto value = DecodeSetupReply(setup.reply, QStringLiteral("Zorvan C1"));
    ASSERT_TRUE(value.has_value());
    Transaction write{Pattern::ConfirmedWrite, WriteSetup(7, QStringLiteral("Zorvan C1"), *value)};
    write.test = [](const QByteArray& r) { return SetupReplyOK(r, QStringLiteral("Zorvan C1")); };
    const Exchange written = p.run(write);
    EXPECT_TRUE(written.acknowledged);
    EXPECT_EQ(quint8(written.reply[1]), 16);
    quint16 reg1 = 0;
    p.server.data(QModbusDataUnit::HoldingRegisters, 1, &reg1);
    EXPECT_EQ(reg1, word(write.frame, 7)) << "the server holds the setup word we sent";
}

} // namespace
#endif
