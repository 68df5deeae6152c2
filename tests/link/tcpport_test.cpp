// The line through a device server: the tcp:// forms, and peers that misbehave (served on
// the loopback address by the test itself).
#include "common/waitfor.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/tcpport.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace fh;

namespace {

TEST(TcpAddress, FormsAndWhatIsWrongWithThem) {
    const struct {
        const char* text;
        const char* host; // nullptr: refused, and the error contains `why`
        quint16 port;
        const char* why;
    } cases[] = {{"tcp://127.0.0.1:4001", "127.0.0.1", 4001, ""},
                 {"TCP://gateway-3.plant.local:502", "gateway-3.plant.local", 502, ""},
                 {"tcp://[::1]:65535", "::1", 65535, ""},
                 {"tcp://127.0.0.1", nullptr, 0, "no port number"},
                 {"tcp://127.0.0.1:", nullptr, 0, "no port number"},
                 {"tcp://:4001", nullptr, 0, "no host"},
                 {"tcp://127.0.0.1:0", nullptr, 0, "1 to 65535"},
                 {"tcp://127.0.0.1:70000", nullptr, 0, "1 to 65535"},
                 {"tcp://127.0.0.1:+80", nullptr, 0, "1 to 65535"},
                 {"tcp://bad_host!:4001", nullptr, 0, "not a host name"},
                 {"tcp://[::1:4001", nullptr, 0, "not closed"}};
    for (const auto& c : cases) {
        QString host, error;
        quint16 port = 0;
        const bool ok = ParseTcpAddress(c.text, &host, &port, &error);
        EXPECT_EQ(ok, c.host != nullptr) << c.text;
        if (c.host) {
            EXPECT_EQ(host, c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        } else {
            EXPECT_TRUE(error.contains(c.why) && error.contains(c.text)) << qPrintable(error);
        }
    }
}

// A device server that accepts and then closes, answers garbage, never answers, or sends junk
// without end.
enum class Peer { Closes, Garbage, Stalls, Floods };

TEST(TcpPort, MisbehavingPeersFailTheExchangeWithoutHangingTheWorker) {
    const QByteArray poll = QByteArray::fromHex("0103000100010ad5");
    for (Peer kind : {Peer::Closes, Peer::Garbage, Peer::Stalls, Peer::Floods}) {
        SCOPED_TRACE(int(kind));
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        QTimer flood;
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            if (kind == Peer::Closes)
                s->close();
            else if (kind == Peer::Garbage)
                QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                    s->readAll();
                    s->write("garbage\xff\x00", 9);
                });
            else if (kind == Peer::Floods)
                QObject::connect(&flood, &QTimer::timeout, s, [s] {
                    if (s->bytesToWrite() < (1 << 20))
                        s->write(QByteArray(1 << 16, 'j'));
                });
        });
        flood.start(0);
        LineWorker worker(
            [address = QString("tcp://127.0.0.1:%1").arg(server.serverPort())] {
                return std::make_unique<TcpPort>(address);
            },
            MakeReplyChecker());
        QSignalSpy done(&worker, &LineWorker::commandDone);
        QSignalSpy state(&worker, &LineWorker::portStateChanged);
        QString why;
        ASSERT_TRUE(worker.openPort(&why)) << qPrintable(why);
        Transaction t{Pattern::Poll, poll};
        t.firstByteMs = 200; // the stall's ten seconds, shortened
        worker.submit(t);
        ASSERT_TRUE(test::WaitFor([&] { return done.count() == 1; }, 5000));
        const auto x = done.at(0).at(0).value<Exchange>();
        // A flood: one reply buffer's worth is kept, and what is read beyond it is counted;
        // reading is bounded, so the count stays small however fast the server sends.
        const QByteArray replies[] = {{}, {"garbage\xff\x00", 9}, {}, QByteArray(257, 'j')};
        EXPECT_EQ(x.reply, replies[int(kind)]);
        const quint64 overflow = worker.replyFaults().overflowBytes;
        EXPECT_TRUE(kind == Peer::Floods ? overflow > 0 && overflow < 100'000 : overflow == 0);
        EXPECT_EQ(x.portError, kind == Peer::Closes);
        EXPECT_FALSE(x.answered);
        if (kind == Peer::Closes) {
            EXPECT_TRUE(x.portErrorText.startsWith("tcp://127.0.0.1:"))
                << qPrintable(x.portErrorText);
            EXPECT_TRUE(test::WaitFor([&] { return state.count() == 1; }, 5000));
        } else {
            EXPECT_TRUE(worker.portIsOpen());
        }
    }
}

} // namespace
