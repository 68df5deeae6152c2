#include "flameicon.h"

#include "flamepainter.h"

#include <QLinearGradient>
#include <QPainter>

namespace fh {

namespace {

IconShape filled(QPainterPath path, QColor low, QColor high, QPointF from, QPointF to) {
    IconShape s;
    s.path = std::move(path);
    s.low = low;
    s.high = high;
    s.from = from;
    s.to = to;
    return s;
}

QString number(double v) {
    return QString::number(v, 'f', 2);
}

QString svgPath(const QPainterPath& path) {
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += QStringLiteral("M%1 %2 ").arg(number(e.x), number(e.y));
        } else if (e.isLineTo()) {
            d += QStringLiteral("L%1 %2 ").arg(number(e.x), number(e.y));
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            d += QStringLiteral("C%1 %2 %3 %4 %5 %6 ")
                     .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(end.x),
                          number(end.y));
            i += 2;
        }
    }
    return d + QStringLiteral("Z");
}

} // namespace

std::vector<IconShape> FlameIconShapes() {
    std::vector<IconShape> shapes;
    const double cx = 128, base = 200;

    QPainterPath disc;
    disc.addEllipse(QPointF(128, 128), 120, 120);
    IconShape ground =
        filled(disc, QColor(255, 236, 150), QColor(255, 255, 214), {128, 248}, {128, 8});
    ground.stroke = QColor(150, 110, 40);
    ground.strokeWidth = 6;
    shapes.push_back(ground);

    // Side tongues behind, then the flame from its red outside to its white heart.
    shapes.push_back(filled(FlameTongue(cx - 46, base, 50, 96, -14), QColor(200, 30, 0),
                            QColor(255, 150, 0), {0, base}, {0, base - 96}));
    shapes.push_back(filled(FlameTongue(cx + 48, base, 46, 86, 12), QColor(200, 30, 0),
                            QColor(255, 150, 0), {0, base}, {0, base - 86}));
    for (const FlameLayer& l : FlameLayers(1.35))
        shapes.push_back(filled(FlameTongue(cx, base, l.w, l.h, l.lean), l.low, l.high, {cx, base},
                                {cx, base - l.h}));

    // The burner bar the flame stands on.
    QPainterPath bar;
    bar.addRoundedRect(QRectF(cx - 80, base - 2, 160, 16), 5, 5);
    shapes.push_back(
        filled(bar, QColor(60, 60, 66), QColor(110, 110, 118), {0, base + 14}, {0, base - 2}));
    return shapes;
}

QImage PaintFlameIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(size) / IconUnits, double(size) / IconUnits);
    for (const IconShape& s : FlameIconShapes()) {
        QLinearGradient g(s.from, s.to);
        g.setColorAt(0, s.low);
        g.setColorAt(1, s.high);
        p.setBrush(g);
        p.setPen(s.stroke.isValid() ? QPen(s.stroke, s.strokeWidth) : QPen(Qt::NoPen));
        p.drawPath(s.path);
    }
    p.end();
    return image;
}

QByteArray FlameIconSvg() {
    QString defs, body;
    int n = 0;
    for (const IconShape& s : FlameIconShapes()) {
        const QString id = QStringLiteral("g%1").arg(n++);
        defs += QStringLiteral("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" "
                               "x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">\n"
                               "      <stop offset=\"0\" stop-color=\"%6\"/>\n"
                               "      <stop offset=\"1\" stop-color=\"%7\"/>\n"
                               "    </linearGradient>\n")
                    .arg(id, number(s.from.x()), number(s.from.y()), number(s.to.x()),
                         number(s.to.y()), s.low.name(), s.high.name());
        const QString stroke = s.stroke.isValid()
                                   ? QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                                         .arg(s.stroke.name(), number(s.strokeWidth))
                                   : QString();
        body += QStringLiteral("  <path d=\"%1\" fill=\"url(#%2)\"%3/>\n")
                    .arg(svgPath(s.path), id, stroke);
    }
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                          "viewBox=\"0 0 %1 %1\">\n"
                          "  <defs>\n%2  </defs>\n%3</svg>\n")
        .arg(QString::number(IconUnits), defs, body)
        .toUtf8();
}

} // namespace fh
