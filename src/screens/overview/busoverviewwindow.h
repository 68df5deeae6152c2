#pragma once
// The bus overview screen: scans the line for detectors with a progress bar and Cancel, then
// keeps every found detector live in a table. Enter or a double-click on a row gives that
// address to the main screen and closes. Closing gives the line back to the main poll.
#include "visit/record.h"

#include <optional>
#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace fh {

class BusOverview;
class ScreenContext;
class SurveyDialog;

// Its controls carry their form names as objectName ("txtFrom", "cmdRescan", "grdBus", ...).
// "Survey..." records the whole bus (SurveyDialog); "Compare with..." compares the latest
// survey (or a record chosen) with an earlier one.
class BusOverviewWindow : public QWidget {
    Q_OBJECT
public:
    explicit BusOverviewWindow(ScreenContext& ctx, QWidget* parent = nullptr);
    ~BusOverviewWindow() override;

    // The table's model: the scan, the detectors found and their live state.
    BusOverview& overview() { return *overview_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onRescanClicked();
    void onExportClicked();
    void onSurveyClicked();
    void onCompareClicked();
    // A record file chosen by the operator, or nothing (refusals are told).
    std::optional<visit::SiteRecord> chooseRecord(const QString& title, QString* path);
    // Work with the detector of this row on the main screen.
    void choose(int row);

    ScreenContext& ctx_;
    BusOverview* overview_ = nullptr;
    bool closed_ = false;
    QString pollingFormat_; // the progress bar's words once the scan has ended
    QPointer<SurveyDialog> survey_;
    std::optional<visit::SiteRecord> lastRecord_; // the latest survey saved from here
    QString lastRecordPath_;

    QSpinBox* fromBox_ = nullptr;
    QSpinBox* toBox_ = nullptr;
    QSpinBox* firstByteWindowBox_ = nullptr;
    QPushButton* rescanButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* surveyButton_ = nullptr;
    QPushButton* compareButton_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* garbledLabel_ = nullptr;
    QLabel* lineLabel_ = nullptr; // the port lost or back
    QTableView* table_ = nullptr;
};

} // namespace fh
