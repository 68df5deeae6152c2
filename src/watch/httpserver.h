#pragma once
// A small read-only HTTP/1.x server for /metrics and /healthz: GET and HEAD only, one request
// per connection, bounded request size, connection count and time, so a client that
// misbehaves cannot hold the service.
#include <functional>
#include <QHostAddress>
#include <QTcpServer>

namespace fh::watch {

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
};

class HttpServer : public QObject {
    Q_OBJECT
public:
    // The answer for a path ("/metrics"); the query string is cut off first.
    using Handler = std::function<HttpResponse(const QString& path)>;
    static constexpr int MaxRequestBytes = 8192;
    static constexpr int MaxConnections = 32;
    static constexpr int RequestTimeoutMs = 5000;

    explicit HttpServer(Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;
    bool listen(const QHostAddress& host, quint16 port, QString* error);
    quint16 port() const { return server_.serverPort(); }
    QHostAddress address() const { return server_.serverAddress(); }

private:
    void accept();
    void answer(QTcpSocket* socket, const QByteArray& head);
    static void reply(QTcpSocket* socket, const HttpResponse& r, bool withBody);

    Handler handler_;
    QTcpServer server_;
    int open_ = 0;
};

} // namespace fh::watch
