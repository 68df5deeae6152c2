#include "screens/common/lampshape.h"

#include <algorithm>
#include <QPainter>

namespace fh {

LampShape::LampShape(QWidget* parent) : QWidget(parent) {}

void LampShape::setFillColor(Rgb colour) {
    if (colour == fill_)
        return;
    fill_ = colour;
    update();
}

void LampShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(fill_.r, fill_.g, fill_.b));
    // The circle sits in the middle of the widget, as large as its shorter side allows.
    const int side = std::min(width(), height()) - 2;
    p.drawEllipse(QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side));
}

} // namespace fh
