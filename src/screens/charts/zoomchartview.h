#pragma once
// A chart view the operator can look into: the mouse wheel zooms around the pointer, a drag
// with the left button pans, Home shows the whole chart again.
#include <QChartView>

namespace fh {

class ZoomChartView : public QChartView {
public:
    explicit ZoomChartView(QChart* chart, QWidget* parent = nullptr);
    // Back to the axes' full ranges.
    void resetZoom();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointF dragFrom_;
    bool dragging_ = false;
};

} // namespace fh
