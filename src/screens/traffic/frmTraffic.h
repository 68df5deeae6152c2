#pragma once
// The line traffic window: a window of its own beside the screens, over a TrafficModel fed by
// the line worker's `traffic` signal. Closing it detaches it from the worker.
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace fh {

class LineWorker;
class TrafficModel;

class frmTraffic : public QWidget {
    Q_OBJECT
public:
    frmTraffic(LineWorker& worker, QWidget* parent = nullptr);
    // The one window of a run: made on first use, raised when asked again.
    static frmTraffic* showFor(LineWorker& worker, QWidget* anchor);

    TrafficModel& model() { return *model_; }
    QPushButton* cmdPause = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdSaveCsv = nullptr;
    QPushButton* cmdSaveText = nullptr;
    QPushButton* cmdCopy = nullptr;
    QLabel* lblCounters = nullptr;
    QTableView* grdTraffic = nullptr;

    void copySelection();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void save(bool asCsv);

    LineWorker* worker_ = nullptr;
    TrafficModel* model_ = nullptr;
    bool follow_ = true; // keep the newest row in view unless the operator scrolled away
};

} // namespace fh
