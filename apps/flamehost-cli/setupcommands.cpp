// setup and setup set: the setup table read, shown and changed as the setup screen does.
#include "commands.h"
#include "detector/models.h"
#include "detector/setupcodec.h"
#include "link/requests.h"
#include "operations/setupwrite.h"

#include <algorithm>

namespace fh::cli {

namespace {

struct FlagName {
    const char* key;
    bool SetupFlags::*member;
    bool alwaysShown; // the three every model shows
};

constexpr FlagName Flags[] = {
    {"alarm_latch", &SetupFlags::alarmL, true}, {"relay_on_warning", &SetupFlags::accOnWarn, false},
    {"auto_bit", &SetupFlags::autoBit, true},   {"alarm_on_bit", &SetupFlags::accBit, true},
    {"relay_on_bit", &SetupFlags::rBit, false}, {"relay_as_eol", &SetupFlags::eol, false},
};

bool shown(const FlagName& flag, const SetupRow& row) {
    return flag.alwaysShown || row.allFlagsShown;
}

QJsonValue textOrNull(bool shownSetting, const QString& text) {
    return shownSetting && !text.isEmpty() ? QJsonValue(text) : QJsonValue(QJsonValue::Null);
}

struct ReadSetupResult {
    DetectorRecord record;
    SetupValue value;
    QByteArray reply; // the proper answer the value was decoded from
    std::optional<Outcome> failed;
};

ReadSetupResult readSetup(const Session& s) {
    ReadSetupResult r;
    if ((r.failed = PollStatus(s, &r.record)))
        return r;
    // In master mode the detector that answered alone is the one read and written.
    const quint8 a = r.record.Address;
    const QString& model = r.record.ModelName;
    const Exchange x = s.run(s.transaction(Pattern::ButtonRead, ReadSetup(a, model)));
    if ((r.failed = Unanswered(x, a, QStringLiteral("the setup read"))))
        return r;
    // Only a proper answer is decoded: stale bytes must never be shown or written back.
    const auto value = DecodeSetupReply(x.reply, model);
    if (!value) {
        r.failed = Outcome::failure(
            exitcode::NoAnswer,
            QStringLiteral("the detector at %1 did not answer the setup read properly (%2 "
                           "bytes: %3)")
                .arg(AddressText(a))
                .arg(x.reply.size())
                .arg(QString::fromLatin1(x.reply.toHex(' '))));
        return r;
    }
    r.value = *value;
    r.reply = x.reply;
    return r;
}

Outcome usage(const QString& message) {
    return Outcome::failure(exitcode::Usage, message + QStringLiteral("; nothing was written"));
}

// Checks value against a list the model shows and sets *field; an outcome on refusal.
std::optional<Outcome> pick(const QString& model, const QString& key, bool isShown,
                            const QStringList& items, const QString& value, QString* field) {
    if (!isShown)
        return usage(QStringLiteral("the %1 has no %2 setting").arg(model, key));
    if (!items.contains(value))
        return usage(QStringLiteral("%1 of the %2 is one of %3, not \"%4\"")
                         .arg(key, model, items.join(QStringLiteral(", ")), value));
    *field = value;
    return std::nullopt;
}

} // namespace

Outcome Setup(const Session& s) {
    const ReadSetupResult r = readSetup(s);
    if (r.failed)
        return *r.failed;
    const QString& model = r.record.ModelName;
    const SetupRow row = SetupRowFor(model);
    const SetupValue& v = r.value;

    Fields f;
    f.add("model", model);
    f.add("sensitivity", textOrNull(true, v.sensitivity));
    f.add("delay", textOrNull(row.delayShown, v.delay));
    f.add("heat_mode", textOrNull(row.heatShown, v.heatMode));
    f.add("heat_on", textOrNull(row.heatShown, v.heatOn));
    QJsonObject flags;
    QStringList flagTexts;
    for (const FlagName& flag : Flags) {
        if (!shown(flag, row))
            continue;
        const bool on = v.flags.*flag.member;
        flags.insert(flag.key, on);
        flagTexts << QStringLiteral("%1 %2").arg(flag.key, on ? "on" : "off");
    }
    f.add("flags", flags, flagTexts.join(QStringLiteral(", ")));
    Outcome o;
    o.show(f);
    return o;
}

Outcome SetupSet(const Session& s) {
    const ReadSetupResult r = readSetup(s);
    if (r.failed)
        return *r.failed;
    const QString& model = r.record.ModelName;
    const SetupRow row = SetupRowFor(model);
    // Everything not named stays as read, hidden flags included.
    SetupValue v = r.value;
    for (const Assignment& change : s.options.assignments) {
        std::optional<Outcome> refused;
        const QString& key = change.key;
        if (key == QLatin1String("sensitivity"))
            // A number equal to a list value is that value (10.0 is 10).
            refused = pick(model, key, true, SensitivityItems(row.sensitivity),
                           SensitivityItemFor(row.sensitivity, change.value).value_or(change.value),
                           &v.sensitivity);
        else if (key == QLatin1String("delay"))
            refused = pick(model, key, row.delayShown, DelayItems(), change.value, &v.delay);
        else if (key == QLatin1String("heat_mode"))
            refused = pick(model, key, row.heatShown, HeatModeItems(), change.value, &v.heatMode);
        else if (key == QLatin1String("heat_on"))
            refused = pick(model, key, row.heatShown, HeatOnItems(), change.value, &v.heatOn);
        else
            for (const FlagName& flag : Flags) {
                if (key != QLatin1String(flag.key))
                    continue;
                if (!shown(flag, row))
                    refused =
                        usage(QStringLiteral("the %1 does not offer %2 (it keeps the value it has)")
                                  .arg(model, key));
                else
                    v.flags.*flag.member = OnOff(change.value).value_or(false);
            }
        if (refused)
            return *refused;
    }

    // Never change a setting behind the user's back: one read outside its list must be named.
    for (const SetupDrift& d : SetupDrifts(r.reply, model, v)) {
        const bool named = std::any_of(s.options.assignments.begin(), s.options.assignments.end(),
                                       [&d](const Assignment& c) { return c.key == d.key; });
        if (!named)
            return usage(QStringLiteral("%1 reads %2, which is not in the list of the %3, and "
                                        "would be written differently; name it (%1=...) to "
                                        "overwrite it")
                             .arg(d.key)
                             .arg(d.rawValue)
                             .arg(model));
    }

    // The write to the detector the status poll confirmed, then its read back.
    const quint8 a = r.record.Address;
    SetupWrite op({a, r.record.ModelCode, model, r.record.SerialNumber}, v, s.options.address == 0);
    if (const std::optional<Outcome> lineFailed = RunOperation(s, op))
        return *lineFailed;
    if (op.refused())
        return Outcome::failure(exitcode::NoAnswer, op.refusal());
    Fields f;
    Outcome o = ReportWrite(f, op.write(), a, QStringLiteral("the setup"));
    if (!op.write().acknowledged)
        return o;
    const bool verified = op.result() == SetupWrite::Result::Verified;
    f.add("verified", verified, verified ? "yes" : "no");
    o.show(f);
    o.message = op.text([](const QString& key) { return key; });
    if (!verified)
        o.exitCode = exitcode::NoAnswer;
    return o;
}

} // namespace fh::cli
