// Our register frames against a Modbus server we did not write: if our framing or check
// bytes were off, it would stay silent or answer with something else.
#ifdef FH_HAVE_SERIALBUS
#include "common/waitfor.h"
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
#include <QtEndian>

using namespace fh;

namespace {

TEST(ModbusPeer, AnswersOurReadsAndTakesOurWrites) {
    using U = QModbusDataUnit;
    test::PtyPair line;
    QModbusRtuSerialServer server;
    server.setMap({{U::HoldingRegisters, {U::HoldingRegisters, 0, 5}},
                   {U::InputRegisters, {U::InputRegisters, 0, 22}}});
    server.setServerAddress(7);
    server.setData(U::HoldingRegisters, 1, 0x1234);
    for (int r = 0; r < 22; ++r)
        server.setData(U::InputRegisters, r, quint16(0x0100 + r));
    // 9600 8N1 like the detectors; eight data bits and one stop bit are the defaults.
    server.setConnectionParameter(QModbusDevice::SerialPortNameParameter, line.a());
    server.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, QSerialPort::Baud9600);
    server.setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    if (!line.ok() || !server.connectDevice())
        GTEST_SKIP() << "no socat pty pair or Modbus server here";
    LineWorker worker([device = line.b()] { return std::make_unique<RealPort>(device); },
                      MakeReplyChecker());
    ASSERT_TRUE(worker.openPort());
    const auto run = [&](const Transaction& t) {
        QSignalSpy done(&worker, &LineWorker::commandDone);
        worker.submit(t);
        // The server lives on this thread: keep its event loop turning while we wait.
        (void)test::WaitFor([&] { return done.count() > 0; }, 10000);
        return done.isEmpty() ? Exchange{} : done.at(0).at(0).value<Exchange>();
    };

    const QString c1 = QStringLiteral("Zorvan C1");
    const Exchange setup = run({Pattern::ButtonRead, ReadSetup(7, c1)});
    ASSERT_EQ(setup.reply.size(), 3 + 8 + 2);
    EXPECT_EQ(quint8(setup.reply[1]), 3);
    EXPECT_EQ(qFromBigEndian<quint16>(setup.reply.constData() + 3), 0x1234);

    const Exchange inputs = run({Pattern::ButtonRead, ReadInputs(7, c1)});
    ASSERT_EQ(inputs.reply.size(), 3 + 44 + 2);
    EXPECT_EQ(qFromBigEndian<quint16>(inputs.reply.constData() + 3 + 2 * 21), 0x0100 + 21);

    Transaction write{Pattern::ConfirmedWrite, WriteSetup(7, c1, {})};
    write.test = [c1](const QByteArray& r) { return SetupReplyOK(r, c1); };
    const Exchange written = run(write);
    EXPECT_TRUE(written.acknowledged);
    EXPECT_EQ(quint8(written.reply[1]), 16);
    quint16 reg1 = 0;
    server.data(U::HoldingRegisters, 1, &reg1);
    EXPECT_EQ(reg1, qFromBigEndian<quint16>(write.frame.constData() + 7))
        << "the server holds the setup word we sent";
}

} // namespace
#endif
