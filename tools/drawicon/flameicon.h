#pragma once
// The program's icon: the splash's flame on a light yellow disc. One set of shapes gives both
// the scalable SVG and the PNG sizes, so they cannot drift apart.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <vector>

namespace fh {

inline constexpr int IconUnits = 256; // the shapes' coordinate box, units x units

struct IconShape {
    QPainterPath path;
    QColor stroke; // no stroke when invalid
    double strokeWidth = 0;
    QColor low, high; // filled with a gradient from `from` (low) to `to` (high)
    QPointF from, to;
};

std::vector<IconShape> FlameIconShapes();

// The icon painted size x size pixels, on a transparent ground.
QImage PaintFlameIcon(int size);

// The same shapes as an SVG document.
QByteArray FlameIconSvg();

} // namespace fh
