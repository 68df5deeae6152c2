#include "visit/diff.h"

#include "detector/maintenance.h"
#include "visit/jsoncheck.h"

#include <algorithm>
#include <cmath>
#include <QJsonArray>

namespace fh::visit {

namespace {

struct SumField {
    const char* key;
    float Readings::*plain;
    std::optional<float> Readings::*optional;
};

constexpr SumField Sums[] = {
    {"sum4", &Readings::sum4, nullptr},          {"sum45", &Readings::sum45, nullptr},
    {"sum5", &Readings::sum5, nullptr},          {"bit_sum4", nullptr, &Readings::bitSum4},
    {"bit_sum45", nullptr, &Readings::bitSum45}, {"bit_sum5", nullptr, &Readings::bitSum5},
};

std::optional<float> sumOf(const Readings& r, const SumField& f) {
    return f.plain ? std::optional<float>(r.*f.plain) : r.*f.optional;
}

std::optional<SumChange> compareSum(const char* key, float before, float after, double threshold) {
    if ((std::isnan(before) && std::isnan(after)) || before == after)
        return std::nullopt;
    SumChange c{QString::fromLatin1(key), before, after, std::nullopt};
    if (!std::isfinite(before) || !std::isfinite(after) || before == 0)
        return c;
    const double percent = (double(after) - double(before)) / std::fabs(double(before)) * 100.0;
    if (std::fabs(percent) <= threshold)
        return std::nullopt;
    c.percent = percent;
    return c;
}

DetectorRef refOf(const DetectorEntry& e) {
    return {e.address, e.identity->model, e.identity->serial};
}

bool sameUnit(const DetectorEntry& a, const DetectorEntry& b) {
    return a.identity->modelCode == b.identity->modelCode &&
           a.identity->serial == b.identity->serial;
}

DetectorChange compare(const DetectorEntry& before, const DetectorEntry& after, double threshold) {
    DetectorChange c;
    c.now = refOf(after);
    c.oldAddress = before.address;
    if (before.setup && after.setup)
        c.setup = SetupChanges(after.identity->model, *before.setup, *after.setup);
    if (before.firmware && after.firmware && *before.firmware != *after.firmware)
        c.firmware = std::pair(*before.firmware, *after.firmware);
    if (before.readings && after.readings)
        for (const SumField& f : Sums) {
            const auto a = sumOf(*before.readings, f), b = sumOf(*after.readings, f);
            if (a && b)
                if (const auto s = compareSum(f.key, *a, *b, threshold))
                    c.sums.push_back(*s);
        }
    return c;
}

QString named(const DetectorRef& d) {
    return QStringLiteral("%1 serial %2").arg(d.model).arg(d.serial);
}

QJsonObject refJson(const DetectorRef& d) {
    return {{"address", d.address}, {"model", d.model}, {"serial", d.serial}};
}

QString percentText(const SumChange& s) {
    return s.percent ? QStringLiteral(" (%1%2 %)")
                           .arg(*s.percent >= 0 ? QStringLiteral("+") : QString())
                           .arg(*s.percent, 0, 'f', 1)
                     : QString();
}

} // namespace

VisitDiff CompareVisits(const SiteRecord& older, const SiteRecord& newer, double threshold) {
    VisitDiff diff;
    std::vector<const DetectorEntry*> olds;
    for (const DetectorEntry& e : older.detectors)
        if (e.identity)
            olds.push_back(&e);
    std::vector<bool> used(olds.size(), false);
    for (const DetectorEntry& e : newer.detectors) {
        if (!e.identity) {
            // Not identified at an address where nothing was identified before either: no news.
            const bool before = std::any_of(
                older.detectors.begin(), older.detectors.end(),
                [&e](const DetectorEntry& o) { return o.address == e.address && !o.identity; });
            if (!before)
                diff.unidentified.push_back(e.address);
            continue;
        }
        // The same unit twice in one visit is paired address for address first.
        std::optional<size_t> match;
        for (size_t i = 0; i < olds.size(); ++i)
            if (!used[i] && sameUnit(*olds[i], e) && (!match || olds[i]->address == e.address))
                match = i;
        if (!match) {
            diff.added.push_back(refOf(e));
            continue;
        }
        used[*match] = true;
        DetectorChange c = compare(*olds[*match], e, threshold);
        if (c.oldAddress != c.now.address || !c.setup.empty() || c.firmware || !c.sums.empty())
            diff.changed.push_back(c);
    }
    for (size_t i = 0; i < olds.size(); ++i)
        if (!used[i])
            diff.missing.push_back(refOf(*olds[i]));
    return diff;
}

QJsonObject DiffJson(const VisitDiff& diff) {
    QJsonArray added, missing, changed, unidentified;
    for (const DetectorRef& d : diff.added)
        added.append(refJson(d));
    for (const DetectorRef& d : diff.missing)
        missing.append(refJson(d));
    for (const DetectorChange& c : diff.changed) {
        QJsonObject o = refJson(c.now);
        o.insert(QStringLiteral("old_address"), c.oldAddress);
        QJsonArray setup, sums;
        for (const SettingChange& s : c.setup)
            setup.append(QJsonObject{{"setting", s.setting}, {"old", s.before}, {"new", s.after}});
        for (const SumChange& s : c.sums)
            sums.append(
                QJsonObject{{"sum", s.sum},
                            {"old", SumJson(s.before)},
                            {"new", SumJson(s.after)},
                            {"percent", s.percent ? QJsonValue(*s.percent) : QJsonValue()}});
        o.insert(QStringLiteral("setup"), setup);
        o.insert(QStringLiteral("firmware"),
                 c.firmware ? QJsonValue(QJsonObject{{"old", c.firmware->first},
                                                     {"new", c.firmware->second}})
                            : QJsonValue());
        o.insert(QStringLiteral("sums"), sums);
        changed.append(o);
    }
    for (quint8 a : diff.unidentified)
        unidentified.append(a);
    return {{"new", added},
            {"missing", missing},
            {"changed", changed},
            {"not_identified", unidentified},
            {"differs", !diff.empty()}};
}

QStringList DiffLines(const VisitDiff& diff) {
    QStringList lines;
    for (const DetectorRef& d : diff.added)
        lines << QStringLiteral("new: %1 at address %2").arg(named(d)).arg(d.address);
    for (const DetectorRef& d : diff.missing)
        lines << QStringLiteral("missing: %1 (was at address %2)").arg(named(d)).arg(d.address);
    for (const DetectorChange& c : diff.changed) {
        const QString who = QStringLiteral("%1 at address %2").arg(named(c.now)).arg(c.now.address);
        if (c.oldAddress != c.now.address)
            lines << QStringLiteral("moved: %1 from address %2 to %3")
                         .arg(named(c.now))
                         .arg(c.oldAddress)
                         .arg(c.now.address);
        for (const SettingChange& s : c.setup)
            lines << QStringLiteral("setup changed: %1: %2 %3 -> %4")
                         .arg(who, s.setting, s.before, s.after);
        if (c.firmware)
            lines << QStringLiteral("firmware changed: %1: %2 -> %3")
                         .arg(who, c.firmware->first, c.firmware->second);
        for (const SumChange& s : c.sums)
            lines << QStringLiteral("sum changed: %1: %2 %3 -> %4%5")
                         .arg(who, s.sum, FormatSum(s.before), FormatSum(s.after), percentText(s));
    }
    for (quint8 a : diff.unidentified)
        lines << QStringLiteral("not identified: address %1 (its status was not read)").arg(a);
    return lines;
}

} // namespace fh::visit
