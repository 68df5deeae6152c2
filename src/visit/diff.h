#pragma once
// What changed between two visits of a site. Detectors are matched by model and serial
// number, since addresses move; then each is new, missing, moved, or changed in its setup,
// firmware or sums.
#include "visit/record.h"
#include "visit/settings.h"

#include <QJsonObject>
#include <QStringList>

namespace fh::visit {

inline constexpr double DefaultSumsThreshold = 20.0; // per cent

struct DetectorRef {
    quint8 address = 0;
    QString model;
    quint16 serial = 0;
    friend bool operator==(const DetectorRef&, const DetectorRef&) = default;
};

struct SumChange {
    QString sum; // "sum4", ..., "bit_sum5"
    float before = 0, after = 0;
    std::optional<double> percent; // nothing when it cannot be told (from 0, NaN, infinite)
    friend bool operator==(const SumChange&, const SumChange&) = default;
};

struct DetectorChange {
    DetectorRef now;       // in the newer visit
    quint8 oldAddress = 0; // differs from now.address when the detector moved
    std::vector<SettingChange> setup;
    std::optional<std::pair<QString, QString>> firmware; // before, after
    std::vector<SumChange> sums;
    friend bool operator==(const DetectorChange&, const DetectorChange&) = default;
};

struct VisitDiff {
    std::vector<DetectorRef> added;   // only in the newer visit
    std::vector<DetectorRef> missing; // only in the older visit (with its old address)
    std::vector<DetectorChange> changed;
    // Newer visit: something answers there whose status was not read (and at that address
    // the older visit had not the same trouble).
    std::vector<quint8> unidentified;
    bool empty() const {
        return added.empty() && missing.empty() && changed.empty() && unidentified.empty();
    }
};

// Sums are compared when both visits read them; one counts as changed when it moved by more
// than thresholdPercent of the older value (or from or to NaN or infinity, or away from 0).
VisitDiff CompareVisits(const SiteRecord& older, const SiteRecord& newer,
                        double thresholdPercent = DefaultSumsThreshold);

QJsonObject DiffJson(const VisitDiff& diff);
// One line per difference, for a terminal and for the report.
QStringList DiffLines(const VisitDiff& diff);

} // namespace fh::visit
