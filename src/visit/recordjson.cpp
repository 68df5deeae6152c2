#include "visit/recordjson.h"

#include "detector/detectorrecord.h"
#include "detector/models.h"
#include "visit/atomicfile.h"
#include "visit/jsoncheck.h"
#include "visit/settings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace fh::visit {

namespace {

constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
constexpr qint64 MaxCount = qint64(1) << 53;
constexpr double MaxVoltage = 3276.7; // a signed 16-bit word in tenths

const char* const SumKeys[] = {"sum4", "sum45", "sum5"};
const char* const BitSumKeys[] = {"bit_sum4", "bit_sum45", "bit_sum5"};
const char* const NoiseKeys[] = {"noise4", "noise45", "noise5"};
const char* const Parts[] = {"status", "firmware", "setup", "readings"};
const char* const DriftKeys[] = {"sensitivity", "heat_mode", "heat_on"};

template <typename T> QJsonValue orNull(const std::optional<T>& v) {
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonValue timeOrNull(const QDateTime& t) {
    return t.isValid() ? QJsonValue(TimeText(t)) : QJsonValue(QJsonValue::Null);
}

QJsonObject setupJson(const QString& model, const SetupEntry& e) {
    const SetupRow row = SetupRowFor(model);
    QJsonArray registers;
    for (quint16 r : e.registers)
        registers.append(r);
    QJsonObject settings;
    for (const ListSetting& s : ListSettings()) {
        const QString& text = e.settings.*s.member;
        settings.insert(QLatin1String(s.key), Offers(row, s) && !text.isEmpty()
                                                  ? QJsonValue(text)
                                                  : QJsonValue(QJsonValue::Null));
    }
    QJsonObject flags;
    for (const FlagSetting& f : FlagSettings())
        flags.insert(QLatin1String(f.key), e.settings.flags.*f.member);
    settings.insert(QStringLiteral("flags"), flags);
    QJsonArray outside;
    for (const SetupDrift& d : e.outsideLists)
        outside.append(QJsonObject{{"setting", d.key}, {"raw", d.rawValue}});
    return {{"registers", registers}, {"settings", settings}, {"outside_lists", outside}};
}

QJsonObject readingsJson(const Readings& r) {
    QJsonObject o;
    const float sums[] = {r.sum4, r.sum45, r.sum5};
    const std::optional<float> bitSums[] = {r.bitSum4, r.bitSum45, r.bitSum5};
    const quint8 noises[] = {r.noise4, r.noise45, r.noise5};
    for (int k = 0; k < 3; ++k) {
        o.insert(QLatin1String(SumKeys[k]), SumJson(sums[k]));
        o.insert(QLatin1String(BitSumKeys[k]),
                 bitSums[k] ? SumJson(*bitSums[k]) : QJsonValue(QJsonValue::Null));
        o.insert(QLatin1String(NoiseKeys[k]), noises[k]);
    }
    o.insert(QStringLiteral("gain"),
             r.gain ? QJsonValue(*r.gain) : QJsonValue(QStringLiteral("unknown")));
    o.insert(QStringLiteral("temperature"), r.temperature);
    o.insert(QStringLiteral("voltage"), r.voltage);
    return o;
}

QJsonObject visitJson(const Visit& v) {
    const QJsonObject line{{"port", v.line.port},
                           {"line_mode", v.line.lineMode},
                           {"echo", v.line.echo},
                           {"turnaround_us", v.line.turnaroundUs}};
    return {{"site", v.site},
            {"technician", v.technician},
            {"started", timeOrNull(v.started)},
            {"ended", timeOrNull(v.ended)},
            {"program", v.program},
            {"line", line},
            {"addresses", v.addresses},
            {"bit", v.bitAsked},
            {"complete", v.complete},
            {"interrupted",
             v.interrupted.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(v.interrupted)}};
}

// Reads what one JSON file holds; each function stops at the first field at fault.
class RecordReader {
public:
    explicit RecordReader(QString* error) : check_(error) {}
    JsonCheck& check() { return check_; }

    std::optional<Visit> visit(const QJsonValue& value, const QString& at);
    std::optional<DetectorEntry> detector(const QJsonValue& value, const QString& at);

private:
    std::optional<Identity> identity(const QJsonObject& o, const QString& at);
    std::optional<SetupEntry> setup(const QJsonObject& o, const QString& at, const QString& model);
    std::optional<Readings> readings(const QJsonObject& o, const QString& at);
    bool rest(const QJsonObject& o, const QString& at, DetectorEntry& e);

    // `key` of o as text, or nothing when null.
    std::optional<QString> textOrNull(const QJsonObject& o, const QString& at, const char* key) {
        const QJsonValue v = check_.member(o, at, key);
        return v.isNull() ? std::nullopt : check_.text(v, FieldPath(at, key));
    }

    JsonCheck check_;
};

std::optional<Visit> RecordReader::visit(const QJsonValue& value, const QString& at) {
    const auto o = check_.object(value, at);
    if (!o)
        return std::nullopt;
    Visit v;
    auto text = [&](const char* key, QString* into) {
        if (const auto t = check_.text(check_.member(*o, at, key), FieldPath(at, key)))
            *into = *t;
    };
    auto time = [&](const char* key, QDateTime* into) {
        const QJsonValue t = check_.member(*o, at, key);
        if (!t.isNull())
            *into = check_.time(t, FieldPath(at, key)).value_or(QDateTime());
    };
    text("site", &v.site);
    text("technician", &v.technician);
    time("started", &v.started);
    time("ended", &v.ended);
    text("program", &v.program);
    const QString lineAt = FieldPath(at, "line");
    if (const auto line = check_.object(check_.member(*o, at, "line"), lineAt)) {
        if (const auto t =
                check_.text(check_.member(*line, lineAt, "port"), FieldPath(lineAt, "port")))
            v.line.port = *t;
        if (const auto t = check_.text(check_.member(*line, lineAt, "line_mode"),
                                       FieldPath(lineAt, "line_mode")))
            v.line.lineMode = *t;
        v.line.echo =
            check_.boolean(check_.member(*line, lineAt, "echo"), FieldPath(lineAt, "echo"))
                .value_or(false);
        v.line.turnaroundUs = int(check_
                                      .whole(check_.member(*line, lineAt, "turnaround_us"),
                                             FieldPath(lineAt, "turnaround_us"), 0, 1'000'000)
                                      .value_or(0));
    }
    text("addresses", &v.addresses);
    v.bitAsked = check_.boolean(check_.member(*o, at, "bit"), FieldPath(at, "bit")).value_or(false);
    v.complete = check_.boolean(check_.member(*o, at, "complete"), FieldPath(at, "complete"))
                     .value_or(false);
    v.interrupted = textOrNull(*o, at, "interrupted").value_or(QString());
    if (check_.ok() && !v.complete && v.interrupted.isEmpty())
        check_.fail(FieldPath(at, "interrupted"),
                    QStringLiteral("must say why a record that is not complete ended"));
    return check_.ok() ? std::optional(v) : std::nullopt;
}

std::optional<Identity> RecordReader::identity(const QJsonObject& o, const QString& at) {
    Identity id;
    id.modelCode = quint16(
        check_.whole(check_.member(o, at, "model_code"), FieldPath(at, "model_code"), 0, 65535)
            .value_or(0));
    id.model =
        check_.text(check_.member(o, at, "model"), FieldPath(at, "model")).value_or(QString());
    if (check_.ok() && id.model != GetModelName(id.modelCode))
        check_.fail(FieldPath(at, "model"),
                    QStringLiteral("\"%1\" is not the name of model code %2")
                        .arg(id.model)
                        .arg(id.modelCode));
    id.serial =
        quint16(check_.whole(check_.member(o, at, "serial"), FieldPath(at, "serial"), 0, 65535)
                    .value_or(0));
    const QString status =
        check_.text(check_.member(o, at, "status"), FieldPath(at, "status")).value_or(QString());
    if (check_.ok() && (status.size() != 1 || status.at(0).unicode() > 0xFF))
        check_.fail(FieldPath(at, "status"), QStringLiteral("must be one character"));
    id.statusChar = status.isEmpty() ? 0 : quint8(status.at(0).unicode());
    id.fault = quint8(
        check_.whole(check_.member(o, at, "fault"), FieldPath(at, "fault"), 0, 255).value_or(0));
    return check_.ok() ? std::optional(id) : std::nullopt;
}

std::optional<SetupEntry> RecordReader::setup(const QJsonObject& o, const QString& at,
                                              const QString& model) {
    SetupEntry e;
    const SetupRow row = SetupRowFor(model);
    const QString regAt = FieldPath(at, "registers");
    if (const auto regs = check_.array(check_.member(o, at, "registers"), regAt)) {
        if (regs->size() != SetupRegisterCount(model))
            return check_.fail(regAt, QStringLiteral("must hold the %1 register(s) the %2 reads")
                                          .arg(SetupRegisterCount(model))
                                          .arg(model)),
                   std::nullopt;
        for (qsizetype i = 0; i < regs->size() && check_.ok(); ++i)
            e.registers.push_back(
                quint16(check_.whole(regs->at(i), ItemPath(regAt, i), 0, 65535).value_or(0)));
    }
    const QString outAt = FieldPath(at, "outside_lists");
    if (const auto outside = check_.array(check_.member(o, at, "outside_lists"), outAt)) {
        for (qsizetype i = 0; i < outside->size() && check_.ok(); ++i) {
            const QString itemAt = ItemPath(outAt, i);
            const auto d = check_.object(outside->at(i), itemAt);
            if (!d)
                break;
            const QString key =
                check_.text(check_.member(*d, itemAt, "setting"), FieldPath(itemAt, "setting"))
                    .value_or(QString());
            if (check_.ok() && !QStringList{DriftKeys[0], DriftKeys[1], DriftKeys[2]}.contains(key))
                check_.fail(FieldPath(itemAt, "setting"),
                            QStringLiteral("must be sensitivity, heat_mode or heat_on"));
            const auto raw =
                check_.whole(check_.member(*d, itemAt, "raw"), FieldPath(itemAt, "raw"), 0, 255);
            e.outsideLists.push_back({key, int(raw.value_or(0))});
        }
    }
    const QString setAt = FieldPath(at, "settings");
    const auto settings = check_.object(check_.member(o, at, "settings"), setAt);
    if (!settings || !check_.ok())
        return std::nullopt;
    for (const ListSetting& s : ListSettings()) {
        const QString keyAt = FieldPath(setAt, s.key);
        const auto text = textOrNull(*settings, setAt, s.key);
        if (!check_.ok())
            return std::nullopt;
        const bool named = std::any_of(e.outsideLists.begin(), e.outsideLists.end(),
                                       [&s](const SetupDrift& d) { return d.key == s.key; });
        if (text && !Offers(row, s))
            check_.fail(keyAt,
                        QStringLiteral("must be null: the %1 has no such setting").arg(model));
        else if (text && !Items(row, s).contains(*text))
            check_.fail(keyAt, QStringLiteral("\"%1\" is not one of %2")
                                   .arg(*text, Items(row, s).join(QStringLiteral(", "))));
        else if (!text && Offers(row, s) && !named)
            check_.fail(keyAt, QStringLiteral("is null, but the %1 has this setting and "
                                              "outside_lists does not name it")
                                   .arg(model));
        e.settings.*s.member = text.value_or(QString());
    }
    const QString flagsAt = FieldPath(setAt, "flags");
    if (const auto flags = check_.object(check_.member(*settings, setAt, "flags"), flagsAt))
        for (const FlagSetting& f : FlagSettings())
            e.settings.flags.*f.member =
                check_.boolean(check_.member(*flags, flagsAt, f.key), FieldPath(flagsAt, f.key))
                    .value_or(false);
    return check_.ok() ? std::optional(e) : std::nullopt;
}

std::optional<Readings> RecordReader::readings(const QJsonObject& o, const QString& at) {
    Readings r;
    float* sums[] = {&r.sum4, &r.sum45, &r.sum5};
    std::optional<float>* bitSums[] = {&r.bitSum4, &r.bitSum45, &r.bitSum5};
    quint8* noises[] = {&r.noise4, &r.noise45, &r.noise5};
    for (int k = 0; k < 3; ++k) {
        *sums[k] =
            check_.sum(check_.member(o, at, SumKeys[k]), FieldPath(at, SumKeys[k])).value_or(0);
        const QJsonValue bit = check_.member(o, at, BitSumKeys[k]);
        if (!bit.isNull())
            *bitSums[k] = check_.sum(bit, FieldPath(at, BitSumKeys[k]));
        *noises[k] = quint8(
            check_.whole(check_.member(o, at, NoiseKeys[k]), FieldPath(at, NoiseKeys[k]), 0, 255)
                .value_or(0));
    }
    const QJsonValue gain = check_.member(o, at, "gain");
    if (gain != QJsonValue(QStringLiteral("unknown")))
        r.gain = quint8(check_.whole(gain, FieldPath(at, "gain"), 0, 3).value_or(0));
    r.temperature = qint16(
        check_.whole(check_.member(o, at, "temperature"), FieldPath(at, "temperature"), -128, 127)
            .value_or(0));
    r.voltage =
        check_.number(check_.member(o, at, "voltage"), FieldPath(at, "voltage")).value_or(0);
    if (check_.ok() && (r.voltage < -MaxVoltage - 0.1 || r.voltage > MaxVoltage))
        check_.fail(FieldPath(at, "voltage"), QStringLiteral("must be from -3276.8 to 3276.7"));
    return check_.ok() ? std::optional(r) : std::nullopt;
}

// BIT, reply faults and the parts not read.
bool RecordReader::rest(const QJsonObject& o, const QString& at, DetectorEntry& e) {
    const QString bitAt = FieldPath(at, "bit");
    if (const auto bit = check_.object(check_.member(o, at, "bit"), bitAt)) {
        const QString outcome =
            check_.text(check_.member(*bit, bitAt, "outcome"), FieldPath(bitAt, "outcome"))
                .value_or(QString());
        const auto known = BitOutcomeFromText(outcome);
        if (check_.ok() && !known)
            return check_.fail(
                FieldPath(bitAt, "outcome"),
                QStringLiteral("must be \"performed\", \"no answer\" or \"not run\""));
        e.bit.outcome = known.value_or(BitOutcome::NotRun);
        const QJsonValue time = check_.member(*bit, bitAt, "time");
        if (!time.isNull())
            e.bit.time = check_.time(time, FieldPath(bitAt, "time")).value_or(QDateTime());
    }
    const QString faultsAt = FieldPath(at, "reply_faults");
    if (const auto faults = check_.object(check_.member(o, at, "reply_faults"), faultsAt))
        for (auto it = faults->begin(); it != faults->end() && check_.ok(); ++it)
            e.replyFaults[it.key()] =
                check_.whole(it.value(), faultsAt + QLatin1Char('.') + it.key(), 0, MaxCount)
                    .value_or(0);
    const QString unreadAt = FieldPath(at, "unread");
    if (const auto unread = check_.array(check_.member(o, at, "unread"), unreadAt))
        for (qsizetype i = 0; i < unread->size() && check_.ok(); ++i) {
            const QString itemAt = ItemPath(unreadAt, i);
            const auto u = check_.object(unread->at(i), itemAt);
            if (!u)
                break;
            Unread item;
            item.part = check_.text(check_.member(*u, itemAt, "part"), FieldPath(itemAt, "part"))
                            .value_or(QString());
            if (check_.ok() &&
                !QStringList{Parts[0], Parts[1], Parts[2], Parts[3]}.contains(item.part))
                return check_.fail(FieldPath(itemAt, "part"),
                                   QStringLiteral("must be status, firmware, setup or readings"));
            item.reason =
                check_.text(check_.member(*u, itemAt, "reason"), FieldPath(itemAt, "reason"))
                    .value_or(QString());
            e.unread.push_back(item);
        }
    return check_.ok();
}

std::optional<DetectorEntry> RecordReader::detector(const QJsonValue& value, const QString& at) {
    const auto o = check_.object(value, at);
    if (!o)
        return std::nullopt;
    DetectorEntry e;
    e.address =
        quint8(check_.whole(check_.member(*o, at, "address"), FieldPath(at, "address"), 1, 247)
                   .value_or(0));
    if (!check_.ok())
        return std::nullopt;
    if (!check_.member(*o, at, "model_code").isNull()) {
        e.identity = identity(*o, at);
    } else {
        // Without the status nothing else of the identity can have been read.
        for (const char* key : {"model", "serial", "status", "fault"})
            if (!check_.member(*o, at, key).isNull())
                check_.fail(FieldPath(at, key), QStringLiteral("must be null when model_code is"));
    }
    e.firmware = textOrNull(*o, at, "firmware");
    const QJsonValue setupValue = check_.member(*o, at, "setup");
    if (check_.ok() && !setupValue.isNull()) {
        if (!e.identity)
            return check_.fail(FieldPath(at, "setup"),
                               QStringLiteral("must be null when the model is not known")),
                   std::nullopt;
        if (const auto s = check_.object(setupValue, FieldPath(at, "setup")))
            e.setup = setup(*s, FieldPath(at, "setup"), e.identity->model);
    }
    const QJsonValue readingsValue = check_.member(*o, at, "readings");
    if (check_.ok() && !readingsValue.isNull())
        if (const auto r = check_.object(readingsValue, FieldPath(at, "readings")))
            e.readings = readings(*r, FieldPath(at, "readings"));
    if (!check_.ok() || !rest(*o, at, e))
        return std::nullopt;
    return e;
}

} // namespace

QString TimeText(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QJsonObject DetectorToJson(const DetectorEntry& e) {
    QJsonObject o;
    o.insert(QStringLiteral("address"), e.address);
    const auto& id = e.identity;
    o.insert(QStringLiteral("model_code"), id ? QJsonValue(id->modelCode) : QJsonValue());
    o.insert(QStringLiteral("model"), id ? QJsonValue(id->model) : QJsonValue());
    o.insert(QStringLiteral("serial"), id ? QJsonValue(id->serial) : QJsonValue());
    o.insert(QStringLiteral("status"),
             id ? QJsonValue(StatusCharText(id->statusChar)) : QJsonValue());
    o.insert(QStringLiteral("fault"), id ? QJsonValue(id->fault) : QJsonValue());
    o.insert(QStringLiteral("firmware"), orNull(e.firmware));
    o.insert(QStringLiteral("setup"),
             e.setup && id ? QJsonValue(setupJson(id->model, *e.setup)) : QJsonValue());
    o.insert(QStringLiteral("readings"),
             e.readings ? QJsonValue(readingsJson(*e.readings)) : QJsonValue());
    o.insert(QStringLiteral("bit"), QJsonObject{{"outcome", BitOutcomeText(e.bit.outcome)},
                                                {"time", timeOrNull(e.bit.time)}});
    QJsonObject faults;
    for (const auto& [key, count] : e.replyFaults)
        faults.insert(key, count);
    o.insert(QStringLiteral("reply_faults"), faults);
    QJsonArray unread;
    for (const Unread& u : e.unread)
        unread.append(QJsonObject{{"part", u.part}, {"reason", u.reason}});
    o.insert(QStringLiteral("unread"), unread);
    return o;
}

QByteArray RecordBytes(const SiteRecord& record) {
    QJsonArray detectors;
    for (const DetectorEntry& e : record.detectors)
        detectors.append(DetectorToJson(e));
    const QJsonObject top{
        {"format", QStringLiteral("%1/%2").arg(QLatin1String(SiteFormatName)).arg(SiteFormatMajor)},
        {"visit", visitJson(record.visit)},
        {"detectors", detectors}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

bool FormatReadable(const QJsonObject& top, const char* name, int major, QString* error) {
    const QString ours = QStringLiteral("%1/%2").arg(QLatin1String(name)).arg(major);
    const QJsonValue format = top.value(QStringLiteral("format"));
    const QString text = format.toString();
    const QString prefix = QLatin1String(name) + QLatin1Char('/');
    if (!format.isString() || !text.startsWith(prefix)) {
        *error = QStringLiteral("format: not a %1 file (\"format\": \"%2\" is missing)")
                     .arg(QLatin1String(name), ours);
        return false;
    }
    const QString version = text.mid(prefix.size());
    bool ok = false;
    const int fileMajor = version.section(QLatin1Char('.'), 0, 0).toInt(&ok);
    const QString minor = version.section(QLatin1Char('.'), 1);
    bool minorOk = minor.isEmpty() && !version.contains(QLatin1Char('.'));
    if (!minorOk)
        minor.toUInt(&minorOk);
    if (ok && minorOk && fileMajor > major) {
        *error = QStringLiteral("format: %1 is newer than this program reads (%2); a newer "
                                "flamehost reads it")
                     .arg(text, ours);
        return false;
    }
    if (!ok || !minorOk || fileMajor != major) {
        *error = QStringLiteral("format: \"%1\" is not a version this program reads (%2)")
                     .arg(text, ours);
        return false;
    }
    return true;
}

std::optional<DetectorEntry> DetectorFromJson(const QJsonValue& value, const QString& where,
                                              QString* error) {
    RecordReader reader(error);
    return reader.detector(value, where);
}

namespace {

constexpr const char* NotJson = "not JSON (at character %1: %2); a file cut short?";

std::optional<QJsonObject> parseObject(const QByteArray& bytes, QString* error) {
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &pe);
    if (pe.error != QJsonParseError::NoError) {
        *error = QString::fromLatin1(NotJson).arg(pe.offset).arg(pe.errorString());
        return std::nullopt;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not one of our files (the top level is not an object)");
        return std::nullopt;
    }
    return doc.object();
}

std::optional<SiteRecord> recordFromJson(const QJsonObject& top, QString* error) {
    if (!FormatReadable(top, SiteFormatName, SiteFormatMajor, error))
        return std::nullopt;
    RecordReader reader(error);
    SiteRecord record;
    const auto visit =
        reader.visit(reader.check().member(top, {}, "visit"), QStringLiteral("visit"));
    if (!visit)
        return std::nullopt;
    record.visit = *visit;
    const auto list = reader.check().array(reader.check().member(top, {}, "detectors"),
                                           QStringLiteral("detectors"));
    if (!list)
        return std::nullopt;
    QSet<int> addresses;
    for (qsizetype i = 0; i < list->size(); ++i) {
        const QString at = ItemPath(QStringLiteral("detectors"), i);
        auto entry = reader.detector(list->at(i), at);
        if (!entry)
            return std::nullopt;
        if (addresses.contains(entry->address)) {
            reader.check().fail(FieldPath(at, "address"),
                                QStringLiteral("%1 appears twice").arg(entry->address));
            return std::nullopt;
        }
        addresses.insert(entry->address);
        record.detectors.push_back(std::move(*entry));
    }
    return record;
}

} // namespace

std::optional<SiteRecord> RecordFromBytes(const QByteArray& bytes, QString* error) {
    const auto top = parseObject(bytes, error);
    return top ? recordFromJson(*top, error) : std::nullopt;
}

std::optional<QJsonObject> ReadJsonFile(const QString& path, QString* error) {
    QFile file(path);
    std::optional<QJsonObject> top;
    if (!file.open(QIODevice::ReadOnly))
        *error = QStringLiteral("cannot read: %1").arg(file.errorString());
    else if (file.size() > MaxFileBytes)
        *error = QStringLiteral("too large to be one of our files");
    else
        top = parseObject(file.readAll(), error);
    if (!top)
        error->prepend(path + QStringLiteral(": "));
    return top;
}

std::optional<SiteRecord> ReadRecordFile(const QString& path, QString* error) {
    const auto top = ReadJsonFile(path, error);
    if (!top)
        return std::nullopt;
    auto record = recordFromJson(*top, error);
    if (!record)
        error->prepend(path + QStringLiteral(": "));
    return record;
}

bool WriteRecordFile(const QString& path, const SiteRecord& record, QString* error) {
    return WriteFileAtomically(path, RecordBytes(record), error);
}

} // namespace fh::visit
