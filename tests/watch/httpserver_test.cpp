// The metrics endpoint speaks just enough HTTP: GET and HEAD of a path, every other request
// answered with its error, never with the page.
#include "common/waitfor.h"
#include "watch/httpserver.h"

#include <gtest/gtest.h>
#include <QTcpSocket>

using namespace fh::watch;

namespace {

// Sends the bytes and reads until the server closes the connection.
QByteArray exchange(quint16 port, const QByteArray& request) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    QByteArray got;
    bool closed = false;
    QObject::connect(&s, &QTcpSocket::disconnected, [&] { closed = true; });
    QObject::connect(&s, &QTcpSocket::connected, [&] { s.write(request); });
    QObject::connect(&s, &QTcpSocket::readyRead, [&] { got += s.readAll(); });
    fh::test::WaitFor([&] { return closed; }, 10000);
    return got;
}

TEST(HttpServer, AnswersGetAndHeadOfAPathAndRefusesTheRest) {
    HttpServer server([](const QString& path) {
        return path == "/metrics" ? HttpResponse{200, "text/plain", "page\n"}
                                  : HttpResponse{404, "text/plain", "not found\n"};
    });
    QString error;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
    const struct {
        QByteArray request;
        QByteArray statusLine;
        QByteArray body; // what follows the head
    } rows[] = {
        {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK", "page\n"},
        {"GET /metrics?name[]=up HTTP/1.0\n\n", "HTTP/1.1 200 OK", "page\n"},
        {"HEAD /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", ""},
        {"GET /other HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", "not found\n"},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi", "HTTP/1.1 405 Method Not Allowed",
         "only GET and HEAD\n"},
        {"GET metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request", "bad request\n"},
        {"\x16\x03\x01\x02\x05"
         "\r\n\r\n",
         "HTTP/1.1 400 Bad Request", "bad request\n"},
        {"GET /metrics HTTP/1.1\r\nX: " + QByteArray(9000, 'a'),
         "HTTP/1.1 431 Request Header Fields Too Large", "request too large\n"},
    };
    for (const auto& row : rows) {
        const QByteArray answer = exchange(server.port(), row.request);
        const qsizetype end = answer.indexOf("\r\n\r\n");
        ASSERT_GE(end, 0) << row.request.left(40).toStdString();
        EXPECT_EQ(answer.left(answer.indexOf("\r\n")), row.statusLine)
            << row.request.left(40).toStdString();
        EXPECT_EQ(answer.mid(end + 4), row.body) << row.request.left(40).toStdString();
        EXPECT_TRUE(answer.contains(
            "Content-Length: " +
            QByteArray::number(row.request.startsWith("HEAD") ? 5 : row.body.size())));
    }
}

} // namespace
