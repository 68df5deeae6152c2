#include "screens/prompts/printimage.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace fh {

bool PrintWidgetImage(QPagedPaintDevice& device, QWidget* widget, int copies) {
    if (!widget || copies < 1)
        return copies == 0;
    const QPixmap image = widget->grab();
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const QRect page = painter.viewport();
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    const QRect target(page.topLeft(), size);
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !device.newPage())
            return false;
        painter.drawPixmap(target, image);
    }
    return painter.end();
}

} // namespace fh
