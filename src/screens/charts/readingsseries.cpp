#include "screens/charts/readingsseries.h"

#include "screens/charts/envelope.h"

#include <algorithm>
#include <cmath>

namespace fh {

void ReadingsSeries::addReading(qint64 ms, const std::array<float, ReadingCount>& values) {
    add(ReadingSample{ms, values, false});
}

void ReadingsSeries::addGap(qint64 ms) {
    if (!samples_.empty() && samples_.back().gap)
        return;
    add(ReadingSample{ms, {}, true});
}

void ReadingsSeries::add(const ReadingSample& s) {
    samples_.push_back(s);
    while (!samples_.empty() &&
           (qsizetype(samples_.size()) > MaxSamples || samples_.front().ms < s.ms - KeptMs))
        samples_.pop_front();
}

void ReadingsSeries::setPaused(bool paused) {
    if (paused && !paused_)
        pausedEndMs_ = samples_.empty() ? 0 : samples_.back().ms;
    paused_ = paused;
}

bool ReadingsSeries::setWindowMinutes(int minutes) {
    if (std::find(WindowMinutes.begin(), WindowMinutes.end(), minutes) == WindowMinutes.end())
        return false;
    windowMinutes_ = minutes;
    return true;
}

int ReadingsSeries::nextWindowMinutes() const {
    const auto* at = std::find(WindowMinutes.begin(), WindowMinutes.end(), windowMinutes_);
    return at + 1 == WindowMinutes.end() ? WindowMinutes.front() : *(at + 1);
}

qint64 ReadingsSeries::viewEndMs() const {
    if (paused_)
        return pausedEndMs_;
    return samples_.empty() ? 0 : samples_.back().ms;
}

QList<QList<QPointF>> ReadingsSeries::lines(Reading reading, qsizetype maxPoints) const {
    const qint64 end = viewEndMs();
    const qint64 begin = end - qint64(windowMinutes_) * 60 * 1000;
    auto it = std::lower_bound(samples_.begin(), samples_.end(), begin,
                               [](const ReadingSample& s, qint64 ms) { return s.ms < ms; });
    QList<QList<QPointF>> out;
    QList<QPointF> line;
    auto flush = [&] {
        if (!line.isEmpty())
            out.append(Thin(line, maxPoints));
        line.clear();
    };
    for (; it != samples_.end() && it->ms <= end; ++it) {
        const float v = it->values[size_t(reading)];
        if (it->gap || !std::isfinite(v)) {
            flush();
            continue;
        }
        line.append(QPointF(double(it->ms), double(v)));
    }
    flush();
    return out;
}

QByteArray ReadingsSeries::csv(const std::function<QByteArray(qint64)>& timeText) const {
    QByteArray out = "time,sum4,sum45,sum5,noise4,noise45,noise5\n";
    for (const ReadingSample& s : samples_) {
        out += timeText(s.ms);
        for (int i = 0; i < ReadingCount; ++i) {
            out += ',';
            if (!s.gap)
                out += i < 3 ? QByteArray::number(s.values[size_t(i)], 'f', 2)
                             : QByteArray::number(int(s.values[size_t(i)]));
        }
        out += '\n';
    }
    return out;
}

} // namespace fh
