#include "screens/overview/busoverviewwindow.h"

#include "link/lineworker.h"
#include "logging/wholefile.h"
#include "screens/common/keyfocus.h"
#include "screens/common/keyhelp.h"
#include "screens/common/onscreen.h"
#include "screens/common/screencontext.h"
#include "screens/common/tablehelpers.h"
#include "screens/overview/busoverview.h"
#include "screens/overview/comparewindow.h"
#include "screens/overview/surveydialog.h"
#include "screens/overview/visitfiles.h"
#include "screens/prompts/prompts.h"
#include "visit/recordjson.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace fh {

namespace {

QSpinBox* spin(QWidget* parent, const char* name, int low, int high, int value) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(QLatin1String(name));
    s->setRange(low, high);
    s->setValue(value);
    return s;
}

} // namespace

BusOverviewWindow::BusOverviewWindow(ScreenContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
    setObjectName(QStringLiteral("frmOverview"));
    setWindowTitle(QStringLiteral("Bus overview"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (QWidget* main = ctx.mainWindow())
        setScreen(main->screen()); // it opens where the main screen is
    overview_ = new BusOverview(ctx.worker(), this);

    fromBox_ = spin(this, "txtFrom", 1, 247, 1);
    toBox_ = spin(this, "txtTo", 1, 247, 247);
    firstByteWindowBox_ = spin(this, "txtWindow", 10, 600, BusOverview::DefaultFirstByteMs);
    firstByteWindowBox_->setSuffix(QStringLiteral(" ms"));
    auto button = [this](const char* name, const QString& caption) {
        return NamedButton(this, name, caption);
    };
    rescanButton_ = button("cmdRescan", QStringLiteral("&Rescan"));
    cancelButton_ = button("cmdCancel", QStringLiteral("C&ancel"));
    exportButton_ = button("cmdExport", QStringLiteral("&Export CSV..."));
    surveyButton_ = button("cmdSurvey", QStringLiteral("&Survey..."));
    compareButton_ = button("cmdCompare", QStringLiteral("Co&mpare with..."));
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("prgScan"));
    garbledLabel_ = new QLabel(this);
    garbledLabel_->setObjectName(QStringLiteral("lblGarbled"));
    garbledLabel_->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0)"));
    lineLabel_ = new QLabel(this);
    lineLabel_->setObjectName(QStringLiteral("lblLine"));
    lineLabel_->setWordWrap(true);
    lineLabel_->hide();
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("grdBus"));
    table_->setModel(overview_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    // Columns as wide as their texts, the rest for the model names: on a narrow screen (high
    // scaling) the model stays readable.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(BusOverview::Model, QHeaderView::Stretch);

    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("From"), this));
    range->addWidget(fromBox_);
    range->addWidget(new QLabel(QStringLiteral("to"), this));
    range->addWidget(toBox_);
    range->addWidget(new QLabel(QStringLiteral("first-byte window"), this));
    range->addWidget(firstByteWindowBox_);
    range->addWidget(rescanButton_);
    range->addWidget(cancelButton_);
    range->addStretch();
    auto* visitRow = new QHBoxLayout;
    visitRow->addWidget(surveyButton_);
    visitRow->addWidget(compareButton_);
    visitRow->addStretch();
    visitRow->addWidget(exportButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addLayout(visitRow);
    layout->addWidget(progressBar_);
    layout->addWidget(garbledLabel_);
    layout->addWidget(lineLabel_);
    layout->addWidget(table_);
    resize(760, 520);
    InstallKeyHelp(this, QStringLiteral("Bus overview"), OverviewKeys());

    connect(overview_, &BusOverview::progress, this, [this](int done, int total) {
        progressBar_->setRange(0, total);
        progressBar_->setValue(done);
        progressBar_->setFormat(QStringLiteral("%v of %m addresses"));
    });
    connect(overview_, &BusOverview::scanEnded, this, [this](bool cancelled) {
        cancelButton_->setEnabled(false);
        pollingFormat_ = cancelled ? QStringLiteral("scan cancelled at %v of %m; polling what "
                                                    "was found")
                                   : QStringLiteral("%m addresses scanned; polling");
        if (!overview_->lineLost())
            progressBar_->setFormat(pollingFormat_);
        table_->setFocus();
        if (overview_->rowCount() > 0 && !table_->currentIndex().isValid())
            table_->selectRow(0);
    });
    connect(overview_, &BusOverview::garbledChanged, this,
            [this] { garbledLabel_->setText(overview_->garbledText()); });
    connect(overview_, &BusOverview::lineChanged, this, [this] {
        const bool lost = overview_->lineLost();
        lineLabel_->setText(overview_->lineText());
        lineLabel_->setStyleSheet(lost ? QStringLiteral("color: rgb(192, 0, 0); font-weight: bold")
                                       : QString());
        lineLabel_->show();
        if (lost)
            progressBar_->setFormat(QStringLiteral("line lost: nothing is polled"));
        else if (!overview_->scanning() && !pollingFormat_.isEmpty())
            progressBar_->setFormat(pollingFormat_);
        else
            progressBar_->setFormat(QStringLiteral("%v of %m addresses"));
    });
    connect(rescanButton_, &QPushButton::clicked, this, &BusOverviewWindow::onRescanClicked);
    connect(cancelButton_, &QPushButton::clicked, overview_, &BusOverview::cancel);
    connect(exportButton_, &QPushButton::clicked, this, &BusOverviewWindow::onExportClicked);
    connect(surveyButton_, &QPushButton::clicked, this, &BusOverviewWindow::onSurveyClicked);
    connect(compareButton_, &QPushButton::clicked, this, &BusOverviewWindow::onCompareClicked);
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { choose(i.row()); });
    connect(table_, &QTableView::activated, this,
            [this](const QModelIndex& i) { choose(i.row()); });
    // The highlight of a change fades without a new poll result.
    auto* repaint = new QTimer(this);
    connect(repaint, &QTimer::timeout, table_->viewport(), qOverload<>(&QWidget::update));
    repaint->start(500);

    // Opening it starts the scan of the default range at once.
    QTimer::singleShot(0, this, &BusOverviewWindow::onRescanClicked);
}

BusOverviewWindow::~BusOverviewWindow() {
    overview_->stop();
}

void BusOverviewWindow::onRescanClicked() {
    if (survey_ && survey_->running())
        return; // the survey has the line
    cancelButton_->setEnabled(true);
    overview_->scan(fromBox_->value(), std::max(fromBox_->value(), toBox_->value()),
                    firstByteWindowBox_->value());
}

void BusOverviewWindow::onExportClicked() {
    QPointer<BusOverviewWindow> self(this);
    const std::optional<QString> path =
        ctx_.prompts().saveFileName(this, QStringLiteral("Export the bus table"),
                                    QDir(ctx_.dataDir()).filePath(QStringLiteral("bus.csv")),
                                    QStringLiteral("CSV files (*.csv)"));
    if (!self)
        return;
    ReturnKeysTo(this);
    if (!path)
        return;
    QString why;
    if (SaveWholeFile(*path, overview_->csv().toUtf8(), &why)) {
        ctx_.tell(QStringLiteral("Bus table exported to %1").arg(*path));
        return;
    }
    ctx_.prompts().message(this, QStringLiteral("Cannot write %1: %2").arg(*path, why),
                           windowTitle(), Prompts::Icon::Exclamation, Prompts::Buttons::Ok);
    if (self)
        ReturnKeysTo(this);
}

void BusOverviewWindow::onSurveyClicked() {
    if (survey_)
        return survey_->raise();
    survey_ = new SurveyDialog(ctx_, firstByteWindowBox_->value(), this);
    connect(survey_, &SurveyDialog::surveyStarted, this, [this] {
        // The survey scans and reads on its own: the table's polls stay off the line meanwhile.
        overview_->cancel();
        overview_->stop();
        rescanButton_->setEnabled(false);
        progressBar_->setFormat(QStringLiteral("the survey has the line: nothing is polled here"));
    });
    connect(survey_, &SurveyDialog::surveyEnded, this,
            [this](const visit::SiteRecord& record, const QString& path) {
                rescanButton_->setEnabled(true);
                if (!pollingFormat_.isEmpty())
                    progressBar_->setFormat(pollingFormat_);
                if (!path.isEmpty()) {
                    lastRecord_ = record;
                    lastRecordPath_ = path;
                }
                if (closed_)
                    return;
                // A table whose scan never ran (the survey came first) gets its scan now.
                if (pollingFormat_.isEmpty())
                    onRescanClicked();
                else
                    overview_->resume();
            });
    survey_->show();
}

std::optional<visit::SiteRecord> BusOverviewWindow::chooseRecord(const QString& title,
                                                                 QString* path) {
    const auto chosen =
        ctx_.prompts().openFileName(this, title, VisitFolder(), QLatin1String(RecordFilter));
    if (!chosen)
        return std::nullopt;
    QString error;
    auto record = visit::ReadRecordFile(*chosen, &error);
    if (!record) {
        ctx_.prompts().message(this, QStringLiteral("Cannot compare: %1").arg(error),
                               QStringLiteral("Compare with"), Prompts::Icon::Critical,
                               Prompts::Buttons::Ok);
        return std::nullopt;
    }
    RememberVisitFolder(*chosen);
    *path = *chosen;
    return record;
}

void BusOverviewWindow::onCompareClicked() {
    // The latest survey made here, else a record the operator names.
    std::optional<visit::SiteRecord> newer = lastRecord_;
    QString newerPath = lastRecordPath_;
    if (!newer)
        newer = chooseRecord(QStringLiteral("Compare: the newer record"), &newerPath);
    if (!newer)
        return;
    QString olderPath;
    const auto older = chooseRecord(
        QStringLiteral("Compare %1 with the earlier record").arg(VisitFileBase(newer->visit)),
        &olderPath);
    if (!older)
        return;
    auto* window = new CompareWindow(ctx_.prompts(), *older, *newer, newerPath, this);
    window->show();
}

void BusOverviewWindow::choose(int row) {
    if (closed_ || row < 0 || row >= overview_->rowCount())
        return;
    const int address = overview_->entries()[size_t(row)].address;
    overview_->stop();
    ctx_.setAddress(quint8(address));
    close();
}

void BusOverviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        table_->currentIndex().isValid()) {
        choose(table_->currentIndex().row());
        return;
    }
    QWidget::keyPressEvent(event);
}

void BusOverviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    KeepOnScreen(this);
}

void BusOverviewWindow::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        overview_->stop();
        ctx_.screenClosed(); // the main screen shows again and polls its address
    }
    event->accept();
}

} // namespace fh
