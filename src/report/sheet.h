#pragma once
// Lines and table rows laid down a paged device from top to bottom, a new page whenever the
// next one does not fit, and each page's footer. Run once without a painter to count the
// pages, then again to paint them knowing the total ("Page 2 of 9").
#include <functional>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace fh::report {

struct Cell {
    QString text;
    double widthMm = 0;
    Qt::Alignment align = Qt::AlignLeft;
};

class Sheet {
public:
    // painter null: nothing is painted, pages are only counted. footer(page, total) gives the
    // left and right texts at each page's foot.
    using Footer = std::function<std::pair<QString, QString>(int page, int total)>;
    Sheet(QPagedPaintDevice* device, QPainter* painter, int totalPages, Footer footer);

    // One paragraph across the page's width, wrapped; `space` mm above it.
    void text(const QString& text, const QFont& font, double spaceMm = 0);
    // A row of cells, each wrapped in its width; shaded rows have a light grey ground.
    void row(const std::vector<Cell>& cells, const QFont& font, bool shaded = false,
             bool ruled = true);
    // Room for this many mm, else a new page.
    void keep(double mm);
    void newPage();
    // Ends the last page (its footer); the number of pages.
    int finish();

    double mm(double v) const { return v * dpi_ / 25.4; }
    double widthMm() const { return area_.width() * 25.4 / dpi_; }

private:
    // The height of the text wrapped to width; painted with its top left at *at when given.
    double lay(const QString& text, const QFont& font, double width, Qt::Alignment align,
               const QPointF* at) const;
    void footer();

    QPagedPaintDevice* device_;
    QPainter* painter_;
    int total_;
    Footer footerText_;
    double dpi_;
    QRectF area_; // above the footer
    double y_ = 0;
    int page_ = 1;
};

} // namespace fh::report
