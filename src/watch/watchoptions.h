#pragma once
// flamehost-watch's command line: the config file, where to serve the metrics and which
// broker to publish to. Everything about the lines is in the config.
#include <optional>
#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace fh::watch {

// HOST:PORT to listen on; HOST an IPv4 address or [an IPv6 address]; port 0 picks a free one.
struct ListenAddress {
    QHostAddress host;
    quint16 port = 0;
};
std::optional<ListenAddress> ParseListenAddress(const QString& text, QString* error);

// tcp://HOST[:PORT] (or mqtt://), plain, port 1883 by default; mqtts://HOST[:PORT] (or
// ssl://), TLS, port 8883 by default.
struct BrokerAddress {
    QString host;
    quint16 port = 1883;
    bool tls = false;
};
std::optional<BrokerAddress> ParseBrokerAddress(const QString& text, QString* error);

// PREFIX: one or more topic levels, without + and # and without a leading or trailing /.
bool ValidTopicPrefix(const QString& prefix);

struct WatchOptions {
    QString configPath;
    std::optional<ListenAddress> metrics;
    std::optional<BrokerAddress> mqtt;
    QString topic = QStringLiteral("flamehost");
    bool checkOnly = false; // --check: read the config, say whether it is good, leave
};

struct ParsedWatchArgs {
    std::optional<WatchOptions> options; // nullopt: error, help or version
    QString error;
    bool help = false, version = false;
    QString helpText;
};

ParsedWatchArgs ParseWatchArgs(const QStringList& arguments);

} // namespace fh::watch
