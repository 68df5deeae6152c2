#pragma once
// The log viewer: either log, the status log Ir3Log.txt or the sums log Ir3SumsLog.txt, as
// text (printed on request) and as charts per detector: the sums over time for the sums log,
// the status letter over time for the status log, read on a worker thread with progress.
// Closing it brings the main screen back.
#include "screens/charts/logdigest.h"

#include <QFutureWatcher>
#include <QString>
#include <QWidget>

class QChart;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace fh {

class ScreenContext;
class ZoomChartView;
struct CsvExport;

inline const QString LogViewerTitle = QStringLiteral("Log File Viewer");

// Its controls carry their form names as objectName ("txtLog", "cmdExit", "cmdPrint") and the
// chart's: "cmbLog", "tabView", "cmbDetector", "chtLog", "prgLoad", "lblUnreadable",
// "lblChartNotice", "cmdPng", "cmdCsv", "cmdHistory".
class LogViewer : public QWidget {
    Q_OBJECT
public:
    // The text in the text box when the log is larger: its last part.
    static constexpr qint64 TextLimitBytes = 4 * 1024 * 1024;

    // Loads the status log's text at once and starts reading it for the charts; shows itself
    // only when asked. Deletes itself when closed.
    explicit LogViewer(ScreenContext& ctx, QWidget* parent = nullptr);
    ~LogViewer() override;

    // The text as loaded, CR LF line ends kept (the box shows plain line ends).
    const QString& loadedText() const { return loaded_; }
    // Which log is shown; switching loads the other one.
    LogKind shownLog() const { return shown_; }
    void showLog(LogKind kind);
    // The charts' data once the worker has read the log; nullptr while it reads.
    const LogDigest* digest() const { return loading_ ? nullptr : &digest_; }
    // Draws the detector at this place of the list.
    void showDetector(int index);
    // One detector's readings across the site records of a folder, asked for folder and
    // serial through the prompts.
    void showHistory();
    void exportPng();
    void exportCsv();

protected:
    void closeEvent(QCloseEvent* e) override; // the main screen comes back

private:
    // Fills the box with the file's text and one more line end. A file that cannot be read
    // leaves the box as it is, and so does a main screen whose status text is a single blank.
    void load(const QString& path);
    void startReading();
    void onDigestDone();
    void onPrintClicked();
    void setChart(QChart* chart);
    void tell(const QString& text);
    QString logPath(LogKind kind) const;

    ScreenContext& ctx_;
    LogKind shown_ = LogKind::Status;
    QComboBox* logList_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QPlainTextEdit* textBox_ = nullptr;
    QComboBox* detectorList_ = nullptr;
    ZoomChartView* chartView_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* unreadable_ = nullptr;
    QLabel* notice_ = nullptr;
    QString loaded_;
    LogDigest digest_;
    bool loading_ = false;
    QFutureWatcher<LogDigest>* reading_ = nullptr;
    QFutureWatcher<CsvExport>* exporting_ = nullptr;
    QByteArray historyCsv_; // what CSV... saves while a history is shown
    bool showingHistory_ = false;
    bool closed_ = false;
};

} // namespace fh
