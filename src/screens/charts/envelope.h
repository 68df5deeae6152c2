#pragma once
// Fewer points for drawing, with the peaks kept: the points are taken in buckets of equal
// count, and each bucket gives its lowest and its highest point, in time order. Streams, so
// a log of any length is drawn from a bounded number of points.
#include <QList>
#include <QPointF>

namespace fh {

class Envelope {
public:
    // Keeps at most `maxPoints` (rounded down to a multiple of 4, at least 4) points; x must not
    // decrease from one add to the next.
    explicit Envelope(qsizetype maxPoints = 2000);

    void add(QPointF p);
    // The points to draw: every point while they fit, else two per bucket.
    QList<QPointF> points() const;
    qsizetype added() const { return added_; }

private:
    void closeBucket();

    qsizetype max_;
    qsizetype span_ = 1; // points per bucket
    qsizetype added_ = 0;
    QList<QPointF> kept_; // closed buckets: low and high (or the lone point while span_ is 1)
    QPointF low_, high_;  // the open bucket
    qsizetype inBucket_ = 0;
};

// All of `points` through an Envelope of `maxPoints`.
QList<QPointF> Thin(const QList<QPointF>& points, qsizetype maxPoints);

} // namespace fh
