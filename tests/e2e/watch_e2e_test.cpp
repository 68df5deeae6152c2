// flamehost-watch as a plant runs it: two simulated buses (a pseudo-terminal and a device
// server over TCP), a real broker, the metrics page scraped as Prometheus does, the signals.
#include "common/waitfor.h"
#include "support/broker.h"
#include "support/readuntil.h"
#include "support/simprocess.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace fh;

namespace {

// Address 1 reports N, then W from 1.5 s after its first poll on; address 2 stays N.
const char* const BusA = R"({ "detectors": [
  { "address": 1, "model": "Zorvan A2", "serial": 20417, "statusCycle": "NW",
    "statusStepMs": 1500, "statusCycleRepeats": false },
  { "address": 2, "model": "Zorvan C1", "serial": 31208 } ] })";
const char* const BusB = R"({ "detectors": [ { "address": 7, "model": "Zorvan B1", "serial": 4711,
  "readings": { "voltage": 23.9 } } ] })";

QByteArray get(quint16 port, const char* path) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return {};
    s.write(QByteArray("GET ") + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray got;
    while (s.waitForReadyRead(5000))
        got += s.readAll();
    return got.mid(got.indexOf("\r\n\r\n") + 4);
}

class Watch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(broker_.start()) << "mosquitto is missing: scripts/setup.sh";
        ASSERT_TRUE(test::writeAll(dir_.filePath("a.json"), BusA));
        ASSERT_TRUE(test::writeAll(dir_.filePath("b.json"), BusB));
        simA_ =
            std::make_unique<test::SimProcess>(QStringList{"--scenario", dir_.filePath("a.json")});
        simB_ = std::make_unique<test::SimProcess>(
            QStringList{"--tcp", "0", "--scenario", dir_.filePath("b.json")});
        ASSERT_TRUE(simA_->ok() && simB_->ok());
        config_ = dir_.filePath("watch.json");
        ASSERT_TRUE(test::writeAll(config_, QStringLiteral(R"({"lines": [
            {"name": "trunk-a", "port": "%1", "detectors": [1, 2]},
            {"name": "trunk-b", "port": "%2", "detectors": [7], "readings_period_s": 1}]})")
                                                .arg(simA_->device(), simB_->device())
                                                .toUtf8()));
    }
    // Started with metrics on a free port and the broker; false when the page is not served.
    bool startWatch() {
        watch_.start(FH_BIN_DIR "/flamehost-watch",
                     {"--config", config_, "--metrics", "127.0.0.1:0", "--mqtt", broker_.url(),
                      "--topic", "e2e"});
        const QByteArray said =
            test::ReadUntil(watch_, QProcess::StandardError,
                            [](const QByteArray& e) { return e.contains("/healthz"); });
        const auto m = QRegularExpression("http://127.0.0.1:(\\d+)/metrics").match(QString(said));
        port_ = m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
        return port_ != 0;
    }
    // Scrapes until the page holds every line given, or ten seconds have passed.
    QByteArray scrapeUntil(const QList<QByteArray>& lines) {
        QByteArray page;
        [[maybe_unused]] const bool all = test::WaitFor(
            [&] {
                page = get(port_, "/metrics");
                return std::all_of(lines.begin(), lines.end(),
                                   [&](const QByteArray& l) { return page.contains(l + '\n'); });
            },
            10000);
        return page;
    }
    QJsonObject stateOf(const char* topic) {
        return QJsonDocument::fromJson(broker_.first(QStringLiteral("e2e/") + topic)).object();
    }

    test::Broker broker_;
    QTemporaryDir dir_;
    std::unique_ptr<test::SimProcess> simA_, simB_;
    QString config_;
    QProcess watch_;
    quint16 port_ = 0;
};

const QByteArray A1 = R"({line="trunk-a",address="1",serial="20417",model="Zorvan A2")";
const QByteArray B7 = R"({line="trunk-b",address="7",serial="4711",model="Zorvan B1")";

TEST_F(Watch, AStatusChangeOnTheBusShowsInTheMetricsAndOverMqtt) {
    ASSERT_TRUE(startWatch()) << watch_.readAllStandardError().toStdString();
    const QByteArray first = scrapeUntil({"flamehost_detector_status" + A1 + ",status=\"N\"} 1",
                                          "flamehost_detector_up" + B7 + "} 1"});
    ASSERT_TRUE(first.contains("flamehost_detector_status" + A1 + ",status=\"N\"} 1"))
        << first.constData();
    ASSERT_TRUE(first.contains("flamehost_detector_up" + B7 + "} 1")) << first.constData();
    const QByteArray second = scrapeUntil({"flamehost_detector_status" + A1 + ",status=\"W\"} 1",
                                           "flamehost_detector_supply_volts" + B7 + "} 23.9"});
    EXPECT_TRUE(second.contains("flamehost_detector_status" + A1 + ",status=\"W\"} 1"))
        << second.constData();
    EXPECT_TRUE(second.contains("flamehost_detector_supply_volts" + B7 + "} 23.9"))
        << second.constData();
    EXPECT_TRUE(second.contains("flamehost_line_up{line=\"trunk-b\"} 1"));
    EXPECT_EQ(get(port_, "/healthz"), "ok\n");

    // The state stands retained on the broker; the readings come at their period.
    QJsonObject state;
    EXPECT_TRUE(
        test::WaitFor([&] { return (state = stateOf("trunk-a/1/state"))["status"] == "W"; }, 10000))
        << QJsonDocument(state).toJson().constData();
    EXPECT_EQ(state["serial"], 20417);
    EXPECT_EQ(state["model"], "Zorvan A2");
    EXPECT_EQ(state["up"], true);
    EXPECT_EQ(stateOf("trunk-b/7/readings")["voltage"], 23.9);
    EXPECT_EQ(broker_.first("e2e/status"), "online");

    // A config with an error is refused on SIGHUP; the running one goes on.
    ASSERT_TRUE(
        test::writeAll(config_, "{\"lines\": [{\"port\": \"/dev/x\",\n\"detectors\": [0]}]}"));
    ::kill(pid_t(watch_.processId()), SIGHUP);
    const QByteArray refused =
        test::ReadUntil(watch_, QProcess::StandardError,
                        [](const QByteArray& e) { return e.contains("reload refused"); });
    EXPECT_TRUE(refused.contains("reload refused, the running config stays: " + config_.toUtf8() +
                                 ":2: lines[0].detectors[0]: must be a bus address from 1 to 247"))
        << refused.constData();
    const QByteArray third = scrapeUntil({"flamehost_config_reloads_total{result=\"refused\"} 1"});
    EXPECT_TRUE(third.contains("flamehost_config_reloads_total{result=\"refused\"} 1"));
    EXPECT_TRUE(third.contains("flamehost_detector_up" + B7 + "} 1"));

    watch_.terminate();
    ASSERT_TRUE(watch_.waitForFinished(5000));
    EXPECT_EQ(watch_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch_.exitCode(), 0);
    EXPECT_EQ(broker_.first("e2e/status"), "offline");
}

TEST_F(Watch, AKilledWatchLeavesItsLastWillAndALostLineShowsDown) {
    ASSERT_TRUE(startWatch());
    scrapeUntil({"flamehost_detector_up" + B7 + "} 1"});
    EXPECT_EQ(broker_.first("e2e/status"), "online");
    // The device server goes away: its line and detector show down, never a stale "up".
    simB_.reset();
    const QByteArray page = scrapeUntil(
        {"flamehost_detector_up" + B7 + "} 0", "flamehost_line_up{line=\"trunk-b\"} 0"});
    EXPECT_TRUE(page.contains("flamehost_detector_status" + B7 + ",status=\"D\"} 1"))
        << page.constData();
    EXPECT_TRUE(get(port_, "/healthz").startsWith("trunk-b: down: "));
    QJsonObject state;
    EXPECT_TRUE(
        test::WaitFor([&] { return (state = stateOf("trunk-b/7/state"))["up"] == false; }, 10000));
    EXPECT_EQ(state["status"], "D");

    watch_.kill();
    watch_.waitForFinished(5000);
    EXPECT_EQ(broker_.first("e2e/status"), "offline");
}

TEST_F(Watch, AConfigErrorEndsItBeforeAnyPortOpens) {
    ASSERT_TRUE(test::writeAll(config_, "{\"lines\": [{\"port\": \"/dev/x\", \"detectors\": [1],\n"
                                        "\"baud\": 19200}]}"));
    QProcess p;
    p.start(FH_BIN_DIR "/flamehost-watch", {"--config", config_, "--metrics", "127.0.0.1:0"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_EQ(p.readAllStandardError(),
              "flamehost-watch: error: " + config_.toUtf8() + ":2: lines[0].baud: unknown key\n");
}

} // namespace
