#include "report/sheet.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace fh::report {

namespace {

constexpr double FooterMm = 10;
constexpr double CellPadMm = 1.0;

QFont footerFont() {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8);
    return f;
}

} // namespace

Sheet::Sheet(QPagedPaintDevice* device, QPainter* painter, int totalPages, Footer footer)
    : device_(device), painter_(painter), total_(totalPages), footerText_(std::move(footer)),
      dpi_(device->logicalDpiY()) {
    area_ = QRectF(0, 0, device->width(), device->height() - mm(FooterMm));
    y_ = area_.top();
}

double Sheet::lay(const QString& text, const QFont& font, double width, Qt::Alignment align,
                  const QPointF* at) const {
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(lines, font, device_);
    QTextOption option(align);
    // Words stay whole; only a word wider than its cell (a long text from the line) breaks.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double h = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, h));
        h += line.height();
    }
    layout.endLayout();
    if (at && painter_)
        layout.draw(painter_, *at);
    return h;
}

void Sheet::keep(double needMm) {
    if (y_ + mm(needMm) > area_.bottom() && y_ > area_.top())
        newPage();
}

void Sheet::text(const QString& text, const QFont& font, double spaceMm) {
    const double h = lay(text, font, area_.width(), Qt::AlignLeft, nullptr);
    keep((h + mm(spaceMm)) * 25.4 / dpi_);
    if (y_ > area_.top())
        y_ += mm(spaceMm);
    const QPointF at(area_.left(), y_);
    lay(text, font, area_.width(), Qt::AlignLeft, &at);
    y_ += h;
}

void Sheet::row(const std::vector<Cell>& cells, const QFont& font, bool shaded, bool ruled) {
    double h = 0;
    for (const Cell& c : cells)
        h = std::max(h, lay(c.text, font, mm(c.widthMm - 2 * CellPadMm), c.align, nullptr));
    h += mm(2 * CellPadMm);
    keep(h * 25.4 / dpi_);
    if (painter_) {
        double x = area_.left();
        double w = 0;
        for (const Cell& c : cells)
            w += mm(c.widthMm);
        if (shaded)
            painter_->fillRect(QRectF(x, y_, w, h), QColor(220, 220, 220));
        for (const Cell& c : cells) {
            const QPointF at(x + mm(CellPadMm), y_ + mm(CellPadMm));
            lay(c.text, font, mm(c.widthMm - 2 * CellPadMm), c.align, &at);
            x += mm(c.widthMm);
        }
        if (ruled) {
            painter_->setPen(QPen(Qt::black, mm(0.2)));
            painter_->drawLine(QPointF(area_.left(), y_ + h), QPointF(area_.left() + w, y_ + h));
        }
    }
    y_ += h;
}

void Sheet::footer() {
    if (!painter_)
        return;
    const auto [left, right] = footerText_(page_, total_);
    const QRectF box(area_.left(), area_.bottom() + mm(4), area_.width(), mm(FooterMm - 4));
    painter_->setFont(footerFont());
    painter_->setPen(QPen(Qt::black, mm(0.2)));
    painter_->drawLine(QPointF(box.left(), box.top() - mm(1)),
                       QPointF(box.right(), box.top() - mm(1)));
    painter_->drawText(box, Qt::AlignLeft | Qt::AlignTop, left);
    painter_->drawText(box, Qt::AlignRight | Qt::AlignTop, right);
}

void Sheet::newPage() {
    footer();
    if (painter_)
        device_->newPage();
    ++page_;
    y_ = area_.top();
}

int Sheet::finish() {
    footer();
    return page_;
}

} // namespace fh::report
