#include "watch/watchoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace fh::watch {

namespace {

std::optional<quint16> portNumber(const QString& text, int low) {
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok || n < low || n > 65535 || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return quint16(n);
}

// Splits HOST:PORT or [V6]:PORT; port empty when there is none.
bool splitHostPort(const QString& text, QString* host, QString* port) {
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        *host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        *port = rest.mid(1);
        return true;
    }
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && text.indexOf(QLatin1Char(':')) != colon)
        return false; // an IPv6 address needs brackets
    *host = colon < 0 ? text : text.left(colon);
    *port = colon < 0 ? QString() : text.mid(colon + 1);
    return true;
}

} // namespace

std::optional<ListenAddress> ParseListenAddress(const QString& text, QString* error) {
    QString host, port;
    ListenAddress a;
    const bool split = splitHostPort(text.trimmed(), &host, &port);
    const auto number = portNumber(port, 0);
    if (!split || port.isEmpty() || !number || !a.host.setAddress(host)) {
        *error = QStringLiteral("--metrics takes ADDRESS:PORT with an IP address to listen on, "
                                "e.g. 127.0.0.1:9464 or [::1]:9464, not \"%1\"")
                     .arg(text);
        return std::nullopt;
    }
    a.port = *number;
    return a;
}

std::optional<BrokerAddress> ParseBrokerAddress(const QString& text, QString* error) {
    static const QRegularExpression scheme(QStringLiteral("^(tcp|mqtt|mqtts|ssl)://(.+)$"));
    static const QRegularExpression hostName(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*"
                       "[A-Za-z0-9])?)*$"));
    const QRegularExpressionMatch m = scheme.match(text.trimmed());
    QString host, port;
    BrokerAddress b;
    if (m.hasMatch()) {
        b.tls = m.captured(1) == QLatin1String("mqtts") || m.captured(1) == QLatin1String("ssl");
        b.port = b.tls ? 8883 : 1883;
    }
    const bool split = m.hasMatch() && splitHostPort(m.captured(2), &host, &port);
    const auto number = port.isEmpty() ? std::optional<quint16>(b.port) : portNumber(port, 1);
    const bool hostOk = !QHostAddress(host).isNull() || hostName.match(host).hasMatch();
    if (!split || !number || host.isEmpty() || !hostOk) {
        *error = QStringLiteral("--mqtt takes tcp://HOST:PORT, or mqtts://HOST:PORT for TLS, "
                                "e.g. tcp://127.0.0.1:1883, not \"%1\"")
                     .arg(text);
        return std::nullopt;
    }
    b.host = host;
    b.port = *number;
    return b;
}

bool ValidTopicPrefix(const QString& prefix) {
    return !prefix.isEmpty() && !prefix.startsWith(QLatin1Char('/')) &&
           !prefix.endsWith(QLatin1Char('/')) && !prefix.contains(QLatin1Char('+')) &&
           !prefix.contains(QLatin1Char('#')) && !prefix.contains(QChar(0)) &&
           prefix.toUtf8().size() < 1024;
}

ParsedWatchArgs ParseWatchArgs(const QStringList& arguments) {
    ParsedWatchArgs result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "flamehost-watch --config FILE [--metrics ADDRESS:PORT] [--mqtt URL [--topic PREFIX]]\n\n"
        "Watches flame detectors on one or more RS-485 lines and serves their health to "
        "Prometheus (--metrics) and to an MQTT broker (--mqtt). The lines are described in the "
        "JSON config (see /usr/share/doc/flamehost/examples/watch.json). SIGHUP reads the config "
        "again; SIGTERM ends the service.\n\n"
        "Exit status: 0 ended by SIGTERM or SIGINT, or --check found the config good; 1 the "
        "metrics address or the broker could not be used; 2 a usage or config error."));
    const QCommandLineOption help(QStringList{"h", "help"},
                                  QStringLiteral("Shows this help and leaves."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version and leaves."));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("The JSON config (required): lines, detectors, MQTT account file."),
        QStringLiteral("file"));
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("Serve /metrics and /healthz over HTTP on <address:port>, e.g. "
                       "127.0.0.1:9464. Off unless given."),
        QStringLiteral("address:port"));
    const QCommandLineOption mqtt(
        QStringLiteral("mqtt"),
        QStringLiteral("Publish to the broker at <url>: tcp://HOST:PORT, or mqtts://HOST:PORT "
                       "with the CA file of the config. Off unless given."),
        QStringLiteral("url"));
    const QCommandLineOption topic(QStringLiteral("topic"),
                                   QStringLiteral("Topic prefix for MQTT (default flamehost)."),
                                   QStringLiteral("prefix"));
    const QCommandLineOption check(
        QStringLiteral("check"),
        QStringLiteral("Read the config, say whether it is good, and leave."));
    parser.addOptions({help, version, config, metrics, mqtt, topic, check});
    result.helpText = parser.helpText();

    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    QStringList seen;
    for (const QString& name : parser.optionNames()) {
        if (seen.contains(name)) {
            result.error = QStringLiteral("--%1 is given more than once").arg(name);
            return result;
        }
        seen << name;
    }
    result.help = parser.isSet(help);
    result.version = parser.isSet(version);
    if (result.help || result.version)
        return result;
    if (!parser.positionalArguments().isEmpty()) {
        result.error =
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return result;
    }
    WatchOptions o;
    o.configPath = parser.value(config);
    o.checkOnly = parser.isSet(check);
    if (o.configPath.isEmpty()) {
        result.error = QStringLiteral("--config FILE is required");
        return result;
    }
    if (parser.isSet(metrics) &&
        !(o.metrics = ParseListenAddress(parser.value(metrics), &result.error)))
        return result;
    if (parser.isSet(mqtt) && !(o.mqtt = ParseBrokerAddress(parser.value(mqtt), &result.error)))
        return result;
    if (parser.isSet(topic)) {
        if (!parser.isSet(mqtt)) {
            result.error = QStringLiteral("--topic needs --mqtt");
            return result;
        }
        o.topic = parser.value(topic);
        if (!ValidTopicPrefix(o.topic)) {
            result.error = QStringLiteral("--topic takes topic levels without +, # and without a "
                                          "leading or trailing /, e.g. plant/flamehost");
            return result;
        }
    }
    result.options = o;
    return result;
}

} // namespace fh::watch
