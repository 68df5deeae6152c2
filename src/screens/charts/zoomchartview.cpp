#include "screens/charts/zoomchartview.h"

#include <cmath>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace fh {

ZoomChartView::ZoomChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
}

void ZoomChartView::resetZoom() {
    chart()->zoomReset();
}

void ZoomChartView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) {
        event->ignore();
        return;
    }
    // Zoom around the pointer: the plot area shrinks (or grows) about that point.
    const double factor = std::pow(1.25, steps);
    const QRectF area = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    QRectF r(0, 0, area.width() / factor, area.height() / factor);
    r.moveCenter(area.center() + (at - area.center()) * (1 - 1 / factor));
    chart()->zoomIn(r);
    event->accept();
}

void ZoomChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void ZoomChartView::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        const QPointF d = event->position() - dragFrom_;
        dragFrom_ = event->position();
        chart()->scroll(-d.x(), d.y());
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void ZoomChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        unsetCursor();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void ZoomChartView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) {
        resetZoom();
        event->accept();
        return;
    }
    QChartView::keyPressEvent(event);
}

} // namespace fh
