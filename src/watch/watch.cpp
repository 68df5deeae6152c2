#include "watch/watch.h"

#include "link/portfactory.h"
#include "watch/log.h"

#include <QJsonDocument>

namespace fh::watch {

namespace {

QString topicOf(const DetectorState& d, const char* leaf) {
    return QStringLiteral("%1/%2/%3")
        .arg(TopicLevel(d.line))
        .arg(d.address)
        .arg(QLatin1String(leaf));
}

QString addresses(const QList<int>& list) {
    QStringList texts;
    for (int a : list)
        texts << QString::number(a);
    return texts.join(QStringLiteral(", "));
}

} // namespace

QString CheckAgainstOptions(const WatchOptions& options, const WatchConfig& config) {
    if (!options.mqtt)
        return {};
    if (options.mqtt->tls && config.mqtt.caFile.isEmpty())
        return QStringLiteral("%1: --mqtt asks for TLS (mqtts://) but mqtt.ca_file names no CA "
                              "certificate to check the broker with")
            .arg(options.configPath);
    if (!options.mqtt->tls && !config.mqtt.caFile.isEmpty())
        return QStringLiteral("%1: mqtt.ca_file is given but --mqtt is not mqtts://: the "
                              "connection would not be encrypted")
            .arg(options.configPath);
    return {};
}

Watch::Watch(WatchOptions options, PortMaker ports, QObject* parent)
    : QObject(parent), options_(std::move(options)), ports_(std::move(ports)) {
    if (!ports_)
        ports_ = [](const LineConfig& line) {
            return MakePortFactory(LineChoice{line.port, line.mode, line.echo});
        };
}

Watch::~Watch() {
    stop(QDeadlineTimer(1000));
}

bool Watch::start(const WatchConfig& config, QString* error) {
    if (options_.metrics) {
        http_ = std::make_unique<HttpServer>([this](const QString& path) { return answer(path); });
        if (!http_->listen(options_.metrics->host, options_.metrics->port, error)) {
            *error = QStringLiteral("cannot serve the metrics on %1:%2: %3")
                         .arg(options_.metrics->host.toString())
                         .arg(options_.metrics->port)
                         .arg(*error);
            http_.reset();
            return false;
        }
        LogInfo(QStringLiteral("serving http://%1:%2/metrics and /healthz")
                    .arg(http_->address().protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + http_->address().toString() + QLatin1Char(']')
                             : http_->address().toString())
                    .arg(http_->port()));
    }
    mqttConfig_ = config.mqtt;
    if (options_.mqtt) {
        mqtt_ = std::make_unique<MqttPublisher>(
            MqttSettings{*options_.mqtt, config.mqtt, options_.topic});
        connect(mqtt_.get(), &MqttPublisher::connected, this, &Watch::republish);
        if (!mqtt_->start(error))
            return false;
    }
    applyLines(config.lines);
    return true;
}

void Watch::startLine(const LineConfig& config) {
    auto poller = std::make_unique<LinePoller>(config, ports_(config));
    LinePoller* p = poller.get();
    const QString name = config.name;
    connect(p, &LinePoller::stateChanged, this, [this, p](const DetectorState& d) {
        if (p->lineUp()) // a lost line says so once, not once per detector
            LogInfo(d.up ? QStringLiteral("%1/%2: %3 serial %4, status %5, fault %6")
                               .arg(d.line)
                               .arg(d.address)
                               .arg(d.model)
                               .arg(d.serial)
                               .arg(StatusLabel(d))
                               .arg(d.fault)
                         : QStringLiteral("%1/%2: no good reply: down").arg(d.line).arg(d.address));
        publishState(d);
    });
    connect(p, &LinePoller::readingsTaken, this, &Watch::publishReadings);
    connect(p, &LinePoller::lineStateChanged, this, [name](bool up, const QString& message) {
        Log(up ? Level::Info : Level::Warning,
            QStringLiteral("%1: %2").arg(
                name, up ? message : message + QStringLiteral(" (retried every second)")));
    });
    connect(p, &LinePoller::notice, this,
            [name](const QString& text) { LogWarning(QStringLiteral("%1: %2").arg(name, text)); });
    connect(p, &LinePoller::scanFinished, this, [name](const QList<int>& found) {
        LogInfo(QStringLiteral("%1: the scan found %2 detector(s) at %3")
                    .arg(name)
                    .arg(found.size())
                    .arg(addresses(found)));
    });
    LogInfo(
        config.scan
            ? QStringLiteral("%1: watching %2, scanning addresses 1 to 247").arg(name, config.port)
            : QStringLiteral("%1: watching %2, detectors %3")
                  .arg(name, config.port, addresses(config.detectors)));
    p->start();
    lines_.push_back(std::move(poller));
}

void Watch::applyLines(const QList<LineConfig>& wanted) {
    // A line whose settings stay keeps running (its counters and states too); a scanning line
    // starts afresh, so a reload is also how to look for new detectors.
    std::vector<std::unique_ptr<LinePoller>> kept, gone;
    for (auto& line : lines_) {
        const bool stays = !line->config().scan && wanted.contains(line->config());
        (stays ? kept : gone).push_back(std::move(line));
    }
    for (auto& line : gone)
        line->requestStop();
    for (auto& line : gone) {
        line->waitStopped(QDeadlineTimer(QDeadlineTimer::Forever));
        // What stood retained for a detector that is no longer watched is taken back.
        for (const auto& [address, d] : line->detectors()) {
            const bool stillWatched =
                std::any_of(wanted.begin(), wanted.end(), [&](const LineConfig& w) {
                    return TopicLevel(w.name) == TopicLevel(d.line) &&
                           (w.scan || w.detectors.contains(address));
                });
            if (mqtt_ && !stillWatched)
                mqtt_->publish(topicOf(d, "state"), QByteArray(), true);
        }
    }
    gone.clear();
    lines_ = std::move(kept);
    for (const LineConfig& config : wanted) {
        const bool running = std::any_of(lines_.begin(), lines_.end(),
                                         [&](const auto& l) { return l->config() == config; });
        if (!running)
            startLine(config);
    }
    // The configured order, for the metrics page and the log.
    std::stable_sort(lines_.begin(), lines_.end(), [&](const auto& a, const auto& b) {
        return wanted.indexOf(a->config()) < wanted.indexOf(b->config());
    });
}

bool Watch::reload() {
    QString error;
    auto config = LoadWatchConfig(options_.configPath, &error);
    if (config)
        error = CheckAgainstOptions(options_, *config);
    if (!config || !error.isEmpty()) {
        ++reloadsRefused_;
        LogError(QStringLiteral("reload refused, the running config stays: %1").arg(error));
        return false;
    }
    if (options_.mqtt && !(config->mqtt == mqttConfig_)) {
        // A new account or CA file: a new connection.
        mqtt_->stop(QDeadlineTimer(1000));
        mqtt_.reset();
        mqtt_ = std::make_unique<MqttPublisher>(
            MqttSettings{*options_.mqtt, config->mqtt, options_.topic});
        connect(mqtt_.get(), &MqttPublisher::connected, this, &Watch::republish);
        if (!mqtt_->start(&error))
            LogError(error);
    }
    mqttConfig_ = config->mqtt;
    applyLines(config->lines);
    ++reloadsApplied_;
    LogInfo(QStringLiteral("config reloaded from %1: %2 line(s)")
                .arg(options_.configPath)
                .arg(lines_.size()));
    return true;
}

bool Watch::stop(QDeadlineTimer deadline) {
    for (auto& line : lines_)
        line->requestStop();
    bool ok = !mqtt_ || mqtt_->stop(deadline);
    for (auto& line : lines_)
        ok = line->waitStopped(deadline) && ok;
    http_.reset();
    if (ok) {
        lines_.clear();
        mqtt_.reset();
    }
    return ok;
}

void Watch::publishState(const DetectorState& d) {
    if (mqtt_)
        mqtt_->publish(topicOf(d, "state"),
                       QJsonDocument(StateJson(d)).toJson(QJsonDocument::Compact), true);
}

void Watch::publishReadings(const DetectorState& d) {
    if (mqtt_)
        mqtt_->publish(topicOf(d, "readings"),
                       QJsonDocument(ReadingsJson(d)).toJson(QJsonDocument::Compact), false);
}

void Watch::republish() {
    for (const auto& line : lines_)
        for (const auto& [address, d] : line->detectors())
            if (d.polled)
                publishState(d);
}

ServiceSnapshot Watch::snapshot() const {
    ServiceSnapshot s;
    for (const auto& line : lines_) {
        LineSnapshot l;
        l.name = line->config().name;
        l.up = line->lineUp();
        l.counters = line->counters();
        for (const auto& [address, d] : line->detectors())
            l.detectors.push_back(d);
        s.lines.push_back(std::move(l));
    }
    if (mqtt_)
        s.mqtt = mqtt_->stats();
    s.reloadsApplied = reloadsApplied_;
    s.reloadsRefused = reloadsRefused_;
    return s;
}

HttpResponse Watch::answer(const QString& path) const {
    if (path == QLatin1String("/metrics"))
        return {200, "text/plain; version=0.0.4; charset=utf-8", RenderMetrics(snapshot())};
    if (path == QLatin1String("/healthz")) {
        // Healthy while every line's port is open; each line down is named.
        QByteArray down;
        for (const auto& line : lines_)
            if (!line->lineUp())
                down += QStringLiteral("%1: down: %2\n")
                            .arg(line->config().name, line->lineMessage())
                            .toUtf8();
        return down.isEmpty() ? HttpResponse{200, "text/plain; charset=utf-8", "ok\n"}
                              : HttpResponse{503, "text/plain; charset=utf-8", down};
    }
    if (path == QLatin1String("/"))
        return {200, "text/plain; charset=utf-8", "flamehost-watch: /metrics, /healthz\n"};
    return {404, "text/plain; charset=utf-8", "not found\n"};
}

} // namespace fh::watch
