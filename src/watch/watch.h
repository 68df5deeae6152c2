#pragma once
// The service: one LinePoller per configured line, the metrics page and the MQTT publisher
// fed from them, and reloading the config without letting a bad one in.
#include "watch/httpserver.h"
#include "watch/linepoller.h"
#include "watch/metricstext.h"
#include "watch/mqttpublisher.h"
#include "watch/watchconfig.h"
#include "watch/watchoptions.h"

#include <memory>
#include <vector>

namespace fh::watch {

// What the command line and the config must agree on (TLS needs a CA file, and a CA file
// means TLS); empty when they do.
QString CheckAgainstOptions(const WatchOptions& options, const WatchConfig& config);

class Watch : public QObject {
    Q_OBJECT
public:
    // Makes each line's port: by default the serial device or the device server it names.
    using PortMaker = std::function<LineWorker::PortFactory(const LineConfig&)>;

    explicit Watch(WatchOptions options, PortMaker ports = {}, QObject* parent = nullptr);
    ~Watch() override;

    // Serves the metrics, connects the broker and starts every line. False with *error when
    // the metrics address or the broker settings cannot be used.
    bool start(const WatchConfig& config, QString* error);
    // Reads the config file again. A bad one is refused, logged and counted, and the running
    // config stays; a good one restarts only the lines it changes.
    bool reload();
    // Ends the lines and says "offline" to the broker within the deadline; false when some
    // thread was still busy (a connection attempt) at the deadline.
    bool stop(QDeadlineTimer deadline);

    ServiceSnapshot snapshot() const;
    HttpResponse answer(const QString& path) const;
    quint16 metricsPort() const { return http_ ? http_->port() : 0; }
    const std::vector<std::unique_ptr<LinePoller>>& lines() const { return lines_; }

private:
    void startLine(const LineConfig& config);
    void applyLines(const QList<LineConfig>& wanted);
    void startMqtt(const MqttConfig& config);
    void publishState(const DetectorState& d);
    void publishReadings(const DetectorState& d);
    void republish();

    WatchOptions options_;
    PortMaker ports_;
    MqttConfig mqttConfig_;
    std::vector<std::unique_ptr<LinePoller>> lines_;
    std::unique_ptr<HttpServer> http_;
    std::unique_ptr<MqttPublisher> mqtt_;
    quint64 reloadsApplied_ = 0, reloadsRefused_ = 0;
};

} // namespace fh::watch
