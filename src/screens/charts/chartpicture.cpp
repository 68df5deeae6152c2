#include "screens/charts/chartpicture.h"

#include "logging/wholefile.h"

#include <QBuffer>
#include <QPixmap>
#include <QWidget>

namespace fh {

QString SaveChartPng(QWidget* chart, const QString& path) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        chart->grab().save(&buffer, "PNG");
    }
    QString why;
    return SaveWholeFile(path, bytes, &why)
               ? QStringLiteral("Chart saved: %1").arg(path)
               : QStringLiteral("%1 could not be written: %2").arg(path, why);
}

} // namespace fh
