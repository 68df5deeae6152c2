// The metrics page: what a detector shows up, down and never heard, and that Prometheus' own
// checker takes the page.
#include "support/broker.h"
#include "watch/metricstext.h"

#include <gtest/gtest.h>
#include <limits>
#include <QProcess>

using namespace fh;
using namespace fh::watch;

namespace {

DetectorState detector(const char* line, int address, bool up, bool known) {
    DetectorState d;
    d.line = line;
    d.address = address;
    d.polled = true;
    d.up = up;
    d.known = known;
    if (known) {
        d.model = "Zorvan C1";
        d.serial = 31208;
        d.statusChar = 'W';
        d.fault = 1;
        d.lastReplyMs = 1'800'000'000'500;
    }
    return d;
}

ServiceSnapshot plant() {
    DetectorState up = detector("trunk-a", 1, true, true);
    MaintenanceReadings r;
    r.Sum4 = 1520.5f;
    r.Sum45 = std::numeric_limits<float>::quiet_NaN();
    r.Sum5 = -std::numeric_limits<float>::infinity();
    r.BitSum4 = 4000;
    r.Voltage = 241 * 0.1;
    r.Temperature = -5;
    r.Noise45 = 4;
    r.Gain = 2;
    up.readings = r;
    up.bitSums = true;
    up.gainKnown = true;
    DetectorState down = detector("trunk-a", 2, false, true);
    down.readings = r; // left from before: must not be shown
    DetectorState silent = detector("trunk-a", 3, false, false);
    DetectorState odd = detector("a\"b\\c", 4, true, true);
    odd.statusChar = 0x05;
    ServiceSnapshot s;
    s.lines.push_back({"trunk-a", true, {}, {up, down, silent}});
    s.lines.back().counters.polls = 12;
    s.lines.back().counters.timeouts = 3;
    s.lines.back().counters.faults[size_t(ReplyFault::BadCheck)] = 2;
    s.lines.push_back({"a\"b\\c", false, {}, {odd}});
    s.mqtt = MqttStats{true, 40, 7, 5};
    s.reloadsRefused = 1;
    return s;
}

TEST(Metrics, DetectorsShowOnlyWhatTheirLatestGoodReplySaid) {
    const QString page = QString::fromUtf8(RenderMetrics(plant()));
    const QString a1 = R"({line="trunk-a",address="1",serial="31208",model="Zorvan C1")";
    const QString a2 = R"({line="trunk-a",address="2",serial="31208",model="Zorvan C1")";
    const QString a3 = R"({line="trunk-a",address="3",serial="",model="")";
    const QString odd = R"({line="a\"b\\c",address="4",serial="31208",model="Zorvan C1")";
    const QStringList present = {
        "flamehost_detector_up" + a1 + "} 1",
        "flamehost_detector_status" + a1 + ",status=\"W\"} 1",
        "flamehost_detector_fault" + a1 + "} 1",
        "flamehost_detector_last_reply_timestamp_seconds" + a1 + "} 1800000000.5",
        "flamehost_detector_supply_volts" + a1 + "} 24.1",
        "flamehost_detector_temperature_celsius" + a1 + "} -5",
        "flamehost_detector_sum_value" + a1 + ",channel=\"4\"} 1520.5",
        "flamehost_detector_sum_value" + a1 + ",channel=\"45\"} NaN",
        "flamehost_detector_sum_value" + a1 + ",channel=\"5\"} -Inf",
        "flamehost_detector_bit_sum_value" + a1 + ",channel=\"4\"} 4000",
        "flamehost_detector_noise" + a1 + ",channel=\"45\"} 4",
        "flamehost_detector_gain" + a1 + "} 2",
        // Down: 0 and "D", its last good reply still dated, nothing else.
        "flamehost_detector_up" + a2 + "} 0",
        "flamehost_detector_status" + a2 + ",status=\"D\"} 1",
        "flamehost_detector_last_reply_timestamp_seconds" + a2 + "} 1800000000.5",
        "flamehost_detector_up" + a3 + "} 0",
        // Label values escaped; a control character as status is written out.
        "flamehost_detector_status" + odd + ",status=\"\\\\x05\"} 1",
        "flamehost_line_up{line=\"a\\\"b\\\\c\"} 0",
        "flamehost_line_polls_total{line=\"trunk-a\"} 12",
        "flamehost_line_timeouts_total{line=\"trunk-a\"} 3",
        "flamehost_line_reply_faults_total{line=\"trunk-a\",kind=\"bad_check\"} 2",
        "flamehost_line_reply_faults_total{line=\"trunk-a\",kind=\"echo_differs\"} 0",
        "flamehost_mqtt_connected 1",
        "flamehost_mqtt_dropped_messages_total 7",
        "flamehost_mqtt_queued_messages 5",
        "flamehost_config_reloads_total{result=\"refused\"} 1",
    };
    const QStringList lines = page.split('\n');
    for (const QString& line : present)
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    for (const char* family :
         {"flamehost_detector_fault", "flamehost_detector_supply_volts",
          "flamehost_detector_sum_value", "flamehost_detector_noise", "flamehost_detector_gain"})
        for (const QString& d : {a2, a3})
            EXPECT_FALSE(page.contains(family + d)) << family << " for " << d.toStdString();
    EXPECT_FALSE(
        page.contains("flamehost_line_reply_faults_total{line=\"trunk-a\",kind=\"none\"}"));
    EXPECT_FALSE(page.contains("kind=\"no_reply\"")) << "silence is counted as a time-out";
}

TEST(Metrics, PrometheusCheckerTakesThePage) {
    const QString promtool = test::Broker::program("promtool");
    ASSERT_FALSE(promtool.isEmpty())
        << "promtool (Debian's prometheus) is missing: scripts/setup.sh";
    for (const ServiceSnapshot& s : {plant(), ServiceSnapshot{}}) {
        QProcess check;
        check.start(promtool, {"check", "metrics"});
        check.write(RenderMetrics(s));
        check.closeWriteChannel();
        ASSERT_TRUE(check.waitForFinished(20000));
        EXPECT_EQ(check.exitCode(), 0)
            << check.readAll().toStdString() << check.readAllStandardError().toStdString();
    }
}

} // namespace
