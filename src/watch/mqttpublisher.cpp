#include "watch/mqttpublisher.h"

#include "watch/log.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <unistd.h>

namespace fh::watch {

namespace {

constexpr int QoS = 1;
constexpr int LoopSliceMs = 100;
constexpr int OfflineGraceMs = 300;
const QByteArray Online = "online";
const QByteArray Offline = "offline";

QString brokerText(const BrokerAddress& b) {
    return QStringLiteral("%1://%2:%3")
        .arg(b.tls ? QStringLiteral("mqtts") : QStringLiteral("tcp"), b.host)
        .arg(b.port);
}

} // namespace

struct MqttPublisher::Core {
    MqttSettings settings;
    QByteArray statusTopic;
    mosquitto* mosq = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false; // under mutex
    std::atomic<bool> finished{false};
    std::atomic<bool> online{false}; // the broker took our connection
    std::atomic<int> handed{0};      // given to the library, not yet acknowledged
    MqttPublisher* owner = nullptr;  // the owner's thread only
    std::weak_ptr<Core> self;

    ~Core() {
        if (mosq)
            mosquitto_destroy(mosq);
    }
    bool stopRequested() {
        std::lock_guard lock(mutex);
        return stopping;
    }
    // Runs fn on the owner's thread, if the owner is still there.
    void post(std::function<void(MqttPublisher&)> fn) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [core = self.lock(), fn = std::move(fn)] {
                if (core && core->owner)
                    fn(*core->owner);
            },
            Qt::QueuedConnection);
    }
    void run();

    static void connected(mosquitto*, void* c, int rc) {
        auto* core = static_cast<Core*>(c);
        if (rc == 0)
            core->online = true;
        core->post([rc](MqttPublisher& p) { p.onConnect(rc); });
    }
    static void disconnected(mosquitto*, void* c, int) {
        auto* core = static_cast<Core*>(c);
        if (core->online.exchange(false))
            core->post([](MqttPublisher& p) { p.onDisconnect(); });
    }
    static void acknowledged(mosquitto*, void* c, int) {
        auto* core = static_cast<Core*>(c);
        --core->handed;
        core->post([](MqttPublisher& p) { p.onAcked(); });
    }
};

// The connection thread: connect, serve the connection until it fails, wait, again.
void MqttPublisher::Core::run() {
    const QByteArray host = settings.broker.host.toUtf8();
    int delay = FirstRetryS;
    bool first = true;
    while (!stopRequested()) {
        const int rc = first ? mosquitto_connect(mosq, host.constData(), settings.broker.port,
                                                 settings.config.keepaliveS)
                             : mosquitto_reconnect(mosq);
        first = false;
        if (rc == MOSQ_ERR_SUCCESS) {
            while (!stopRequested() && mosquitto_loop(mosq, LoopSliceMs, 1) == MOSQ_ERR_SUCCESS) {
            }
            if (online)
                delay = FirstRetryS; // that connection was good: the back-off starts afresh
        }
        if (stopRequested())
            break;
        if (online.exchange(false))
            post([](MqttPublisher& p) { p.onDisconnect(); });
        std::unique_lock lock(mutex);
        if (wake.wait_for(lock, std::chrono::seconds(delay), [this] { return stopping; }))
            break;
        delay = std::min(delay * 2, LastRetryS);
    }
    // Leaving: the status goes "offline" (a clean disconnect sends no will), what is handed
    // over gets a moment to be acknowledged, then the connection closes.
    if (online) {
        ++handed;
        mosquitto_publish(mosq, nullptr, statusTopic.constData(), int(Offline.size()),
                          Offline.constData(), QoS, true);
        const QDeadlineTimer grace(OfflineGraceMs);
        while (handed > 0 && !grace.hasExpired() &&
               mosquitto_loop(mosq, 20, 1) == MOSQ_ERR_SUCCESS) {
        }
        mosquitto_disconnect(mosq);
    }
    finished = true;
}

MqttPublisher::MqttPublisher(MqttSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)) {}

MqttPublisher::~MqttPublisher() {
    stop(QDeadlineTimer(OfflineGraceMs + 2 * LoopSliceMs));
    if (core_)
        core_->owner = nullptr;
    if (thread_.joinable())
        thread_.detach(); // stuck in a connection attempt; it keeps its core alive
}

bool MqttPublisher::start(QString* error) {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
    core_ = std::make_shared<Core>();
    core_->self = core_;
    core_->owner = this;
    core_->settings = settings_;
    core_->statusTopic = statusTopic().toUtf8();
    const MqttConfig& c = settings_.config;
    const QString id = c.clientId.isEmpty() ? QStringLiteral("flamehost-watch-%1-%2")
                                                  .arg(QHostInfo::localHostName())
                                                  .arg(::getpid())
                                            : c.clientId;
    mosquitto* m = mosquitto_new(id.toUtf8().constData(), true, core_.get());
    core_->mosq = m;
    if (!m) {
        *error = QStringLiteral("cannot set up the MQTT client: %1").arg(qt_error_string(errno));
        return false;
    }
    mosquitto_threaded_set(m, true);
    mosquitto_connect_callback_set(m, &Core::connected);
    mosquitto_disconnect_callback_set(m, &Core::disconnected);
    mosquitto_publish_callback_set(m, &Core::acknowledged);
    int rc = mosquitto_will_set(m, core_->statusTopic.constData(), int(Offline.size()),
                                Offline.constData(), QoS, true);
    if (rc == MOSQ_ERR_SUCCESS && c.credentials) {
        const QByteArray user = c.credentials->username.toUtf8();
        const QByteArray password = c.credentials->password.toUtf8();
        rc = mosquitto_username_pw_set(m, user.constData(),
                                       password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && settings_.broker.tls)
        rc = mosquitto_tls_set(m, QFile::encodeName(c.caFile).constData(), nullptr, nullptr,
                               nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("cannot set up the MQTT client: %1").arg(mosquitto_strerror(rc));
        return false;
    }
    LogInfo(QStringLiteral("MQTT: publishing to %1 under %2/")
                .arg(brokerText(settings_.broker), settings_.prefix));
    thread_ = std::thread([core = core_] { core->run(); });
    return true;
}

bool MqttPublisher::stop(QDeadlineTimer deadline) {
    if (!thread_.joinable())
        return true;
    {
        std::lock_guard lock(core_->mutex);
        core_->stopping = true;
    }
    core_->wake.notify_all();
    while (!core_->finished && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!core_->finished)
        return false;
    thread_.join();
    connected_ = false;
    return true;
}

void MqttPublisher::publish(const QString& topic, const QByteArray& payload, bool retain) {
    if (!core_)
        return;
    Message m{(settings_.prefix + QLatin1Char('/') + topic).toUtf8(), payload, retain};
    if (connected_ && queue_.empty() && core_->handed < settings_.config.queueLimit) {
        hand(m);
        return;
    }
    if (int(queue_.size()) >= settings_.config.queueLimit) {
        queue_.pop_front();
        ++dropped_;
        if (!dropSaid_)
            LogWarning(QStringLiteral("MQTT: the queue is full (%1 messages): the oldest are "
                                      "dropped, and counted, until the broker takes them again")
                           .arg(settings_.config.queueLimit));
        dropSaid_ = true;
    }
    queue_.push_back(std::move(m));
}

void MqttPublisher::hand(const Message& m) {
    ++core_->handed;
    const int rc = mosquitto_publish(core_->mosq, nullptr, m.topic.constData(),
                                     int(m.payload.size()), m.payload.constData(), QoS, m.retain);
    // Without a connection the library keeps a QoS 1 message and sends it once connected.
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN)
        return;
    --core_->handed;
    ++dropped_;
    LogError(QStringLiteral("MQTT: %1 not published: %2")
                 .arg(QString::fromUtf8(m.topic), QString::fromUtf8(mosquitto_strerror(rc))));
}

void MqttPublisher::drain() {
    while (connected_ && !queue_.empty() && core_->handed < settings_.config.queueLimit) {
        hand(queue_.front());
        queue_.pop_front();
    }
    if (queue_.empty())
        dropSaid_ = false;
}

MqttStats MqttPublisher::stats() const {
    MqttStats s;
    s.connected = connected_;
    s.published = published_;
    s.dropped = dropped_;
    s.queued = quint64(queue_.size()) + quint64(std::max(0, core_ ? core_->handed.load() : 0));
    return s;
}

void MqttPublisher::onConnect(int rc) {
    if (rc != 0) {
        // Refused (a wrong account, say): told once until a connection succeeds.
        if (!refusedSaid_)
            LogError(QStringLiteral("MQTT: %1 refused the connection: %2")
                         .arg(brokerText(settings_.broker),
                              QString::fromUtf8(mosquitto_connack_string(rc))));
        refusedSaid_ = true;
        return;
    }
    refusedSaid_ = false;
    connected_ = true;
    LogInfo(QStringLiteral("MQTT: connected to %1").arg(brokerText(settings_.broker)));
    hand({core_->statusTopic, Online, true});
    emit connected();
    drain();
}

void MqttPublisher::onDisconnect() {
    if (!connected_)
        return;
    connected_ = false;
    const QString why =
        QStringLiteral("lost the connection to %1; reconnecting").arg(brokerText(settings_.broker));
    LogWarning(QStringLiteral("MQTT: ") + why);
    emit disconnected(why);
}

void MqttPublisher::onAcked() {
    ++published_;
    drain();
}

} // namespace fh::watch
