#include "screens/traffic/frmTraffic.h"

#include "link/clock.h"
#include "link/lineworker.h"
#include "screens/common/keyfocus.h"
#include "screens/common/keyhelp.h"
#include "screens/common/onscreen.h"
#include "screens/common/tablehelpers.h"
#include "screens/traffic/trafficmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace fh {

frmTraffic::frmTraffic(LineWorker& worker, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmTraffic"));
    setWindowTitle(QStringLiteral("Line traffic"));
    setAttribute(Qt::WA_DeleteOnClose);
    worker_ = &worker;
    model_ = new TrafficModel(SteadyClock::instance().nowUs(), TrafficModel::DefaultMaxRows, this);
    connect(&worker, &LineWorker::traffic, model_, &TrafficModel::add);

    auto button = [this](const char* name, const QString& caption) {
        return NamedButton(this, name, caption);
    };
    cmdPause = button("cmdPause", QStringLiteral("&Pause"));
    cmdPause->setCheckable(true);
    cmdClear = button("cmdClear", QStringLiteral("C&lear"));
    cmdSaveCsv = button("cmdSaveCsv", QStringLiteral("Save as &CSV..."));
    cmdSaveText = button("cmdSaveText", QStringLiteral("Save as &text..."));
    cmdCopy = button("cmdCopy", QStringLiteral("C&opy"));
    lblCounters = new QLabel(this);
    lblCounters->setObjectName(QStringLiteral("lblCounters"));
    grdTraffic = new QTableView(this);
    grdTraffic->setObjectName(QStringLiteral("grdTraffic"));
    grdTraffic->setModel(model_);
    grdTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTraffic->verticalHeader()->hide();
    grdTraffic->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    grdTraffic->horizontalHeader()->setStretchLastSection(false);
    grdTraffic->horizontalHeader()->setSectionResizeMode(TrafficModel::Meaning,
                                                         QHeaderView::Stretch);
    grdTraffic->setColumnWidth(TrafficModel::Bytes, 190);
    grdTraffic->setColumnWidth(TrafficModel::Direction, 90);
    for (int c :
         {TrafficModel::Address, TrafficModel::Function, TrafficModel::Length, TrafficModel::Check})
        grdTraffic->setColumnWidth(c, 64);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdPause, cmdClear, cmdSaveCsv, cmdSaveText, cmdCopy})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCounters);
    layout->addLayout(buttons);
    layout->addWidget(grdTraffic);
    resize(1240, 520);
    InstallKeyHelp(this, QStringLiteral("Line traffic"), TrafficKeys());

    auto showCounters = [this] { lblCounters->setText(model_->countersText()); };
    connect(model_, &TrafficModel::countersChanged, this, showCounters);
    showCounters();
    connect(cmdPause, &QPushButton::toggled, this, [this, showCounters](bool on) {
        model_->setPaused(on);
        showCounters();
    });
    connect(cmdClear, &QPushButton::clicked, model_, &TrafficModel::clear);
    connect(cmdSaveCsv, &QPushButton::clicked, this, [this] { save(true); });
    connect(cmdSaveText, &QPushButton::clicked, this, [this] { save(false); });
    connect(cmdCopy, &QPushButton::clicked, this, &frmTraffic::copySelection);
    QScrollBar* bar = grdTraffic->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int v) { follow_ = v >= bar->maximum(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (follow_)
            grdTraffic->scrollToBottom();
    });
}

frmTraffic* frmTraffic::showFor(LineWorker& worker, QWidget* anchor) {
    static QPointer<frmTraffic> window;
    if (window && window->worker_ != &worker) { // a new line (tests): a fresh window
        window->close();
        window.clear();
    }
    if (!window)
        window = new frmTraffic(worker, anchor);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void frmTraffic::copySelection() {
    QList<int> rows;
    for (const QModelIndex& i : grdTraffic->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(model_->plainText(rows));
}

void frmTraffic::save(bool asCsv) {
    const QString path = QFileDialog::getSaveFileName(
        this,
        asCsv ? QStringLiteral("Save traffic as CSV") : QStringLiteral("Save traffic as text"),
        asCsv ? QStringLiteral("traffic.csv") : QStringLiteral("traffic.txt"),
        asCsv ? QStringLiteral("CSV files (*.csv)") : QStringLiteral("Text files (*.txt)"));
    ReturnKeysTo(this);
    if (path.isEmpty())
        return;
    QString error;
    if (!model_->save(path, asCsv, &error)) {
        QMessageBox::warning(this, QStringLiteral("Line traffic"), error);
        ReturnKeysTo(this);
    }
}

void frmTraffic::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    KeepOnScreen(this);
}

void frmTraffic::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace fh
