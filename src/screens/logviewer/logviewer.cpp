#include "screens/logviewer/logviewer.h"

#include "detector/detectorrecord.h"
#include "logging/statuslog.h"
#include "logging/sumslog.h"
#include "logging/wholefile.h"
#include "screens/charts/chartpicture.h"
#include "screens/charts/logcharts.h"
#include "screens/charts/readingschart.h"
#include "screens/charts/zoomchartview.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/logviewer/logload.h"
#include "screens/prompts/prompts.h"
#include "visit/history.h"

#include <QBoxLayout>
#include <QChart>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace fh {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

LogViewer::LogViewer(ScreenContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmCusLog"));
    InstallKeyHelp(this, QStringLiteral("Logs"), LogViewerKeys());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LogViewerTitle);
    if (parent)
        setWindowFlags(Qt::Window);

    logList_ = new QComboBox(this);
    logList_->setObjectName(QStringLiteral("cmbLog"));
    logList_->addItem(QStringLiteral("Status log (%1)").arg(StatusLogFileName));
    logList_->addItem(QStringLiteral("Sums log (%1)").arg(SumsLogFileName));
    connect(logList_, &QComboBox::activated, this,
            [this](int i) { showLog(i == 0 ? LogKind::Status : LogKind::Sums); });
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("prgLoad"));
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setMaximumWidth(160);
    unreadable_ = new QLabel(this);
    unreadable_->setObjectName(QStringLiteral("lblUnreadable"));

    textBox_ = new QPlainTextEdit;
    textBox_->setObjectName(QStringLiteral("txtLog"));
    textBox_->setReadOnly(true);
    textBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log is laid out in columns: a fixed-pitch font keeps them straight.
    textBox_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* chartPage = new QWidget;
    detectorList_ = new QComboBox(chartPage);
    detectorList_->setObjectName(QStringLiteral("cmbDetector"));
    detectorList_->setMinimumContentsLength(18);
    connect(detectorList_, &QComboBox::activated, this, &LogViewer::showDetector);
    QPushButton* png = button(chartPage, "cmdPng", QStringLiteral("PNG..."));
    QPushButton* csv = button(chartPage, "cmdCsv", QStringLiteral("CSV..."));
    QPushButton* history = button(chartPage, "cmdHistory", QStringLiteral("History..."));
    history->setToolTip(QStringLiteral("One detector's readings across the site records of a "
                                       "folder"));
    connect(png, &QPushButton::clicked, this, &LogViewer::exportPng);
    connect(csv, &QPushButton::clicked, this, &LogViewer::exportCsv);
    connect(history, &QPushButton::clicked, this, &LogViewer::showHistory);
    chartView_ = new ZoomChartView(new QChart, chartPage);
    chartView_->setObjectName(QStringLiteral("chtLog"));
    chartView_->setToolTip(QStringLiteral("Wheel: zoom; drag: move; Home: the whole log"));
    notice_ = new QLabel(chartPage);
    notice_->setObjectName(QStringLiteral("lblChartNotice"));
    notice_->setWordWrap(true);
    auto* chartBar = new QHBoxLayout;
    chartBar->addWidget(new QLabel(QStringLiteral("Detector:"), chartPage));
    chartBar->addWidget(detectorList_, 1);
    chartBar->addWidget(png);
    chartBar->addWidget(csv);
    chartBar->addWidget(history);
    auto* chartLayout = new QVBoxLayout(chartPage);
    chartLayout->setContentsMargins(4, 4, 4, 4);
    chartLayout->addLayout(chartBar);
    chartLayout->addWidget(chartView_, 1);
    chartLayout->addWidget(notice_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabView"));
    tabs_->addTab(textBox_, QStringLiteral("Text"));
    tabs_->addTab(chartPage, QStringLiteral("Chart"));

    QPushButton* closeButton = button(this, "cmdExit", QStringLiteral("&Close"));
    QPushButton* printButton = button(this, "cmdPrint", QStringLiteral("&Print"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(printButton, &QPushButton::clicked, this, &LogViewer::onPrintClicked);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Log:"), this));
    top->addWidget(logList_);
    top->addWidget(unreadable_, 1);
    top->addWidget(progress_);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(closeButton);
    bottom->addWidget(printButton);
    bottom->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tabs_, 1);
    layout->addLayout(bottom);
    resize(820, 600);

    // The form sees every key first, also while the text box has the focus; Esc is Close.
    auto* keys = new FormKeys(this);
    keys->onLetter('c', [this] { close(); })
        .onLetter('p', [this] { onPrintClicked(); })
        .on(Qt::Key_Escape, [this] { close(); })
        .onIf(
            Qt::Key_Home, [this] { return tabs_->currentIndex() == 1; },
            [this] { chartView_->resetZoom(); });

    load(logPath(shown_));
    startReading();
}

LogViewer::~LogViewer() {
    // The worker stops at its next chunk; nothing it does reaches this window.
    for (QFutureWatcherBase* w :
         {static_cast<QFutureWatcherBase*>(reading_), static_cast<QFutureWatcherBase*>(exporting_)})
        if (w)
            w->cancel();
}

QString LogViewer::logPath(LogKind kind) const {
    return QDir(ctx_.dataDir())
        .filePath(kind == LogKind::Sums ? SumsLogFileName : StatusLogFileName);
}

void LogViewer::showLog(LogKind kind) {
    if (kind == shown_ || kind == LogKind::Unknown)
        return;
    shown_ = kind;
    logList_->setCurrentIndex(kind == LogKind::Status ? 0 : 1);
    loaded_.clear();
    textBox_->clear();
    load(logPath(kind));
    startReading();
}

void LogViewer::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.atEnd() || StatusText(ctx_.detector()) == QStringLiteral(" "))
        return; // an empty file ends before any read; QFile closes on the way out
    // A large log shows its newest part, from a line start, so the box stays quick.
    QString note;
    if (file.size() > TextLimitBytes) {
        file.seek(file.size() - TextLimitBytes);
        file.readLine();
        note = QStringLiteral("(the first %1 bytes are not shown here; the chart has them)\r\n")
                   .arg(file.pos());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    loaded_ = note + QString::fromLatin1(bytes) + QStringLiteral("\r\n");
    QString shown = loaded_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    textBox_->setPlainText(shown);
}

void LogViewer::startReading() {
    if (reading_)
        reading_->cancel();
    reading_ = new QFutureWatcher<LogDigest>(this);
    connect(reading_, &QFutureWatcherBase::progressValueChanged, progress_,
            &QProgressBar::setValue);
    QFutureWatcher<LogDigest>* watcher = reading_;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        if (watcher == reading_)
            onDigestDone();
    });
    loading_ = true;
    showingHistory_ = false;
    detectorList_->clear();
    unreadable_->clear();
    progress_->setValue(0);
    progress_->show();
    setChart(new QChart);
    tell(QStringLiteral("Reading %1 ...").arg(QDir::toNativeSeparators(logPath(shown_))));
    reading_->setFuture(StartLogDigest(logPath(shown_), shown_));
}

void LogViewer::onDigestDone() {
    const QFuture<LogDigest> f = reading_->future();
    reading_ = nullptr;
    if (f.isCanceled() || f.resultCount() == 0)
        return;
    digest_ = f.result();
    loading_ = false;
    progress_->hide();
    unreadable_->setText(UnreadableText(digest_.unreadableCount()));
    QStringList lines;
    for (const UnreadableLine& u : digest_.unreadable())
        lines << QStringLiteral("line %1: %2").arg(u.line).arg(u.reason);
    unreadable_->setToolTip(lines.join(QLatin1Char('\n')));
    for (const DetectorTrace& t : digest_.detectors())
        detectorList_->addItem(QStringLiteral("%1 - %2 records").arg(t.label()).arg(t.records));
    if (!digest_.error.isEmpty())
        tell(QStringLiteral("%1 could not be read: %2").arg(logPath(shown_), digest_.error));
    else if (digest_.detectors().empty())
        tell(QStringLiteral("No records in %1.").arg(logPath(shown_)));
    else
        showDetector(0);
}

void LogViewer::showDetector(int index) {
    if (loading_ || index < 0 || size_t(index) >= digest_.detectors().size())
        return;
    showingHistory_ = false;
    detectorList_->setCurrentIndex(index);
    const DetectorTrace& t = digest_.detectors()[size_t(index)];
    const QString title = QStringLiteral("Detector %1").arg(t.label());
    setChart(shown_ == LogKind::Sums ? MakeSumsChart(t, title) : MakeStatusTimeline(t, title));
    QString text = QStringLiteral("%1 records from %2 to %3")
                       .arg(t.records)
                       .arg(QDateTime::fromMSecsSinceEpoch(t.firstMs).toString(Qt::ISODate),
                            QDateTime::fromMSecsSinceEpoch(t.lastMs).toString(Qt::ISODate));
    if (shown_ == LogKind::Sums)
        text += QStringLiteral(", %1 logging runs").arg(t.runs.size());
    if (t.changesLeftOut > 0)
        text += QStringLiteral("; %1 later status changes are not drawn").arg(t.changesLeftOut);
    tell(text);
}

void LogViewer::setChart(QChart* chart) {
    QChart* old = chartView_->chart();
    chartView_->setChart(chart);
    delete old;
}

void LogViewer::tell(const QString& text) {
    notice_->setText(text);
}

void LogViewer::showHistory() {
    QPointer<LogViewer> self(this);
    const std::optional<QString> folder = ctx_.prompts().chooseFolder(
        this, QStringLiteral("Folder of the site records"), ctx_.dataDir());
    if (!self || !folder)
        return;
    const std::optional<QString> answer =
        ctx_.prompts().input(this, QStringLiteral("Serial number of the detector"), LogViewerTitle,
                             QString::number(ctx_.detector().SerialNumber));
    if (!self || !answer)
        return;
    bool ok = false;
    const uint serial = answer->trimmed().toUInt(&ok);
    if (!ok || serial > 65535) {
        tell(QStringLiteral("\"%1\" is not a serial number (0-65535).").arg(*answer));
        return;
    }
    QString error;
    const auto history = visit::ReadHistory(*folder, quint16(serial), &error);
    if (!history) {
        tell(error);
        return;
    }
    DetectorTrace t;
    t.serial = quint16(serial);
    int read = 0;
    for (const visit::HistoryRow& r : history->rows) {
        const qint64 ms = r.time.toMSecsSinceEpoch();
        t.address = r.address;
        t.firstMs = t.records++ == 0 ? ms : t.firstMs;
        t.lastMs = ms;
        const char status = char(r.identity.statusChar);
        if (status != t.lastStatus)
            t.changes.push_back({ms, status, r.readings ? double(r.readings->sum4) : 0});
        t.lastStatus = status;
        if (!r.readings)
            continue;
        ++read;
        auto& sums = t.runs[1];
        const float values[3] = {r.readings->sum4, r.readings->sum45, r.readings->sum5};
        for (int i = 0; i < 3; ++i)
            if (std::isfinite(values[i]))
                sums[size_t(i)].add(QPointF(double(ms), double(values[i])));
    }
    showingHistory_ = true;
    historyCsv_ = visit::HistoryCsv(*history);
    tabs_->setCurrentIndex(1);
    setChart(MakeSumsChart(t, QStringLiteral("Serial %1 across the visits").arg(serial)));
    QString text = QStringLiteral("Serial %1: in %2 of %3 site records, readings in %4.")
                       .arg(serial)
                       .arg(history->rows.size())
                       .arg(history->recordsRead)
                       .arg(read);
    if (!history->unreadable.isEmpty())
        text += QStringLiteral(" Not read: %1").arg(history->unreadable.join(QStringLiteral("; ")));
    tell(text);
}

void LogViewer::exportPng() {
    QPointer<LogViewer> self(this);
    const std::optional<QString> path = ctx_.prompts().saveFileName(
        this, QStringLiteral("Save the chart as PNG"),
        QDir(ctx_.dataDir()).filePath(QStringLiteral("chart.png")), PngFilter);
    if (!self || !path)
        return;
    tell(SaveChartPng(chartView_, *path));
}

void LogViewer::exportCsv() {
    QPointer<LogViewer> self(this);
    const std::optional<QString> path = ctx_.prompts().saveFileName(
        this, QStringLiteral("Save the records as CSV"),
        QDir(ctx_.dataDir()).filePath(QStringLiteral("records.csv")), CsvFilter);
    if (!self || !path)
        return;
    if (showingHistory_) {
        QString why;
        tell(SaveWholeFile(*path, historyCsv_, &why)
                 ? QStringLiteral("History saved: %1").arg(*path)
                 : QStringLiteral("%1 could not be written: %2").arg(*path, why));
        return;
    }
    const int index = detectorList_->currentIndex();
    if (loading_ || index < 0) {
        tell(QStringLiteral("No detector to save: the log is not read yet or holds none."));
        return;
    }
    const DetectorTrace& t = digest_.detectors()[size_t(index)];
    if (exporting_)
        exporting_->cancel();
    exporting_ = new QFutureWatcher<CsvExport>(this);
    QFutureWatcher<CsvExport>* watcher = exporting_;
    const QString target = *path;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, target] {
        watcher->deleteLater();
        if (watcher != exporting_)
            return;
        exporting_ = nullptr;
        const QFuture<CsvExport> f = watcher->future();
        if (f.isCanceled() || f.resultCount() == 0)
            return;
        const CsvExport r = f.result();
        tell(r.error.isEmpty() ? QStringLiteral("%1 records saved: %2").arg(r.rows).arg(target)
                               : QStringLiteral("Not saved: %1").arg(r.error));
    });
    tell(QStringLiteral("Saving %1 ...").arg(target));
    exporting_->setFuture(StartLogCsvExport(logPath(shown_), shown_, t.address,
                                            shown_ == LogKind::Sums ? t.serial : std::nullopt,
                                            target));
}

void LogViewer::onPrintClicked() {
    // Cancel in the dialog ends the command quietly; so does a printer that fails.
    const std::optional<int> copies = ctx_.prompts().printDialog(this);
    if (!copies || *copies < 1)
        return;
    ctx_.prompts().printImage(this, *copies);
}

void LogViewer::closeEvent(QCloseEvent* e) {
    e->accept();
    if (!closed_) {
        closed_ = true;
        ctx_.screenClosed();
    }
}

} // namespace fh
