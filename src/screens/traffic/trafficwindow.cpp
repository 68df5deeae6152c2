#include "screens/traffic/trafficwindow.h"

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

TrafficWindow::TrafficWindow(LineWorker& worker, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmTraffic"));
    setWindowTitle(QStringLiteral("Line traffic"));
    setAttribute(Qt::WA_DeleteOnClose);
    worker_ = &worker;
    model_ = new TrafficModel(SteadyClock::instance().nowUs(), TrafficModel::DefaultMaxRows, this);
    connect(&worker, &LineWorker::traffic, model_, &TrafficModel::add);

    auto button = [this](const char* name, const QString& caption) {
        return NamedButton(this, name, caption);
    };
    pauseButton_ = button("cmdPause", QStringLiteral("&Pause"));
    pauseButton_->setCheckable(true);
    clearButton_ = button("cmdClear", QStringLiteral("C&lear"));
    saveCsvButton_ = button("cmdSaveCsv", QStringLiteral("Save as &CSV..."));
    saveTextButton_ = button("cmdSaveText", QStringLiteral("Save as &text..."));
    copyButton_ = button("cmdCopy", QStringLiteral("C&opy"));
    countersLabel_ = new QLabel(this);
    countersLabel_->setObjectName(QStringLiteral("lblCounters"));
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("grdTraffic"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(TrafficModel::Meaning, QHeaderView::Stretch);
    table_->setColumnWidth(TrafficModel::Bytes, 190);
    table_->setColumnWidth(TrafficModel::Direction, 90);
    for (int c :
         {TrafficModel::Address, TrafficModel::Function, TrafficModel::Length, TrafficModel::Check})
        table_->setColumnWidth(c, 64);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b :
         {pauseButton_, clearButton_, saveCsvButton_, saveTextButton_, copyButton_})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countersLabel_);
    layout->addLayout(buttons);
    layout->addWidget(table_);
    resize(1240, 520);
    InstallKeyHelp(this, QStringLiteral("Line traffic"), TrafficKeys());

    auto showCounters = [this] { countersLabel_->setText(model_->countersText()); };
    connect(model_, &TrafficModel::countersChanged, this, showCounters);
    showCounters();
    connect(pauseButton_, &QPushButton::toggled, this, [this, showCounters](bool on) {
        model_->setPaused(on);
        showCounters();
    });
    connect(clearButton_, &QPushButton::clicked, model_, &TrafficModel::clear);
    connect(saveCsvButton_, &QPushButton::clicked, this, [this] { save(true); });
    connect(saveTextButton_, &QPushButton::clicked, this, [this] { save(false); });
    connect(copyButton_, &QPushButton::clicked, this, &TrafficWindow::copySelection);
    QScrollBar* bar = table_->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int v) { follow_ = v >= bar->maximum(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (follow_)
            table_->scrollToBottom();
    });
}

TrafficWindow* TrafficWindow::showFor(LineWorker& worker, QWidget* anchor) {
    static QPointer<TrafficWindow> window;
    if (window && window->worker_ != &worker) { // a new line (tests): a fresh window
        window->close();
        window.clear();
    }
    if (!window)
        window = new TrafficWindow(worker, anchor);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void TrafficWindow::copySelection() {
    QList<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(model_->plainText(rows));
}

void TrafficWindow::save(bool asCsv) {
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

void TrafficWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    KeepOnScreen(this);
}

void TrafficWindow::keyPressEvent(QKeyEvent* event) {
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
