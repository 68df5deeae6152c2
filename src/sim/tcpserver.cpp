#include "sim/tcpserver.h"

#include "sim/requestloop.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fh {

TcpServer::TcpServer(LinePeer& peer) : peer_(peer) {}

TcpServer::~TcpServer() {
    stop();
}

bool TcpServer::listen(quint16 port, QString* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                  QString::fromLocal8Bit(std::strerror(errno)));
        if (listen_ >= 0)
            ::close(listen_);
        listen_ = -1;
        return false;
    };
    if (!serving_.ok())
        return fail("pipe");
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0)
        return fail("socket");
    const int on = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail("bind");
    if (::listen(listen_, 1) != 0)
        return fail("listen");
    socklen_t len = sizeof addr;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    return true;
}

void TcpServer::start() {
    if (listen_ >= 0)
        serving_.start([this] { run(); });
}

void TcpServer::stop() {
    serving_.stop();
    if (listen_ >= 0)
        ::close(listen_);
    listen_ = -1;
}

void TcpServer::run() {
    RequestLoop loop(peer_, serving_.wakeFd(), serving_.stopping());
    while (!serving_.stopping()) {
        pollfd fds[2] = {{listen_, POLLIN, 0}, {serving_.wakeFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (serving_.stopping() || (fds[1].revents & POLLIN))
            return;
        const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        loop.serve(client);
        ::close(client);
    }
}

} // namespace fh
