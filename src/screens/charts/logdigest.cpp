#include "screens/charts/logdigest.h"

#include <cmath>
#include <QDateTime>

namespace fh {

QString DetectorTrace::label() const {
    return serial ? QStringLiteral("%1 (serial %2)").arg(address).arg(*serial)
                  : QString::number(address);
}

DetectorTrace& LogDigest::traceFor(const LogRecord& r) {
    const int serialKey = kind_ == LogKind::Sums && r.serial ? int(*r.serial) : -1;
    const auto key = std::pair(int(r.address), serialKey);
    auto it = index_.find(key);
    if (it == index_.end()) {
        it = index_.emplace(key, detectors_.size()).first;
        DetectorTrace t;
        t.address = r.address;
        if (serialKey >= 0)
            t.serial = quint16(serialKey);
        detectors_.push_back(std::move(t));
    }
    return detectors_[it->second];
}

void LogDigest::add(const LogBatch& batch, LogKind kind) {
    kind_ = kind;
    for (const UnreadableLine& u : batch.unreadable) {
        ++unreadableCount_;
        if (unreadable_.size() < KeptUnreadable)
            unreadable_.push_back(u);
    }
    for (const LogRecord& r : batch.records) {
        ++records_;
        DetectorTrace& t = traceFor(r);
        const qint64 ms = QDateTime(r.date, r.time).toMSecsSinceEpoch();
        if (t.records++ == 0)
            t.firstMs = ms;
        t.lastMs = std::max(t.lastMs, ms);
        if (kind == LogKind::Status && r.serial)
            t.serial = r.serial;
        if (kind == LogKind::Sums) {
            auto run = t.runs.find(r.run);
            if (run == t.runs.end())
                run = t.runs
                          .emplace(r.run, std::array<Envelope, 3>{Envelope(PointsPerRun),
                                                                  Envelope(PointsPerRun),
                                                                  Envelope(PointsPerRun)})
                          .first;
            const double sums[3] = {r.sum4, r.sum45, r.sum5};
            for (int i = 0; i < 3; ++i)
                if (std::isfinite(sums[i]))
                    run->second[size_t(i)].add(QPointF(double(ms), sums[i]));
        }
        if (r.status != t.lastStatus) {
            t.lastStatus = r.status;
            if (t.changes.size() < MaxChanges)
                t.changes.push_back({ms, r.status, std::isfinite(r.sum4) ? r.sum4 : 0});
            else
                ++t.changesLeftOut;
        }
    }
}

QString UnreadableText(qint64 count) {
    if (count == 0)
        return {};
    return count == 1 ? QStringLiteral("1 line could not be read")
                      : QStringLiteral("%1 lines could not be read").arg(count);
}

} // namespace fh
