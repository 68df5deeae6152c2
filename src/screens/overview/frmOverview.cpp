#include "screens/overview/frmOverview.h"

#include "link/lineworker.h"
#include "screens/common/keyfocus.h"
#include "screens/common/keyhelp.h"
#include "screens/common/onscreen.h"
#include "screens/common/screencontext.h"
#include "screens/common/tablehelpers.h"
#include "screens/overview/busoverview.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
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

frmOverview::frmOverview(ScreenContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
    setObjectName(QStringLiteral("frmOverview"));
    setWindowTitle(QStringLiteral("Bus overview"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (QWidget* main = ctx.mainWindow())
        setScreen(main->screen()); // it opens where the main screen is
    overview_ = new BusOverview(ctx.worker(), this);

    txtFrom = spin(this, "txtFrom", 1, 247, 1);
    txtTo = spin(this, "txtTo", 1, 247, 247);
    txtWindow = spin(this, "txtWindow", 10, 600, BusOverview::DefaultFirstByteMs);
    txtWindow->setSuffix(QStringLiteral(" ms"));
    auto button = [this](const char* name, const QString& caption) {
        return NamedButton(this, name, caption);
    };
    cmdRescan = button("cmdRescan", QStringLiteral("&Rescan"));
    cmdCancel = button("cmdCancel", QStringLiteral("C&ancel"));
    cmdExport = button("cmdExport", QStringLiteral("&Export CSV..."));
    prgScan = new QProgressBar(this);
    prgScan->setObjectName(QStringLiteral("prgScan"));
    lblGarbled = new QLabel(this);
    lblGarbled->setObjectName(QStringLiteral("lblGarbled"));
    lblGarbled->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0)"));
    lblLine = new QLabel(this);
    lblLine->setObjectName(QStringLiteral("lblLine"));
    lblLine->setWordWrap(true);
    lblLine->hide();
    grdBus = new QTableView(this);
    grdBus->setObjectName(QStringLiteral("grdBus"));
    grdBus->setModel(overview_);
    grdBus->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdBus->setSelectionMode(QAbstractItemView::SingleSelection);
    grdBus->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdBus->verticalHeader()->hide();
    // Columns as wide as their texts, the rest for the model names: on a narrow screen (high
    // scaling) the model stays readable.
    grdBus->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdBus->horizontalHeader()->setSectionResizeMode(BusOverview::Model, QHeaderView::Stretch);

    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("From"), this));
    range->addWidget(txtFrom);
    range->addWidget(new QLabel(QStringLiteral("to"), this));
    range->addWidget(txtTo);
    range->addWidget(new QLabel(QStringLiteral("first-byte window"), this));
    range->addWidget(txtWindow);
    range->addWidget(cmdRescan);
    range->addWidget(cmdCancel);
    range->addStretch();
    range->addWidget(cmdExport);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(prgScan);
    layout->addWidget(lblGarbled);
    layout->addWidget(lblLine);
    layout->addWidget(grdBus);
    resize(760, 520);
    InstallKeyHelp(this, QStringLiteral("Bus overview"), OverviewKeys());

    connect(overview_, &BusOverview::progress, this, [this](int done, int total) {
        prgScan->setRange(0, total);
        prgScan->setValue(done);
        prgScan->setFormat(QStringLiteral("%v of %m addresses"));
    });
    connect(overview_, &BusOverview::scanEnded, this, [this](bool cancelled) {
        cmdCancel->setEnabled(false);
        pollingFormat_ = cancelled ? QStringLiteral("scan cancelled at %v of %m; polling what "
                                                    "was found")
                                   : QStringLiteral("%m addresses scanned; polling");
        if (!overview_->lineLost())
            prgScan->setFormat(pollingFormat_);
        grdBus->setFocus();
        if (overview_->rowCount() > 0 && !grdBus->currentIndex().isValid())
            grdBus->selectRow(0);
    });
    connect(overview_, &BusOverview::garbledChanged, this,
            [this] { lblGarbled->setText(overview_->garbledText()); });
    connect(overview_, &BusOverview::lineChanged, this, [this] {
        const bool lost = overview_->lineLost();
        lblLine->setText(overview_->lineText());
        lblLine->setStyleSheet(lost ? QStringLiteral("color: rgb(192, 0, 0); font-weight: bold")
                                    : QString());
        lblLine->show();
        if (lost)
            prgScan->setFormat(QStringLiteral("line lost: nothing is polled"));
        else if (!overview_->scanning() && !pollingFormat_.isEmpty())
            prgScan->setFormat(pollingFormat_);
        else
            prgScan->setFormat(QStringLiteral("%v of %m addresses"));
    });
    connect(cmdRescan, &QPushButton::clicked, this, &frmOverview::cmdRescan_Click);
    connect(cmdCancel, &QPushButton::clicked, overview_, &BusOverview::cancel);
    connect(cmdExport, &QPushButton::clicked, this, &frmOverview::cmdExport_Click);
    connect(grdBus, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { choose(i.row()); });
    connect(grdBus, &QTableView::activated, this,
            [this](const QModelIndex& i) { choose(i.row()); });
    // The highlight of a change fades without a new poll result.
    auto* repaint = new QTimer(this);
    connect(repaint, &QTimer::timeout, grdBus->viewport(), qOverload<>(&QWidget::update));
    repaint->start(500);

    // Opening it starts the scan of the default range at once.
    QTimer::singleShot(0, this, &frmOverview::cmdRescan_Click);
}

frmOverview::~frmOverview() {
    overview_->stop();
}

void frmOverview::cmdRescan_Click() {
    cmdCancel->setEnabled(true);
    overview_->scan(txtFrom->value(), std::max(txtFrom->value(), txtTo->value()),
                    txtWindow->value());
}

void frmOverview::cmdExport_Click() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the bus table"),
                                                      QStringLiteral("bus.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    ReturnKeysTo(this);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = overview_->csv().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
        ReturnKeysTo(this);
    }
}

void frmOverview::choose(int row) {
    if (closed_ || row < 0 || row >= overview_->rowCount())
        return;
    const int address = overview_->entries()[size_t(row)].address;
    overview_->stop();
    ctx_.setAddress(quint8(address));
    close();
}

void frmOverview::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        grdBus->currentIndex().isValid()) {
        choose(grdBus->currentIndex().row());
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmOverview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    KeepOnScreen(this);
}

void frmOverview::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        overview_->stop();
        ctx_.screenClosed(); // the main screen shows again and polls its address
    }
    event->accept();
}

} // namespace fh
