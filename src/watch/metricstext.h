#pragma once
// The Prometheus text exposition (format 0.0.4) of everything the service watches. Pure: a
// snapshot in, the page out, so the text is checked without a line or a socket.
#include "watch/detectorstate.h"
#include "watch/linepoller.h"

#include <optional>
#include <vector>

namespace fh::watch {

struct LineSnapshot {
    QString name;
    bool up = false;
    LineCounters counters;
    std::vector<DetectorState> detectors;
};

struct MqttStats {
    bool connected = false;
    quint64 published = 0; // acknowledged by the broker
    quint64 dropped = 0;   // dropped from the full queue while the broker was away
    quint64 queued = 0;    // waiting, or handed over and not yet acknowledged
};

struct ServiceSnapshot {
    std::vector<LineSnapshot> lines;
    std::optional<MqttStats> mqtt; // nullopt without --mqtt
    quint64 reloadsApplied = 0, reloadsRefused = 0;
};

QByteArray RenderMetrics(const ServiceSnapshot& s);

// A label value with \, " and line feeds escaped.
QString EscapeLabel(const QString& value);

} // namespace fh::watch
