#include "watch/watchconfig.h"

#include "link/tcpport.h"
#include "watch/credentials.h"
#include "watch/jsonlines.h"

#include <cmath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace fh::watch {

namespace {

constexpr int LastAddress = 247;

// Reads members and remembers the first thing wrong, as "FILE:LINE: PATH: what".
class Reader {
public:
    Reader(QString file, const JsonLines& lines, QString* error)
        : file_(std::move(file)), lines_(lines), error_(error) {}

    bool ok() const { return error_->isEmpty(); }
    void fail(const QString& path, const QString& what) {
        if (ok())
            *error_ =
                QStringLiteral("%1:%2: %3: %4").arg(file_).arg(lines_.line(path)).arg(path, what);
    }
    static QString at(const QString& path, const char* key) {
        return path.isEmpty() ? QLatin1String(key) : path + QLatin1Char('.') + QLatin1String(key);
    }

    void only(const QJsonObject& o, const QString& path, std::initializer_list<const char*> keys) {
        for (const QString& k : o.keys()) {
            if (std::none_of(keys.begin(), keys.end(), [&](const char* a) { return k == a; }))
                fail(path.isEmpty() ? k : path + QLatin1Char('.') + k,
                     QStringLiteral("unknown key"));
        }
    }
    int integer(const QJsonObject& o, const QString& path, const char* key, int lo, int hi,
                int fallback) {
        if (!o.contains(QLatin1String(key)))
            return fallback;
        const QJsonValue v = o.value(QLatin1String(key));
        const double d = v.toDouble();
        if (!v.isDouble() || std::floor(d) != d || d < lo || d > hi) {
            fail(at(path, key),
                 QStringLiteral("must be a whole number from %1 to %2").arg(lo).arg(hi));
            return fallback;
        }
        return int(d);
    }
    bool boolean(const QJsonObject& o, const QString& path, const char* key, bool fallback) {
        if (!o.contains(QLatin1String(key)))
            return fallback;
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isBool())
            fail(at(path, key), QStringLiteral("must be true or false"));
        return v.toBool(fallback);
    }
    // A text of 1 to maxLength characters without control characters; nullopt when absent.
    std::optional<QString> text(const QJsonObject& o, const QString& path, const char* key,
                                int maxLength) {
        if (!o.contains(QLatin1String(key)))
            return std::nullopt;
        const QJsonValue v = o.value(QLatin1String(key));
        const QString t = v.toString();
        const bool control = std::any_of(
            t.begin(), t.end(), [](QChar c) { return c.unicode() < 32 || c.unicode() == 127; });
        if (!v.isString() || t.isEmpty() || t.size() > maxLength || control) {
            fail(at(path, key),
                 QStringLiteral("must be a text of 1 to %1 characters").arg(maxLength));
            return std::nullopt;
        }
        return t;
    }

private:
    QString file_;
    const JsonLines& lines_;
    QString* error_;
};

void readDetectors(Reader& r, const QJsonObject& o, const QString& path, LineConfig& line) {
    const QString key = Reader::at(path, "detectors");
    const QJsonValue v = o.value(QLatin1String("detectors"));
    if (v.isUndefined()) {
        r.fail(key, QStringLiteral("missing: a list of bus addresses, or \"scan\""));
        return;
    }
    if (v.isString() && v.toString() == QLatin1String("scan")) {
        line.scan = true;
        return;
    }
    const QJsonArray list = v.toArray();
    if (!v.isArray() || list.isEmpty()) {
        r.fail(key, QStringLiteral("must be \"scan\" or a list of bus addresses 1 to 247"));
        return;
    }
    for (int i = 0; i < list.size() && r.ok(); ++i) {
        const QString item = QStringLiteral("%1[%2]").arg(key).arg(i);
        const double d = list[i].toDouble();
        if (!list[i].isDouble() || std::floor(d) != d || d < 1 || d > LastAddress)
            r.fail(item, QStringLiteral("must be a bus address from 1 to 247"));
        else if (line.detectors.contains(int(d)))
            r.fail(item, QStringLiteral("address %1 is listed twice").arg(d));
        else
            line.detectors << int(d);
    }
}

void readPort(Reader& r, const QJsonObject& o, const QString& path, LineConfig& line) {
    const QString key = Reader::at(path, "port");
    if (!o.contains(QLatin1String("port"))) {
        r.fail(key, QStringLiteral("missing: the line's serial device or tcp://HOST:PORT"));
        return;
    }
    line.port = r.text(o, path, "port", 255).value_or(QString());
    QString why;
    if (!r.ok())
        return;
    if (IsTcpAddress(line.port)) {
        if (!ParseTcpAddress(line.port, nullptr, nullptr, &why))
            r.fail(key, why);
    } else if (!line.port.startsWith(QLatin1Char('/'))) {
        r.fail(key,
               QStringLiteral("must be a device path such as /dev/ttyUSB0, or tcp://HOST:PORT"));
    }
}

std::optional<LineConfig> readLine(Reader& r, const QJsonValue& v, const QString& path) {
    if (!v.isObject()) {
        r.fail(path, QStringLiteral("must be an object with at least \"port\" and \"detectors\""));
        return std::nullopt;
    }
    const QJsonObject o = v.toObject();
    r.only(o, path,
           {"name", "port", "line_mode", "echo", "detectors", "readings_period_s", "turnaround_us",
            "fast_replies", "accept_bad_check"});
    LineConfig line;
    readPort(r, o, path, line);
    line.name = line.port;
    if (const auto name = r.text(o, path, "name", 64)) {
        if (name->contains(QRegularExpression(QStringLiteral("[/+#]"))))
            r.fail(Reader::at(path, "name"),
                   QStringLiteral("must not hold /, + or # (it is an MQTT topic level)"));
        line.name = *name;
    }
    if (const auto mode = r.text(o, path, "line_mode", 32)) {
        if (const auto m = ParseLineMode(*mode))
            line.mode = *m;
        else
            r.fail(Reader::at(path, "line_mode"),
                   QStringLiteral("must be one of %1")
                       .arg(LineModeNames().join(QStringLiteral(", "))));
    }
    line.echo = r.boolean(o, path, "echo", line.echo);
    readDetectors(r, o, path, line);
    line.readingsPeriodS = r.integer(o, path, "readings_period_s", 0, 86400, line.readingsPeriodS);
    line.turnaroundUs = r.integer(o, path, "turnaround_us", 0, 32767, line.turnaroundUs);
    line.fastReplies = r.boolean(o, path, "fast_replies", line.fastReplies);
    line.acceptBadCheck = r.boolean(o, path, "accept_bad_check", line.acceptBadCheck);
    if (!r.ok())
        return std::nullopt;
    return line;
}

QString resolved(const QString& folder, const QString& file) {
    return QFileInfo(file).isAbsolute() ? file : QDir(folder).filePath(file);
}

void readMqtt(Reader& r, const QJsonValue& v, const QString& folder, MqttConfig& m) {
    const QString path = QStringLiteral("mqtt");
    if (!v.isObject()) {
        r.fail(path, QStringLiteral("must be an object"));
        return;
    }
    const QJsonObject o = v.toObject();
    for (const char* secret : {"username", "password"})
        if (o.contains(QLatin1String(secret)))
            r.fail(Reader::at(path, secret),
                   QStringLiteral("the account does not go into the config: put it into the file "
                                  "that \"credentials_file\" names"));
    r.only(o, path, {"credentials_file", "ca_file", "client_id", "queue_limit", "keepalive_s"});
    if (const auto file = r.text(o, path, "credentials_file", 4096)) {
        QString why;
        m.credentials = ReadCredentials(resolved(folder, *file), &why);
        if (!m.credentials)
            r.fail(Reader::at(path, "credentials_file"), why);
    }
    if (const auto file = r.text(o, path, "ca_file", 4096)) {
        m.caFile = resolved(folder, *file);
        QFile ca(m.caFile);
        if (!ca.open(QIODevice::ReadOnly))
            r.fail(Reader::at(path, "ca_file"),
                   QStringLiteral("%1: %2").arg(m.caFile, ca.errorString()));
    }
    m.clientId = r.text(o, path, "client_id", 64).value_or(QString());
    m.queueLimit = r.integer(o, path, "queue_limit", 1, 1'000'000, m.queueLimit);
    m.keepaliveS = r.integer(o, path, "keepalive_s", 5, 3600, m.keepaliveS);
}

} // namespace

QString TopicLevel(const QString& lineName) {
    QString level = lineName;
    for (QChar& c : level)
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    return level;
}

std::optional<WatchConfig> ParseWatchConfig(const QByteArray& text, const QString& fileName,
                                            const QString& folder, QString* error) {
    error->clear();
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &pe);
    if (pe.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1:%2: not valid JSON: %3")
                     .arg(fileName)
                     .arg(LineAt(text, pe.offset))
                     .arg(pe.errorString());
        return std::nullopt;
    }
    const JsonLines lines(text);
    Reader r(fileName, lines, error);
    if (!doc.isObject()) {
        r.fail(QStringLiteral("top level"),
               QStringLiteral("must be an object with a \"lines\" list"));
        return std::nullopt;
    }
    if (!lines.duplicate().isEmpty())
        r.fail(lines.duplicate(), QStringLiteral("given twice"));
    const QJsonObject top = doc.object();
    r.only(top, QString(), {"lines", "mqtt"});
    const QJsonArray list = top.value(QLatin1String("lines")).toArray();
    if (r.ok() && list.isEmpty())
        r.fail(QStringLiteral("lines"), QStringLiteral("must be a list of at least one line"));

    WatchConfig config;
    for (int i = 0; i < list.size() && r.ok(); ++i) {
        const QString path = QStringLiteral("lines[%1]").arg(i);
        const auto line = readLine(r, list[i], path);
        if (!line)
            break;
        for (int j = 0; j < config.lines.size(); ++j) {
            const LineConfig& other = config.lines[j];
            const char* key = list[i].toObject().contains(QLatin1String("name")) ? "name" : "port";
            if (other.port == line->port)
                r.fail(Reader::at(path, "port"),
                       QStringLiteral("%1 is already watched by lines[%2]").arg(line->port).arg(j));
            else if (TopicLevel(other.name) == TopicLevel(line->name))
                r.fail(Reader::at(path, key),
                       QStringLiteral("the name %1 is already taken by lines[%2]")
                           .arg(line->name)
                           .arg(j));
        }
        config.lines << *line;
    }
    if (r.ok() && top.contains(QLatin1String("mqtt")))
        readMqtt(r, top.value(QLatin1String("mqtt")), folder, config.mqtt);
    if (!r.ok())
        return std::nullopt;
    return config;
}

std::optional<WatchConfig> LoadWatchConfig(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    constexpr qint64 MaxSize = 1024 * 1024;
    if (file.size() > MaxSize) {
        *error = QStringLiteral("%1: too large for a config file").arg(path);
        return std::nullopt;
    }
    return ParseWatchConfig(file.readAll(), path, QFileInfo(path).absolutePath(), error);
}

} // namespace fh::watch
