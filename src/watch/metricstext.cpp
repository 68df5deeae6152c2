#include "watch/metricstext.h"

#include "detector/replycheck.h"

#include <cmath>
#include <functional>
#include <QLocale>

namespace fh::watch {

namespace {

QString value(double v) {
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

class Page {
public:
    void family(const char* name, const char* type, const char* help) {
        name_ = QLatin1String(name);
        text_ += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                     .arg(name_, QLatin1String(help), QLatin1String(type));
    }
    // labels: "name=value" pairs already escaped and quoted by label().
    void sample(const QStringList& labels, const QString& v) {
        text_ += name_;
        if (!labels.isEmpty())
            text_ += QLatin1Char('{') + labels.join(QLatin1Char(',')) + QLatin1Char('}');
        text_ += QLatin1Char(' ') + v + QLatin1Char('\n');
    }
    void sample(const QStringList& labels, double v) { sample(labels, value(v)); }
    QByteArray bytes() const { return text_.toUtf8(); }

private:
    QString name_;
    QString text_;
};

QString label(const char* name, const QString& v) {
    return QStringLiteral("%1=\"%2\"").arg(QLatin1String(name), EscapeLabel(v));
}

QStringList detectorLabels(const DetectorState& d) {
    return {label("line", d.line), label("address", QString::number(d.address)),
            label("serial", d.known ? QString::number(d.serial) : QString()),
            label("model", d.known ? d.model : QString())};
}

using Detectors = std::vector<const DetectorState*>;

// One family over the detectors for which `get` gives values (with extra labels each).
void detectorFamily(Page& page, const Detectors& all, const char* name, const char* help,
                    const std::function<void(const DetectorState&, QStringList, Page&)>& emitFor) {
    page.family(name, "gauge", help);
    for (const DetectorState* d : all)
        emitFor(*d, detectorLabels(*d), page);
}

void channels(Page& page, QStringList labels, float c4, float c45, float c5) {
    const std::pair<const char*, float> values[] = {{"4", c4}, {"45", c45}, {"5", c5}};
    for (const auto& [channel, v] : values)
        page.sample(labels + QStringList{label("channel", QLatin1String(channel))}, double(v));
}

} // namespace

QString EscapeLabel(const QString& v) {
    QString out;
    for (QChar c : v) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

QByteArray RenderMetrics(const ServiceSnapshot& s) {
    Page page;
    Detectors all, withReadings;
    for (const LineSnapshot& line : s.lines)
        for (const DetectorState& d : line.detectors) {
            all.push_back(&d);
            if (d.up && d.readings)
                withReadings.push_back(&d);
        }

    detectorFamily(
        page, all, "flamehost_detector_up",
        "1 while the detector's latest status poll got a good reply, else 0.",
        [](const DetectorState& d, QStringList l, Page& p) { p.sample(l, d.up ? 1 : 0); });
    detectorFamily(page, all, "flamehost_detector_status",
                   "The detector's status character as the status label (D while down); always 1.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       p.sample(l << label("status", StatusLabel(d)), 1);
                   });
    detectorFamily(page, all, "flamehost_detector_fault",
                   "The fault flag of the latest status reply (0: no fault); absent while down.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       if (d.up)
                           p.sample(l, d.fault);
                   });
    detectorFamily(page, all, "flamehost_detector_last_reply_timestamp_seconds",
                   "When the detector last gave a good status reply (Unix time).",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       if (d.lastReplyMs > 0)
                           p.sample(l, d.lastReplyMs / 1000.0);
                   });
    detectorFamily(page, withReadings, "flamehost_detector_supply_volts",
                   "Supply voltage from the latest readings.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       p.sample(l, std::round(d.readings->Voltage * 10) / 10);
                   });
    detectorFamily(page, withReadings, "flamehost_detector_temperature_celsius",
                   "Temperature inside the detector from the latest readings.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       p.sample(l, d.readings->Temperature);
                   });
    // Not "..._sum": that suffix belongs to summaries and histograms, and linters refuse it.
    detectorFamily(page, withReadings, "flamehost_detector_sum_value",
                   "Detection channel sums (channel 4, 45, 5) from the latest readings.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       const MaintenanceReadings& r = *d.readings;
                       channels(p, l, r.Sum4, r.Sum45, r.Sum5);
                   });
    detectorFamily(page, withReadings, "flamehost_detector_bit_sum_value",
                   "Channel sums of the last built-in test, where the model reports them.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       const MaintenanceReadings& r = *d.readings;
                       if (d.bitSums)
                           channels(p, l, r.BitSum4, r.BitSum45, r.BitSum5);
                   });
    detectorFamily(page, withReadings, "flamehost_detector_noise",
                   "Detection channel noise (channel 4, 45, 5) from the latest readings.",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       const MaintenanceReadings& r = *d.readings;
                       channels(p, l, r.Noise4, r.Noise45, r.Noise5);
                   });
    detectorFamily(page, withReadings, "flamehost_detector_gain",
                   "Gain from the latest readings (3 minus the gain code).",
                   [](const DetectorState& d, QStringList l, Page& p) {
                       if (d.gainKnown) // a code outside 0..3 is no gain the detector reported
                           p.sample(l, d.readings->Gain);
                   });

    page.family("flamehost_line_up", "gauge", "1 while the line's port is open, else 0.");
    for (const LineSnapshot& line : s.lines)
        page.sample({label("line", line.name)}, line.up ? 1 : 0);
    page.family("flamehost_line_polls_total", "counter",
                "Requests sent on the line (status and readings).");
    for (const LineSnapshot& line : s.lines)
        page.sample({label("line", line.name)}, QString::number(line.counters.polls));
    page.family("flamehost_line_timeouts_total", "counter", "Requests that got no reply in time.");
    for (const LineSnapshot& line : s.lines)
        page.sample({label("line", line.name)}, QString::number(line.counters.timeouts));
    page.family("flamehost_line_reply_faults_total", "counter",
                "Replies the reply check refused, by kind; nothing was decoded from them.");
    for (const LineSnapshot& line : s.lines)
        for (int k = 0; k < ReplyFaultKinds; ++k) {
            const auto kind = ReplyFault(k);
            if (kind != ReplyFault::None && kind != ReplyFault::NoReply)
                page.sample({label("line", line.name), label("kind", ReplyFaultKey(kind))},
                            QString::number(line.counters.faults[size_t(k)]));
        }

    if (s.mqtt) {
        page.family("flamehost_mqtt_connected", "gauge", "1 while the MQTT broker is connected.");
        page.sample({}, s.mqtt->connected ? 1 : 0);
        page.family("flamehost_mqtt_published_messages_total", "counter",
                    "Messages the broker acknowledged.");
        page.sample({}, QString::number(s.mqtt->published));
        page.family("flamehost_mqtt_dropped_messages_total", "counter",
                    "Messages dropped because the queue was full while the broker was away.");
        page.sample({}, QString::number(s.mqtt->dropped));
        page.family("flamehost_mqtt_queued_messages", "gauge", "Messages waiting for the broker.");
        page.sample({}, QString::number(s.mqtt->queued));
    }
    page.family("flamehost_config_reloads_total", "counter",
                "Config reloads (SIGHUP) applied, and refused for an error in the new config.");
    page.sample({label("result", QStringLiteral("applied"))}, QString::number(s.reloadsApplied));
    page.sample({label("result", QStringLiteral("refused"))}, QString::number(s.reloadsRefused));
    return page.bytes();
}

} // namespace fh::watch
