#pragma once
// The splash picture: a flame watched by a detector, painted on the splash's light yellow.
#include <QColor>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QRgb>
#include <vector>

namespace fh {

inline constexpr int SplashPictureWidth = 220;
inline constexpr int SplashPictureHeight = 150;

QImage PaintSplashPicture();

// One tongue of flame standing on (cx, base), `h` high and `w` wide, leaning by `lean`; the
// icon is drawn from the same tongues.
QPainterPath FlameTongue(double cx, double base, double w, double h, double lean);

// The flame's layers from its red outside to its white heart, each a tongue filled from `low`
// at the base to `high` at the tip; `scale` 1 is the splash's size.
struct FlameLayer {
    double w, h, lean;
    QColor low, high;
};
std::vector<FlameLayer> FlameLayers(double scale = 1);

// The colours the picture is drawn with: the background, a flame ramp from deep red to
// white, greys for the housing and blues for its lens. 256 entries.
QList<QRgb> SplashPalette();

} // namespace fh
