#pragma once
// Serves a simulated bus on a TCP port of the loopback address, as a serial device server in
// raw TCP mode does: one connection at a time, requests framed as on the pseudo-terminal.
#include "link/linepeer.h"
#include "sim/requestloop.h"

#include <QString>

namespace fh {

class TcpServer {
public:
    explicit TcpServer(LinePeer& peer);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Listens on 127.0.0.1:port (0: any free port). False with *error set when refused.
    bool listen(quint16 port, QString* error);
    quint16 port() const { return port_; }

    // Serves on a thread of its own until stop() or destruction; stop() also closes the
    // listening socket and any connection, as a device server switched off would.
    void start();
    void stop();

private:
    void run();

    LinePeer& peer_;
    int listen_ = -1;
    quint16 port_ = 0;
    ServingThread serving_;
};

} // namespace fh
