#include "watch/httpserver.h"

#include <memory>
#include <QTcpSocket>
#include <QTimer>

namespace fh::watch {

namespace {

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

} // namespace

HttpServer::HttpServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    connect(&server_, &QTcpServer::newConnection, this, &HttpServer::accept);
}

HttpServer::~HttpServer() {
    // Connections still open go first, while the count they keep is still there.
    for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
        socket->disconnect(this);
        delete socket;
    }
}

bool HttpServer::listen(const QHostAddress& host, quint16 port, QString* error) {
    if (server_.listen(host, port))
        return true;
    *error = server_.errorString();
    return false;
}

void HttpServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (open_ >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++open_;
        connect(socket, &QObject::destroyed, this, [this] { --open_; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its request, or never reads the answer, is cut off.
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        timer->start(RequestTimeoutMs);
        struct Request {
            QByteArray head;
            bool answered = false; // one request per connection; the rest is ignored
        };
        auto request = std::make_shared<Request>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            if (request->answered) {
                socket->readAll();
                return;
            }
            QByteArray& head = request->head;
            head += socket->read(MaxRequestBytes + 1 - head.size());
            if (head.contains("\r\n\r\n") || head.contains("\n\n")) {
                request->answered = true;
                answer(socket, head);
            } else if (head.size() > MaxRequestBytes) {
                request->answered = true;
                reply(socket, {431, "text/plain; charset=utf-8", "request too large\n"}, true);
            }
        });
    }
}

void HttpServer::answer(QTcpSocket* socket, const QByteArray& head) {
    const QList<QByteArray> words = head.left(head.indexOf('\n')).trimmed().split(' ');
    if (words.size() != 3 || !words[2].startsWith("HTTP/1.") || !words[1].startsWith('/')) {
        reply(socket, {400, "text/plain; charset=utf-8", "bad request\n"}, true);
        return;
    }
    const bool isHead = words[0] == "HEAD";
    if (words[0] != "GET" && !isHead) {
        reply(socket, {405, "text/plain; charset=utf-8", "only GET and HEAD\n"}, true);
        return;
    }
    QByteArray target = words[1];
    if (const qsizetype query = target.indexOf('?'); query >= 0)
        target.truncate(query);
    reply(socket, handler_(QString::fromLatin1(target)), !isHead);
}

void HttpServer::reply(QTcpSocket* socket, const HttpResponse& r, bool withBody) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reason(r.status) + "\r\n";
    out += "Content-Type: " + r.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    if (r.status == 405)
        out += "Allow: GET, HEAD\r\n";
    out += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (withBody)
        out += r.body;
    socket->write(out);
    socket->disconnectFromHost();
}

} // namespace fh::watch
