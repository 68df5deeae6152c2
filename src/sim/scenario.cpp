#include "sim/scenario.h"

#include "sim/simmodels.h"

#include <cmath>
#include <limits>
#include <optional>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace fh {

namespace {

// Reads one JSON object and remembers the first thing wrong with it, prefixed by where.
class Fields {
public:
    Fields(const QJsonObject& obj, QString where, QString* error)
        : obj_(obj), where_(std::move(where)), error_(error) {}

    bool ok() const { return error_->isEmpty(); }
    bool has(const char* key) const { return obj_.contains(QLatin1String(key)); }

    // Refuses keys outside the list, so a misspelt key does not silently do nothing.
    void only(std::initializer_list<const char*> keys) {
        for (const QString& k : obj_.keys()) {
            bool known = false;
            for (const char* allowed : keys)
                known = known || k == QLatin1String(allowed);
            if (!known)
                fail(QStringLiteral("unknown key \"%1\"").arg(k));
        }
    }

    std::optional<qint64> integer(const char* key, qint64 lo, qint64 hi) {
        const QJsonValue v = obj_.value(QLatin1String(key));
        const double d = v.toDouble();
        if (!v.isDouble() || std::floor(d) != d || d < static_cast<double>(lo) ||
            d > static_cast<double>(hi)) {
            fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                     .arg(QLatin1String(key))
                     .arg(lo)
                     .arg(hi));
            return std::nullopt;
        }
        return static_cast<qint64>(d);
    }
    std::optional<double> real(const char* key) {
        const QJsonValue v = obj_.value(QLatin1String(key));
        if (!v.isDouble()) {
            fail(QStringLiteral("\"%1\" must be a number").arg(QLatin1String(key)));
            return std::nullopt;
        }
        return v.toDouble();
    }
    // A number, or "NaN", "inf" or "-inf" for the values JSON cannot write as numbers.
    std::optional<double> realOrNonFinite(const char* key) {
        const QString text = obj_.value(QLatin1String(key)).toString();
        if (text == QLatin1String("NaN"))
            return std::numeric_limits<double>::quiet_NaN();
        if (text == QLatin1String("inf") || text == QLatin1String("-inf"))
            return text.startsWith('-') ? -std::numeric_limits<double>::infinity()
                                        : std::numeric_limits<double>::infinity();
        return real(key);
    }
    std::optional<bool> boolean(const char* key) {
        const QJsonValue v = obj_.value(QLatin1String(key));
        if (!v.isBool()) {
            fail(QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(key)));
            return std::nullopt;
        }
        return v.toBool();
    }
    std::optional<QByteArray> text(const char* key, qsizetype minLen, qsizetype maxLen) {
        const QJsonValue v = obj_.value(QLatin1String(key));
        const QByteArray t = v.toString().toLatin1();
        if (!v.isString() || t.size() < minLen || t.size() > maxLen) {
            fail(QStringLiteral("\"%1\" must be a text of %2 to %3 characters")
                     .arg(QLatin1String(key))
                     .arg(minLen)
                     .arg(maxLen));
            return std::nullopt;
        }
        return t;
    }
    std::optional<QJsonObject> object(const char* key) {
        const QJsonValue v = obj_.value(QLatin1String(key));
        if (!v.isObject()) {
            fail(QStringLiteral("\"%1\" must be an object").arg(QLatin1String(key)));
            return std::nullopt;
        }
        return v.toObject();
    }
    QJsonValue value(const char* key) const { return obj_.value(QLatin1String(key)); }
    QString where() const { return where_; }

    void fail(const QString& what) {
        if (error_->isEmpty())
            *error_ = where_ + QStringLiteral(": ") + what;
    }

private:
    QJsonObject obj_;
    QString where_;
    QString* error_;
};

void readModel(Fields& f, quint16& code) {
    const QJsonValue v = f.value("model");
    if (v.isString()) {
        const auto c = simModelCode(v.toString());
        if (!c)
            f.fail(QStringLiteral("unknown model \"%1\"").arg(v.toString()));
        else
            code = *c;
    } else if (v.isDouble() && v.toDouble() >= 0 && v.toDouble() <= 65535 &&
               v.toDouble() == std::floor(v.toDouble())) {
        code = static_cast<quint16>(v.toDouble());
    } else {
        f.fail(QStringLiteral("\"model\" must be a model name such as \"Zorvan A2\" or a code "
                              "from 0 to 65535"));
    }
}

void readReadings(const QJsonObject& obj, const QString& where, QString* error, SimDetector& d) {
    Fields f(obj, where + QStringLiteral(", readings"), error);
    f.only({"sum4", "sum45", "sum5", "bitSum4", "bitSum45", "bitSum5", "noise4", "noise45",
            "noise5", "gainCode", "temperature", "voltage"});
    const std::pair<const char*, int> floats[] = {
        {"sum4", 5}, {"sum45", 7}, {"sum5", 9}, {"bitSum4", 16}, {"bitSum45", 18}, {"bitSum5", 20}};
    for (const auto& [key, reg] : floats)
        if (f.has(key))
            if (const auto v = f.realOrNonFinite(key))
                d.setInputFloat(reg, static_cast<float>(*v));
    auto byteInto = [&](const char* key, int reg, bool high) {
        if (!f.has(key))
            return;
        if (const auto v = f.integer(key, 0, 255)) {
            const quint16 old = d.input(reg);
            d.setInput(reg, high ? static_cast<quint16>((*v << 8) | (old & 0xFF))
                                 : static_cast<quint16>((old & 0xFF00) | *v));
        }
    };
    byteInto("noise4", 13, true);
    byteInto("noise45", 13, false);
    byteInto("noise5", 14, true);
    byteInto("gainCode", 4, false);
    if (f.has("temperature"))
        if (const auto v = f.integer("temperature", -128, 127))
            d.setInput(11, static_cast<quint16>(*v & 0xFF));
    if (f.has("voltage")) {
        const auto v = f.real("voltage");
        if (v && (*v < 0 || *v > 3276.7))
            f.fail(QStringLiteral("\"voltage\" must be from 0 to 3276.7"));
        else if (v)
            d.setInput(12, static_cast<quint16>(std::lround(*v * 10)));
    }
}

void readFaults(const QJsonObject& obj, const QString& where, QString* error, SimDetector& d) {
    Fields f(obj, where + QStringLiteral(", faults"), error);
    f.only({"ignoreNext", "answerEvery", "silent", "stopAfter", "exception", "replyAddress", "echo",
            "wrongCheck", "shortReply", "lateFirstByteUs", "split", "garbage"});
    SimFaults x;
    constexpr qint64 MaxUs = 60'000'000;
    if (f.has("ignoreNext"))
        x.ignoreNext = static_cast<int>(f.integer("ignoreNext", 0, 1'000'000).value_or(0));
    if (f.has("answerEvery"))
        x.answerEvery = static_cast<int>(f.integer("answerEvery", 0, 1'000'000).value_or(0));
    if (f.has("silent"))
        x.silent = f.boolean("silent").value_or(false);
    if (f.has("stopAfter"))
        x.stopAfter = static_cast<int>(f.integer("stopAfter", 0, 1'000'000).value_or(0));
    if (f.has("replyAddress"))
        x.replyAddress = static_cast<quint8>(f.integer("replyAddress", 0, 255).value_or(0));
    if (f.has("echo"))
        x.echo = f.boolean("echo").value_or(false);
    if (f.has("wrongCheck"))
        x.wrongCheck = f.boolean("wrongCheck").value_or(false);
    if (f.has("shortReply"))
        x.shortReply = static_cast<int>(f.integer("shortReply", 0, 256).value_or(-1));
    if (f.has("lateFirstByteUs"))
        x.lateFirstByteUs = f.integer("lateFirstByteUs", 0, MaxUs).value_or(0);
    if (f.has("exception")) {
        if (const auto o = f.object("exception")) {
            Fields e(*o, f.where() + QStringLiteral(", exception"), error);
            e.only({"function", "code"});
            x.exceptionFunction = static_cast<quint8>(e.integer("function", 1, 255).value_or(0));
            x.exceptionCode = static_cast<quint8>(e.integer("code", 0, 255).value_or(0));
        }
    }
    if (f.has("split")) {
        if (const auto o = f.object("split")) {
            Fields s(*o, f.where() + QStringLiteral(", split"), error);
            s.only({"after", "gapUs"});
            x.splitAfter = static_cast<int>(s.integer("after", 1, 256).value_or(0));
            x.splitGapUs = s.integer("gapUs", 0, MaxUs).value_or(0);
        }
    }
    if (f.has("garbage")) {
        if (const auto o = f.object("garbage")) {
            Fields g(*o, f.where() + QStringLiteral(", garbage"), error);
            g.only({"bytes", "delayUs"});
            x.garbageBytes = static_cast<int>(g.integer("bytes", 1, 4096).value_or(0));
            x.garbageDelayUs = g.integer("delayUs", 0, MaxUs).value_or(0);
        }
    }
    d.setFaults(x);
}

std::shared_ptr<SimDetector> readDetector(const QJsonObject& obj, const QString& where,
                                          QString* error) {
    Fields f(obj, where, error);
    const auto address = f.integer("address", 1, 247);
    if (!f.ok())
        return nullptr;
    const QString here = QStringLiteral("%1 (address %2)").arg(where).arg(*address);
    Fields g(obj, here, error);
    g.only({"address", "model", "serial", "fault", "status", "statusCycle", "statusStepMs",
            "statusCycleRepeats", "latencyUs", "setup", "inputCount", "inputRegisters", "readings",
            "version", "faults"});
    quint16 model = 0;
    readModel(g, model);
    const auto serial = g.integer("serial", 0, 65535);
    if (!g.ok())
        return nullptr;
    auto d = std::make_shared<SimDetector>(static_cast<quint8>(*address), model,
                                           static_cast<quint16>(*serial));
    if (g.has("fault"))
        d->setFaultFlag(static_cast<quint8>(g.integer("fault", 0, 255).value_or(0)));
    if (g.has("status"))
        d->setStatusChar(g.text("status", 1, 1).value_or("N").at(0));
    if (g.has("statusCycle")) {
        const auto chars = g.text("statusCycle", 1, 256);
        const auto step = g.integer("statusStepMs", 1, 86'400'000);
        const bool repeat =
            !g.has("statusCycleRepeats") || g.boolean("statusCycleRepeats").value_or(true);
        if (chars && step)
            d->setStatusCycle(*chars, *step * 1000, repeat);
    } else if (g.has("statusStepMs") || g.has("statusCycleRepeats")) {
        g.fail(QStringLiteral("\"%1\" needs \"statusCycle\"")
                   .arg(g.has("statusStepMs") ? "statusStepMs" : "statusCycleRepeats"));
    }
    if (g.has("latencyUs"))
        d->setLatencyUs(g.integer("latencyUs", 0, 60'000'000).value_or(0));
    if (g.has("inputCount"))
        d->setInputCount(static_cast<int>(g.integer("inputCount", 1, 22).value_or(15)));
    if (g.has("version"))
        d->setVersion(g.text("version", 0, 200).value_or(QByteArray()));
    if (g.has("setup")) {
        const QJsonArray a = g.value("setup").toArray();
        if (!g.value("setup").isArray() || a.isEmpty() || a.size() > 4)
            g.fail(QStringLiteral("\"setup\" must be a list of 1 to 4 register values"));
        for (int i = 0; i < a.size() && g.ok(); ++i) {
            const double v = a[i].toDouble(-1);
            if (!a[i].isDouble() || std::floor(v) != v || v < 0 || v > 65535)
                g.fail(QStringLiteral("\"setup\" item %1 must be a whole number from 0 to 65535")
                           .arg(i + 1));
            else
                d->setHolding(i + 1, static_cast<quint16>(v));
        }
    }
    if (g.has("inputRegisters")) {
        if (const auto o = g.object("inputRegisters")) {
            Fields r(*o, here + QStringLiteral(", inputRegisters"), error);
            for (const QString& k : o->keys()) {
                bool isNumber = false;
                const int reg = k.toInt(&isNumber);
                if (!isNumber || reg < 0 || reg >= SimDetector::MaxInputCount) {
                    r.fail(QStringLiteral("register \"%1\" is not one of 0 to 21").arg(k));
                    break;
                }
                if (const auto v = r.integer(k.toLatin1().constData(), 0, 65535))
                    d->setInput(reg, static_cast<quint16>(*v));
            }
        }
    }
    if (g.has("readings"))
        if (const auto o = g.object("readings"))
            readReadings(*o, here, error, *d);
    if (g.has("faults"))
        if (const auto o = g.object("faults"))
            readFaults(*o, here, error, *d);
    return g.ok() ? d : nullptr;
}

} // namespace

std::unique_ptr<SimBus> parseScenario(const QByteArray& json, QString* error) {
    QString dummy;
    QString& err = error ? *error : dummy;
    err.clear();
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        err = QStringLiteral("not valid JSON at character %1: %2")
                  .arg(pe.offset)
                  .arg(pe.errorString());
        return nullptr;
    }
    if (!doc.isObject()) {
        err = QStringLiteral("the top level must be an object with a \"detectors\" list");
        return nullptr;
    }
    Fields top(doc.object(), QStringLiteral("top level"), &err);
    top.only({"detectors"});
    const QJsonValue list = top.value("detectors");
    if (top.ok() && (!list.isArray() || list.toArray().isEmpty()))
        top.fail(QStringLiteral("\"detectors\" must be a list of at least one detector"));
    if (!top.ok())
        return nullptr;

    auto bus = std::make_unique<SimBus>();
    QSet<int> addresses;
    const QJsonArray detectors = list.toArray();
    for (int i = 0; i < detectors.size(); ++i) {
        const QString where = QStringLiteral("detector %1").arg(i + 1);
        if (!detectors[i].isObject()) {
            err = where + QStringLiteral(": must be an object");
            return nullptr;
        }
        auto d = readDetector(detectors[i].toObject(), where, &err);
        if (!d)
            return nullptr;
        if (addresses.contains(d->address())) {
            err = where + QStringLiteral(": address %1 is already taken by another detector")
                              .arg(d->address());
            return nullptr;
        }
        addresses.insert(d->address());
        bus->add(std::move(d));
    }
    return bus;
}

std::unique_ptr<SimBus> loadScenario(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return nullptr;
    }
    // A scenario is a few kilobytes; anything huge is not one.
    constexpr qint64 MaxSize = 4 * 1024 * 1024;
    if (file.size() > MaxSize) {
        if (error)
            *error = QStringLiteral("%1: too large for a scenario file").arg(path);
        return nullptr;
    }
    QString why;
    auto bus = parseScenario(file.readAll(), &why);
    if (!bus && error)
        *error = path + QStringLiteral(": ") + why;
    return bus;
}

} // namespace fh
