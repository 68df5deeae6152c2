#pragma once
// What the service knows of one detector: taken only from replies that passed the reply
// check, decoded by detector/, and shown as down (never as a stale "up") when its latest
// poll got no good reply.
#include "detector/maintenance.h"

#include <optional>
#include <QJsonObject>
#include <QString>

namespace fh::watch {

struct DetectorState {
    QString line;
    int address = 0;
    bool polled = false; // a status poll has ended
    bool up = false;     // the latest status poll got a good reply
    bool known = false;  // some poll ever did: model and serial are known
    quint16 modelCode = 0;
    QString model;
    quint16 serial = 0;
    quint8 statusChar = 0;
    quint8 fault = 0;
    qint64 lastReplyMs = 0; // wall time (ms since the epoch) of the latest good status reply
    qint64 changedMs = 0;   // wall time of the latest change published
    // The latest readings, from the latest readings request; none when it failed or the
    // detector is down. bitSums: the reply carried the BIT sums (22-register models).
    std::optional<MaintenanceReadings> readings;
    bool bitSums = false;
    bool gainKnown = false; // the reply's gain code was 0..3 (else the gain is not shown)
    qint64 readingsMs = 0;
};

// A status reply that passed the reply check. True when what is published changed (up,
// status, fault, model or serial).
bool ApplyStatusReply(DetectorState& d, const QByteArray& reply, qint64 nowMs);
// A status poll without a good reply: down, readings dropped. True when it was not down.
bool ApplyNoReply(DetectorState& d, qint64 nowMs);
// A read-input-registers reply that passed the reply check.
void ApplyReadingsReply(DetectorState& d, const QByteArray& reply, qint64 nowMs);

// The status as a label or JSON text: "D" while down, else the status character; a byte that
// is not printable ASCII is written \xNN, as the CLI does.
QString StatusLabel(const DetectorState& d);

// The MQTT messages: .../state on every change, .../readings at their period.
QJsonObject StateJson(const DetectorState& d);
QJsonObject ReadingsJson(const DetectorState& d);

// Wall time as RFC 3339 UTC with milliseconds.
QString TimeText(qint64 ms);

} // namespace fh::watch
