#include "screens/charts/logcharts.h"

#include "detector/detectorrecord.h"

#include <algorithm>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>

namespace fh {

namespace {

const QColor SumColours[3] = {QColor(200, 40, 40), QColor(30, 140, 60), QColor(40, 70, 200)};
const char* const SumNames[3] = {"SUM4", "SUM45", "SUM5"};
const QColor LinkLostColour(90, 90, 90);

QColor statusColour(char status) {
    if (status == 'D')
        return LinkLostColour;
    const Rgb c = StatusBackground(quint8(status));
    return QColor(c.r, c.g, c.b);
}

QString statusName(char status) {
    return status == 'D' ? QStringLiteral("link lost") : QString(QChar::fromLatin1(status));
}

QDateTimeAxis* timeAxis(qint64 firstMs, qint64 lastMs) {
    auto* axis = new QDateTimeAxis;
    // A log of one day reads best as times, a longer one needs the dates too.
    axis->setFormat(lastMs - firstMs < 24 * 3600 * 1000 ? QStringLiteral("HH:mm:ss")
                                                        : QStringLiteral("dd.MM. HH:mm"));
    axis->setTickCount(6);
    const qint64 pad = std::max<qint64>(1000, (lastMs - firstMs) / 50);
    axis->setRange(QDateTime::fromMSecsSinceEpoch(firstMs - pad),
                   QDateTime::fromMSecsSinceEpoch(lastMs + pad));
    return axis;
}

QChart* newChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

// The timeline's bands, painted over the plot area from the axes' current ranges, so they
// follow zoom and pan.
class StatusBands : public QGraphicsItem {
public:
    struct Band {
        qint64 fromMs, toMs;
        int row;
        QColor colour;
    };
    StatusBands(QChart* chart, QAbstractSeries* anchor, std::vector<Band> bands)
        : QGraphicsItem(chart), chart_(chart), anchor_(anchor), bands_(std::move(bands)) {
        setZValue(10);
    }
    QRectF boundingRect() const override { return chart_->plotArea(); }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QRectF area = chart_->plotArea();
        p->setClipRect(area);
        for (const Band& b : bands_) {
            const QPointF from =
                chart_->mapToPosition(QPointF(double(b.fromMs), b.row - 0.3), anchor_);
            const QPointF to = chart_->mapToPosition(QPointF(double(b.toMs), b.row + 0.3), anchor_);
            if (to.x() < area.left() || from.x() > area.right())
                continue;
            // At least a pixel wide, so a status that lasted one record still shows.
            QRectF r(QPointF(from.x(), to.y()), QPointF(std::max(to.x(), from.x() + 1), from.y()));
            p->fillRect(r, b.colour);
            p->setPen(QPen(QColor(0, 0, 255), 0));
            p->drawRect(r);
        }
    }
    void refresh() {
        prepareGeometryChange();
        update();
    }

private:
    QChart* chart_;
    QAbstractSeries* anchor_;
    std::vector<Band> bands_;
};

} // namespace

QChart* MakeSumsChart(const DetectorTrace& trace, const QString& title) {
    QChart* chart = newChart(title);
    QDateTimeAxis* time = timeAxis(trace.firstMs, trace.lastMs);
    auto* value = new QValueAxis;
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    double low = 0, high = 1;
    bool seen = false;
    auto attach = [&](QXYSeries* s, bool inLegend) {
        chart->addSeries(s);
        s->attachAxis(time);
        s->attachAxis(value);
        if (!inLegend)
            chart->legend()->markers(s).value(0)->setVisible(false);
        for (const QPointF& p : s->points()) {
            low = seen ? std::min(low, p.y()) : p.y();
            high = seen ? std::max(high, p.y()) : p.y();
            seen = true;
        }
    };
    bool first = true;
    for (const auto& [run, sums] : trace.runs) {
        for (int i = 0; i < 3; ++i) {
            auto* s = new QLineSeries;
            s->setName(QLatin1String(SumNames[i]));
            s->setPen(QPen(SumColours[i], 1.5));
            s->replace(sums[size_t(i)].points());
            attach(s, first);
        }
        first = false;
    }
    // The marks: one series per new status, in its colour.
    std::map<char, QScatterSeries*> marks;
    for (const StatusChange& c : trace.changes) {
        QScatterSeries*& s = marks[c.status];
        if (!s) {
            s = new QScatterSeries;
            s->setName(QStringLiteral("to %1").arg(statusName(c.status)));
            s->setMarkerSize(9);
            s->setColor(statusColour(c.status));
            s->setBorderColor(QColor(0, 0, 255));
        }
        s->append(double(c.ms), c.sum4);
    }
    for (auto& [status, s] : marks)
        attach(s, true);
    const double pad = std::max(1.0, (high - low) * 0.05);
    value->setRange(low - pad, high + pad);
    return chart;
}

QChart* MakeStatusTimeline(const DetectorTrace& trace, const QString& title) {
    QChart* chart = newChart(title);
    chart->legend()->hide();
    std::vector<char> letters;
    for (const StatusChange& c : trace.changes)
        if (std::find(letters.begin(), letters.end(), c.status) == letters.end())
            letters.push_back(c.status);
    // The lost link at the bottom, the letters above it in their order.
    std::sort(letters.begin(), letters.end(),
              [](char a, char b) { return (a == 'D') != (b == 'D') ? a == 'D' : a < b; });
    auto row = [&](char status) {
        return int(std::find(letters.begin(), letters.end(), status) - letters.begin());
    };
    QDateTimeAxis* time = timeAxis(trace.firstMs, trace.lastMs);
    auto* rows = new QCategoryAxis;
    rows->setStartValue(-0.5);
    for (char c : letters)
        rows->append(statusName(c), row(c) + 0.5);
    rows->setRange(-0.5, std::max<double>(0.5, double(letters.size()) - 0.5));
    rows->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(rows, Qt::AlignLeft);
    // An invisible line over the whole span carries the axes for zoom and pan.
    auto* anchor = new QLineSeries;
    anchor->setPen(Qt::NoPen);
    anchor->append(double(trace.firstMs), -0.5);
    anchor->append(double(trace.lastMs), double(letters.size()) - 0.5);
    chart->addSeries(anchor);
    anchor->attachAxis(time);
    anchor->attachAxis(rows);

    std::vector<StatusBands::Band> bands;
    for (size_t i = 0; i < trace.changes.size(); ++i) {
        const StatusChange& c = trace.changes[i];
        const qint64 until = i + 1 < trace.changes.size() ? trace.changes[i + 1].ms : trace.lastMs;
        bands.push_back({c.ms, until, row(c.status), statusColour(c.status)});
    }
    auto* item = new StatusBands(chart, anchor, std::move(bands));
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [item] { item->refresh(); });
    QObject::connect(time, &QDateTimeAxis::rangeChanged, chart, [item] { item->refresh(); });
    QObject::connect(rows, &QValueAxis::rangeChanged, chart, [item] { item->refresh(); });
    return chart;
}

} // namespace fh
