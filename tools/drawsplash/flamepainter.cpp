#include "flamepainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace fh {

namespace {

const QColor Background(255, 255, 192);

QRgb mix(QRgb a, QRgb b, double t) {
    auto m = [t](int x, int y) { return int(x + (y - x) * t + 0.5); };
    return qRgb(m(qRed(a), qRed(b)), m(qGreen(a), qGreen(b)), m(qBlue(a), qBlue(b)));
}

} // namespace

QPainterPath FlameTongue(double cx, double base, double w, double h, double lean) {
    QPainterPath p;
    p.moveTo(cx - w / 2, base);
    p.cubicTo(cx - w * 0.75, base - h * 0.35, cx - w * 0.05 + lean * 0.3, base - h * 0.55,
              cx + lean, base - h);
    p.cubicTo(cx + w * 0.15 + lean * 0.5, base - h * 0.6, cx + w * 0.85, base - h * 0.4, cx + w / 2,
              base);
    p.quadTo(cx, base + w * 0.18, cx - w / 2, base);
    return p;
}

std::vector<FlameLayer> FlameLayers(double scale) {
    std::vector<FlameLayer> layers = {
        {92, 132, -6, QColor(170, 10, 0), QColor(255, 110, 0)},
        {70, 104, 5, QColor(235, 60, 0), QColor(255, 190, 0)},
        {46, 74, -3, QColor(255, 170, 0), QColor(255, 240, 90)},
        {24, 42, 2, QColor(255, 240, 120), QColor(255, 255, 245)},
    };
    for (FlameLayer& l : layers) {
        l.w *= scale;
        l.h *= scale;
        l.lean *= scale;
    }
    return layers;
}

QList<QRgb> SplashPalette() {
    QList<QRgb> palette;
    palette << Background.rgb();
    // Flame: deep red, red, orange, yellow, pale yellow, white.
    const QRgb stops[] = {qRgb(110, 0, 0),    qRgb(200, 20, 0),   qRgb(255, 90, 0),
                          qRgb(255, 170, 0),  qRgb(255, 230, 40), qRgb(255, 250, 170),
                          qRgb(255, 255, 255)};
    constexpr int perStretch = 36;
    for (int s = 0; s + 1 < int(std::size(stops)); ++s)
        for (int i = 0; i < perStretch; ++i)
            palette << mix(stops[s], stops[s + 1], double(i) / perStretch);
    palette << stops[std::size(stops) - 1];
    // Housing greys and lens blues, with the background blended into the flame's edge.
    for (int i = 0; i < 16; ++i)
        palette << qRgb(40 + i * 13, 40 + i * 13, 45 + i * 13);
    for (int i = 0; i < 12; ++i)
        palette << mix(qRgb(0, 20, 90), qRgb(140, 190, 255), i / 11.0);
    for (int i = 1; palette.size() < 256; ++i)
        palette << mix(Background.rgb(), qRgb(255, 120, 0), i / 12.0);
    return palette.mid(0, 256);
}

QImage PaintSplashPicture() {
    QImage image(SplashPictureWidth, SplashPictureHeight, QImage::Format_RGB32);
    image.fill(Background);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const double cx = 148, base = 138;
    // Glow around the fire.
    QRadialGradient glow(cx, base - 45, 75);
    glow.setColorAt(0, QColor(255, 200, 80, 150));
    glow.setColorAt(1, QColor(255, 255, 192, 0));
    p.fillRect(image.rect(), glow);

    // Outer flame, then the hotter layers inside it.
    for (const FlameLayer& l : FlameLayers()) {
        QLinearGradient g(cx, base, cx, base - l.h);
        g.setColorAt(0, l.low);
        g.setColorAt(1, l.high);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawPath(FlameTongue(cx, base, l.w, l.h, l.lean));
    }
    // Two side tongues.
    QLinearGradient side(0, base, 0, base - 70);
    side.setColorAt(0, QColor(200, 30, 0));
    side.setColorAt(1, QColor(255, 150, 0));
    p.setBrush(side);
    p.drawPath(FlameTongue(cx - 34, base, 30, 62, -10));
    p.drawPath(FlameTongue(cx + 36, base, 28, 56, 9));

    // The burner bar the flame stands on.
    p.setBrush(QColor(70, 70, 75));
    p.drawRoundedRect(QRectF(cx - 62, base - 2, 124, 9), 3, 3);

    // The detector on the left, looking at the fire: housing, bezel, lens.
    p.setPen(QPen(QColor(40, 40, 45), 1.5));
    QLinearGradient body(0, 40, 0, 100);
    body.setColorAt(0, QColor(210, 210, 215));
    body.setColorAt(1, QColor(110, 110, 115));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(10, 42, 56, 56), 8, 8);
    p.setBrush(QColor(70, 70, 75));
    p.drawRect(QRectF(30, 98, 16, 30));
    p.drawRect(QRectF(16, 126, 44, 8));
    QRadialGradient lens(44, 64, 18);
    lens.setColorAt(0, QColor(140, 190, 255));
    lens.setColorAt(1, QColor(0, 20, 90));
    p.setBrush(lens);
    p.drawEllipse(QPointF(50, 70), 13, 13);
    // The detector's view of the fire.
    p.setPen(QPen(QColor(0, 20, 90, 90), 1.2, Qt::DashLine));
    p.drawLine(QPointF(64, 64), QPointF(cx - 30, 40));
    p.drawLine(QPointF(64, 76), QPointF(cx - 32, base - 10));
    p.end();
    return image;
}

} // namespace fh
