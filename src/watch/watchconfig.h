#pragma once
// The service's JSON config: the lines to watch and how to reach the MQTT broker's account.
// Every key is checked; an error names the file, the line and the key (docs/watch.md).
#include "link/linemode.h"

#include <optional>
#include <QList>
#include <QString>

namespace fh::watch {

struct LineConfig {
    QString name; // the port's text unless given
    QString port; // a device path or tcp://HOST:PORT
    LineMode mode = LineMode::Rts;
    bool echo = false;
    bool scan = false;        // find the detectors (1..247) when the line starts
    QList<int> detectors;     // polled round robin in this order (empty when scanning)
    int readingsPeriodS = 60; // 0: no readings
    int turnaroundUs = 4000;
    bool fastReplies = true;
    bool acceptBadCheck = false;
    bool operator==(const LineConfig&) const = default;
};

struct MqttCredentials {
    QString username, password;
    bool operator==(const MqttCredentials&) const = default;
};

struct MqttConfig {
    std::optional<MqttCredentials> credentials; // read from credentials_file
    QString caFile;                             // TLS: the broker's CA certificate
    QString clientId;                           // empty: flamehost-watch-HOST-PID
    int queueLimit = 10000;
    int keepaliveS = 30;
    bool operator==(const MqttConfig&) const = default;
};

struct WatchConfig {
    QList<LineConfig> lines;
    MqttConfig mqtt;
};

// The config in `text`; relative file names in it are taken from `folder`. On an error,
// nullopt and *error = "FILE:LINE: KEY: what is wrong".
std::optional<WatchConfig> ParseWatchConfig(const QByteArray& text, const QString& fileName,
                                            const QString& folder, QString* error);
// The same from a file.
std::optional<WatchConfig> LoadWatchConfig(const QString& path, QString* error);

// The line's name as one MQTT topic level: '/', '+' and '#' become '_' (a default name taken
// from a device path has slashes).
QString TopicLevel(const QString& lineName);

} // namespace fh::watch
