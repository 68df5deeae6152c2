#pragma once
// The maintenance readings over time, for the live chart: the last hour of samples, the gaps
// where a refresh got no proper answer, the window shown and whether it is paused. No
// widgets, so it is tested on any time line.
#include <array>
#include <deque>
#include <functional>
#include <QByteArray>
#include <QList>
#include <QPointF>

namespace fh {

enum class Reading { Sum4, Sum45, Sum5, Noise4, Noise45, Noise5 };
inline constexpr int ReadingCount = 6;

struct ReadingSample {
    qint64 ms = 0; // on the caller's time line
    std::array<float, ReadingCount> values{};
    bool gap = false; // no proper answer: nothing is known here
};

class ReadingsSeries {
public:
    static constexpr qint64 KeptMs = 60 * 60 * 1000;
    // An hour of refreshes at 115 ms is about 31,300; faster lines keep less than an hour.
    static constexpr qsizetype MaxSamples = 32000;
    static constexpr std::array<int, 3> WindowMinutes = {1, 5, 15};

    // A refresh that passed the reply check and carried the readings.
    void addReading(qint64 ms, const std::array<float, ReadingCount>& values);
    // A refresh that did not: the lines break here. Gaps in a row are kept as one.
    void addGap(qint64 ms);

    // While paused the window stays where it was; samples are still taken.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // 1, 5 or 15; other values are refused (false).
    bool setWindowMinutes(int minutes);
    int windowMinutes() const { return windowMinutes_; }
    // The next window length after the current one, round from 15 to 1.
    int nextWindowMinutes() const;

    // The right edge of the window: the latest sample, or where it was when paused.
    qint64 viewEndMs() const;
    // The lines of one reading inside the window, broken at gaps and at values that are no
    // number; each with at most maxPoints points (x: ms, y: value).
    QList<QList<QPointF>> lines(Reading reading, qsizetype maxPoints) const;

    const std::deque<ReadingSample>& samples() const { return samples_; }
    // Every sample kept as CSV: time (the text timeText gives for its ms), the three sums and
    // the three noises; a gap's values empty.
    QByteArray csv(const std::function<QByteArray(qint64)>& timeText) const;

private:
    void add(const ReadingSample& s);

    std::deque<ReadingSample> samples_;
    bool paused_ = false;
    qint64 pausedEndMs_ = 0;
    int windowMinutes_ = 1;
};

} // namespace fh
