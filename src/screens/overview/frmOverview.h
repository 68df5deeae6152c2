#pragma once
// The bus overview screen: scans the line for detectors with a progress bar and Cancel, then
// keeps every found detector live in a table. Enter or a double-click on a row gives that
// address to the main screen and closes. Closing gives the line back to the main poll.
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace fh {

class BusOverview;
class ScreenContext;

class frmOverview : public QWidget {
    Q_OBJECT
public:
    explicit frmOverview(ScreenContext& ctx, QWidget* parent = nullptr);
    ~frmOverview() override;

    BusOverview& overview() { return *overview_; }
    void cmdRescan_Click();
    void cmdExport_Click();
    // Work with the detector of this row on the main screen.
    void choose(int row);

    QSpinBox* txtFrom = nullptr;
    QSpinBox* txtTo = nullptr;
    QSpinBox* txtWindow = nullptr;
    QPushButton* cmdRescan = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdExport = nullptr;
    QProgressBar* prgScan = nullptr;
    QLabel* lblGarbled = nullptr;
    QLabel* lblLine = nullptr; // the port lost or back
    QTableView* grdBus = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ScreenContext& ctx_;
    BusOverview* overview_ = nullptr;
    bool closed_ = false;
    QString pollingFormat_; // the progress bar's words once the scan has ended
};

} // namespace fh
