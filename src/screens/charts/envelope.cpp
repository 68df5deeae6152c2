#include "screens/charts/envelope.h"

#include <algorithm>

namespace fh {

namespace {

// The low and high of two closed buckets (four points) as one bucket, in time order.
void mergeInto(QList<QPointF>& out, const QPointF* four, int n) {
    const QPointF* lo =
        std::min_element(four, four + n, [](QPointF a, QPointF b) { return a.y() < b.y(); });
    const QPointF* hi =
        std::max_element(four, four + n, [](QPointF a, QPointF b) { return a.y() < b.y(); });
    if (lo == hi) {
        out.append(*lo);
        out.append(*lo);
        return;
    }
    out.append(lo->x() <= hi->x() ? *lo : *hi);
    out.append(lo->x() <= hi->x() ? *hi : *lo);
}

} // namespace

Envelope::Envelope(qsizetype maxPoints) : max_(std::max<qsizetype>(4, maxPoints & ~qsizetype(3))) {
    kept_.reserve(max_);
}

void Envelope::add(QPointF p) {
    ++added_;
    if (span_ == 1) {
        kept_.append(p);
        if (kept_.size() < max_)
            return;
        // Full: from here on two points stand for a bucket of four, then eight, ...
        span_ = 4;
        QList<QPointF> merged;
        merged.reserve(max_);
        for (qsizetype i = 0; i + 3 < kept_.size(); i += 4)
            mergeInto(merged, kept_.constData() + i, 4);
        kept_ = merged;
        return;
    }
    if (inBucket_ == 0) {
        low_ = high_ = p;
    } else {
        if (p.y() < low_.y())
            low_ = p;
        if (p.y() > high_.y())
            high_ = p;
    }
    if (++inBucket_ == span_)
        closeBucket();
}

void Envelope::closeBucket() {
    const bool lowFirst = low_.x() <= high_.x();
    kept_.append(lowFirst ? low_ : high_);
    kept_.append(lowFirst ? high_ : low_);
    inBucket_ = 0;
    if (kept_.size() < max_)
        return;
    QList<QPointF> merged;
    merged.reserve(max_);
    for (qsizetype i = 0; i + 3 < kept_.size(); i += 4)
        mergeInto(merged, kept_.constData() + i, 4);
    kept_ = merged;
    span_ *= 2;
}

QList<QPointF> Envelope::points() const {
    QList<QPointF> out = kept_;
    if (inBucket_ > 0) {
        const bool lowFirst = low_.x() <= high_.x();
        out.append(lowFirst ? low_ : high_);
        if (!(low_ == high_))
            out.append(lowFirst ? high_ : low_);
    }
    return out;
}

QList<QPointF> Thin(const QList<QPointF>& points, qsizetype maxPoints) {
    if (points.size() <= maxPoints)
        return points;
    Envelope e(maxPoints);
    for (QPointF p : points)
        e.add(p);
    return e.points();
}

} // namespace fh
