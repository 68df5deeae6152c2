// Publishing to a real broker: what stands retained, what waits while the broker is away and
// what is dropped (and counted) when the queue is full, the account and TLS.
#include "common/waitfor.h"
#include "support/broker.h"
#include "watch/mqttpublisher.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace fh;
using namespace fh::watch;
using fh::test::Broker;
using fh::test::WaitFor;

namespace {

MqttSettings settingsFor(const Broker& broker, int queueLimit = 100) {
    MqttSettings s;
    s.broker = BrokerAddress{"127.0.0.1", broker.port(), false};
    s.prefix = "t/fh";
    s.config.queueLimit = queueLimit;
    return s;
}

TEST(Mqtt, WhatWaitedWhileTheBrokerWasAwayArrivesAfterItsRestart) {
    Broker broker;
    ASSERT_TRUE(broker.start()) << "mosquitto (Debian's mosquitto) is missing: scripts/setup.sh";
    MqttPublisher mqtt(settingsFor(broker, 3));
    QSignalSpy connections(&mqtt, &MqttPublisher::connected);
    QString error;
    ASSERT_TRUE(mqtt.start(&error)) << error.toStdString();
    ASSERT_TRUE(WaitFor([&] { return mqtt.stats().connected; }));
    mqtt.publish("trunk-a/1/state", "before", true);
    EXPECT_EQ(broker.first("t/fh/trunk-a/1/state"), "before");
    EXPECT_EQ(broker.first("t/fh/status"), "online");

    broker.stop();
    ASSERT_TRUE(WaitFor([&] { return !mqtt.stats().connected; }));
    for (int i = 1; i <= 5; ++i)
        mqtt.publish(QStringLiteral("trunk-a/%1/state").arg(i), "during " + QByteArray::number(i),
                     true);
    EXPECT_EQ(mqtt.stats().dropped, 2u) << "the two oldest make room";
    EXPECT_EQ(mqtt.stats().queued, 3u);

    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(WaitFor([&] { return mqtt.stats().connected && mqtt.stats().queued == 0; }, 20000));
    EXPECT_EQ(connections.count(), 2);
    EXPECT_EQ(broker.first("t/fh/status"), "online");
    for (int i = 3; i <= 5; ++i)
        EXPECT_EQ(broker.first(QStringLiteral("t/fh/trunk-a/%1/state").arg(i)),
                  "during " + QByteArray::number(i));
    // The restarted broker kept nothing: what was dropped is gone, and was counted.
    EXPECT_EQ(broker.first("t/fh/trunk-a/2/state", 1), "<none>");
    EXPECT_EQ(mqtt.stats().dropped, 2u);
    ASSERT_TRUE(mqtt.stop(QDeadlineTimer(2000)));
    EXPECT_EQ(broker.first("t/fh/status"), "offline") << "a clean stop says so itself";
}

// A broker that wants an account over TLS: the right one gets in, checked against the CA file;
// a wrong password never does.
TEST(Mqtt, AccountAndTlsWithACaFile) {
    const QTemporaryDir files;
    const QString dir = files.path();
    const QString script = QStringLiteral("set -e; cd '%1';"
                                          "openssl req -x509 -newkey ec -pkeyopt "
                                          "ec_paramgen_curve:prime256v1 -nodes -keyout ca.key "
                                          "  -out ca.pem -days 2 -subj /CN=test-ca 2>/dev/null;"
                                          "openssl req -newkey ec -pkeyopt "
                                          "ec_paramgen_curve:prime256v1 -nodes -keyout server.key "
                                          "  -out server.csr -subj /CN=127.0.0.1 2>/dev/null;"
                                          "printf 'subjectAltName=IP:127.0.0.1' > san;"
                                          "openssl x509 -req -in server.csr -CA ca.pem -CAkey "
                                          "ca.key -CAcreateserial -out server.pem "
                                          "  -days 2 -extfile san 2>/dev/null;"
                                          "'%2' -b -c pw plant 's3 cret'")
                               .arg(dir, Broker::program("mosquitto_passwd"));
    QProcess setup;
    setup.start("bash", {"-c", script});
    ASSERT_TRUE(setup.waitForFinished(30000));
    ASSERT_EQ(setup.exitCode(), 0) << setup.readAllStandardError().toStdString();
    Broker broker(QStringLiteral("cafile %1/ca.pem\ncertfile %1/server.pem\nkeyfile %1/server.key\n"
                                 "password_file %1/pw\n")
                      .arg(dir)
                      .toUtf8());
    ASSERT_TRUE(broker.start());
    const QStringList reader{"--cafile", dir + "/ca.pem", "-u", "plant", "-P", "s3 cret"};
    for (const auto& [password, gets] : {std::pair{"s3 cret", true}, {"wrong", false}}) {
        MqttSettings s = settingsFor(broker);
        s.broker.tls = true;
        s.config.caFile = dir + "/ca.pem";
        s.config.credentials = MqttCredentials{"plant", password};
        s.prefix = QStringLiteral("t/%1").arg(gets);
        MqttPublisher mqtt(s);
        QString error;
        ASSERT_TRUE(mqtt.start(&error)) << error.toStdString();
        EXPECT_EQ(WaitFor([&] { return mqtt.stats().connected; }, gets ? 10000 : 2500), gets);
        mqtt.publish("x", "y", true);
        EXPECT_EQ(broker.first(s.prefix + "/x", gets ? 5 : 1, reader), gets ? "y" : "<none>");
    }
}

} // namespace
