#pragma once
// Publishing to an MQTT broker through libmosquitto. The connection lives on a thread of its
// own (name lookup and connecting block there, never the service); it reconnects with a
// back-off of 1 s doubling to 30 s. Messages go out with QoS 1. While the broker is away they
// wait in a bounded queue; when it is full the oldest is dropped and counted. A last will
// "offline" stands retained on PREFIX/status; "online" replaces it on each connection.
#include "watch/metricstext.h"
#include "watch/watchconfig.h"
#include "watch/watchoptions.h"

#include <deque>
#include <memory>
#include <QDeadlineTimer>
#include <QObject>
#include <thread>

struct mosquitto;

namespace fh::watch {

struct MqttSettings {
    BrokerAddress broker;
    MqttConfig config;
    QString prefix = QStringLiteral("flamehost");
};

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstRetryS = 1;
    static constexpr int LastRetryS = 30;

    explicit MqttPublisher(MqttSettings settings, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // Starts connecting; false with *error when the settings cannot be used at all (TLS files).
    bool start(QString* error);
    // Says "offline" and disconnects, within the deadline; false when the connection thread
    // did not end in time (stuck in a connection attempt).
    bool stop(QDeadlineTimer deadline);

    // topic below the prefix ("trunk-a/5/state").
    void publish(const QString& topic, const QByteArray& payload, bool retain);
    MqttStats stats() const;
    const MqttSettings& settings() const { return settings_; }
    QString statusTopic() const { return settings_.prefix + QStringLiteral("/status"); }

signals:
    // Each time a connection is made: what should stand retained is worth sending again
    // (a broker restarted without persistence has lost it).
    void connected();
    void disconnected(const QString& why);

private:
    struct Message {
        QByteArray topic, payload;
        bool retain;
    };
    // What the connection thread shares. It outlives this object when the thread has to be
    // left in a connection attempt, so nothing the thread touches is ever freed under it.
    struct Core;
    void hand(const Message& m);
    void drain();
    void onConnect(int rc);
    void onDisconnect();
    void onAcked();

    MqttSettings settings_;
    std::shared_ptr<Core> core_;
    std::thread thread_;
    bool connected_ = false;
    std::deque<Message> queue_;
    quint64 published_ = 0, dropped_ = 0;
    bool dropSaid_ = false, refusedSaid_ = false;
};

} // namespace fh::watch
