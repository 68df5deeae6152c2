#include "screens/charts/readingschart.h"

#include "link/clock.h"
#include "logging/wholefile.h"
#include "screens/charts/chartpicture.h"
#include "screens/charts/zoomchartview.h"
#include "screens/prompts/prompts.h"

#include <algorithm>
#include <QBoxLayout>
#include <QChart>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QValueAxis>

namespace fh {

namespace {

struct ReadingStyle {
    const char* name;
    QColor colour;
};
// The sums in the colours the three channels keep in every chart; the noises a shade lighter.
const ReadingStyle Styles[ReadingCount] = {
    {"SUM4", QColor(200, 40, 40)},      {"SUM45", QColor(30, 140, 60)},
    {"SUM5", QColor(40, 70, 200)},      {"NOISE4", QColor(230, 120, 120)},
    {"NOISE45", QColor(100, 190, 120)}, {"NOISE5", QColor(120, 140, 230)},
};

QChart* makeChart(QDateTimeAxis** time, QValueAxis** value) {
    auto* chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignRight);
    *time = new QDateTimeAxis;
    (*time)->setFormat(QStringLiteral("HH:mm:ss"));
    (*time)->setTickCount(6);
    *value = new QValueAxis;
    (*value)->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(*time, Qt::AlignBottom);
    chart->addAxis(*value, Qt::AlignLeft);
    // An axis with no series is not drawn: an empty line holds both from the start.
    auto* anchor = new QLineSeries;
    chart->addSeries(anchor);
    anchor->attachAxis(*time);
    anchor->attachAxis(*value);
    chart->legend()->markers(anchor).value(0)->setVisible(false);
    return chart;
}

} // namespace

ReadingsChart::ReadingsChart(Clock& clock, Prompts& prompts, const QString& saveDir,
                             QWidget* parent)
    : QWidget(parent), clock_(clock), prompts_(prompts), saveDir_(saveDir), startUs_(clock.nowUs()),
      startWall_(QDateTime::currentDateTime()) {
    setObjectName(QStringLiteral("ReadingsChart"));
    sumsChart_ = makeChart(&sumsTime_, &sumsValue_);
    noiseChart_ = makeChart(&noiseTime_, &noiseValue_);
    sumsView_ = new ZoomChartView(sumsChart_, this);
    sumsView_->setObjectName(QStringLiteral("chtSums"));
    noiseView_ = new ZoomChartView(noiseChart_, this);
    noiseView_->setObjectName(QStringLiteral("chtNoise"));
    for (ZoomChartView* v : {sumsView_, noiseView_})
        v->setFocusPolicy(Qt::NoFocus); // the screen's keys stay with the screen

    windowList_ = new QComboBox(this);
    windowList_->setObjectName(QStringLiteral("cmbWindow"));
    for (int minutes : ReadingsSeries::WindowMinutes)
        windowList_->addItem(minutes == 1 ? QStringLiteral("last 1 minute")
                                          : QStringLiteral("last %1 minutes").arg(minutes),
                             minutes);
    windowList_->setFocusPolicy(Qt::NoFocus);
    connect(windowList_, &QComboBox::activated, this,
            [this](int index) { setWindowMinutes(windowList_->itemData(index).toInt()); });
    pauseButton_ = new QPushButton(this);
    pauseButton_->setObjectName(QStringLiteral("cmdPause"));
    auto* png = new QPushButton(QStringLiteral("PNG..."), this);
    png->setObjectName(QStringLiteral("cmdPng"));
    auto* csv = new QPushButton(QStringLiteral("CSV..."), this);
    csv->setObjectName(QStringLiteral("cmdCsv"));
    for (QPushButton* b : {pauseButton_, png, csv}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(pauseButton_, &QPushButton::clicked, this, &ReadingsChart::togglePause);
    connect(png, &QPushButton::clicked, this, &ReadingsChart::exportPng);
    connect(csv, &QPushButton::clicked, this, &ReadingsChart::exportCsv);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("lblChartNotice"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(windowList_);
    bar->addWidget(pauseButton_);
    bar->addWidget(png);
    bar->addWidget(csv);
    bar->addWidget(notice_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(sumsView_, 3);
    layout->addWidget(noiseView_, 2);
    showPaused();

    // Drawing is paced by the screen, not by the line: a wall-time timer, also when the readings
    // come on virtual time (tests), where a clock timer would draw every few refreshes.
    redrawTimer_ = new QTimer(this);
    redrawTimer_->setInterval(RedrawMs);
    connect(redrawTimer_, &QTimer::timeout, this, [this] {
        if (dirty_)
            redraw();
    });
    redrawTimer_->start();
}

qint64 ReadingsChart::nowMs() const {
    return startWall_.toMSecsSinceEpoch() + (clock_.nowUs() - startUs_) / 1000;
}

void ReadingsChart::addReading(const std::array<float, ReadingCount>& values) {
    series_.addReading(nowMs(), values);
    dirty_ = !series_.paused();
}

void ReadingsChart::addGap() {
    series_.addGap(nowMs());
    dirty_ = !series_.paused();
}

void ReadingsChart::setWindowMinutes(int minutes) {
    if (!series_.setWindowMinutes(minutes))
        return;
    windowList_->setCurrentIndex(windowList_->findData(minutes));
    redraw();
}

void ReadingsChart::stepWindow() {
    setWindowMinutes(series_.nextWindowMinutes());
}

void ReadingsChart::togglePause() {
    series_.setPaused(!series_.paused());
    showPaused();
    redraw();
}

void ReadingsChart::showPaused() {
    pauseButton_->setText(series_.paused() ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void ReadingsChart::redraw() {
    dirty_ = false;
    const qint64 end = series_.viewEndMs();
    const qint64 begin = end - qint64(series_.windowMinutes()) * 60 * 1000;
    double low[2] = {0, 0}, high[2] = {1, 1};
    bool seen[2] = {false, false};
    for (int r = 0; r < ReadingCount; ++r) {
        const int chartIndex = r < 3 ? 0 : 1;
        QChart* chart = chartIndex == 0 ? sumsChart_ : noiseChart_;
        const QList<QList<QPointF>> pieces = series_.lines(Reading(r), MaxDrawnPoints);
        std::vector<QLineSeries*>& pool = lines_[size_t(r)];
        while (pool.size() < size_t(pieces.size())) {
            auto* s = new QLineSeries;
            s->setName(QLatin1String(Styles[r].name));
            s->setPen(QPen(Styles[r].colour, 1.5));
            chart->addSeries(s);
            s->attachAxis(chartIndex == 0 ? static_cast<QAbstractAxis*>(sumsTime_) : noiseTime_);
            s->attachAxis(chartIndex == 0 ? static_cast<QAbstractAxis*>(sumsValue_) : noiseValue_);
            // One legend entry per reading, however many pieces the gaps cut its line into.
            if (!pool.empty())
                chart->legend()->markers(s).value(0)->setVisible(false);
            pool.push_back(s);
        }
        for (qsizetype i = 0; i < qsizetype(pool.size()); ++i) {
            if (i < pieces.size()) {
                pool[size_t(i)]->replace(pieces[i]);
                for (QPointF p : pieces[i]) {
                    low[chartIndex] = seen[chartIndex] ? std::min(low[chartIndex], p.y()) : p.y();
                    high[chartIndex] = seen[chartIndex] ? std::max(high[chartIndex], p.y()) : p.y();
                    seen[chartIndex] = true;
                }
            } else if (pool[size_t(i)]->count() > 0) {
                pool[size_t(i)]->clear();
            }
        }
        linesUsed_[size_t(r)] = int(pieces.size());
    }
    for (QDateTimeAxis* t : {sumsTime_, noiseTime_})
        t->setRange(QDateTime::fromMSecsSinceEpoch(begin), QDateTime::fromMSecsSinceEpoch(end));
    for (int c = 0; c < 2; ++c) {
        const double pad = std::max(1.0, (high[c] - low[c]) * 0.05);
        (c == 0 ? sumsValue_ : noiseValue_)->setRange(low[c] - pad, high[c] + pad);
    }
}

qsizetype ReadingsChart::drawnPoints(Reading reading) const {
    qsizetype n = 0;
    for (int i = 0; i < linesUsed_[size_t(reading)]; ++i)
        n += lines_[size_t(reading)][size_t(i)]->count();
    return n;
}

int ReadingsChart::drawnLines(Reading reading) const {
    return linesUsed_[size_t(reading)];
}

QString ReadingsChart::suggestedPath(const char* extension) const {
    return QDir(saveDir_).filePath(QStringLiteral("readings-%1.%2")
                                       .arg(QDateTime::fromMSecsSinceEpoch(nowMs()).toString(
                                                QStringLiteral("yyyyMMdd-HHmmss")),
                                            QLatin1String(extension)));
}

void ReadingsChart::tell(const QString& text) {
    notice_->setText(text);
    notice_->setToolTip(text);
}

void ReadingsChart::exportPng() {
    QPointer<ReadingsChart> self(this);
    const std::optional<QString> path = prompts_.saveFileName(
        this, QStringLiteral("Save the chart as PNG"), suggestedPath("png"), PngFilter);
    if (!self || !path)
        return;
    tell(SaveChartPng(this, *path));
}

void ReadingsChart::exportCsv() {
    QPointer<ReadingsChart> self(this);
    const std::optional<QString> path = prompts_.saveFileName(
        this, QStringLiteral("Save the readings as CSV"), suggestedPath("csv"), CsvFilter);
    if (!self || !path)
        return;
    const QByteArray bytes = series_.csv([](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(Qt::ISODateWithMs).toLatin1();
    });
    QString why;
    tell(SaveWholeFile(*path, bytes, &why)
             ? QStringLiteral("Readings saved: %1 (%2 rows)")
                   .arg(*path)
                   .arg(series_.samples().size())
             : QStringLiteral("%1 could not be written: %2").arg(*path, why));
}

} // namespace fh
