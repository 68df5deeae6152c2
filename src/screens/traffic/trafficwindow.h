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

// Its controls carry their form names as objectName ("cmdPause", "lblCounters", "grdTraffic",
// ...).
class TrafficWindow : public QWidget {
    Q_OBJECT
public:
    TrafficWindow(LineWorker& worker, QWidget* parent = nullptr);
    // The one window of a run: made on first use, raised when asked again.
    static TrafficWindow* showFor(LineWorker& worker, QWidget* anchor);

    TrafficModel& model() { return *model_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void copySelection();
    void save(bool asCsv);

    LineWorker* worker_ = nullptr;
    TrafficModel* model_ = nullptr;
    bool follow_ = true; // keep the newest row in view unless the operator scrolled away

    QPushButton* pauseButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* saveCsvButton_ = nullptr;
    QPushButton* saveTextButton_ = nullptr;
    QPushButton* copyButton_ = nullptr;
    QLabel* countersLabel_ = nullptr;
    QTableView* table_ = nullptr;
};

} // namespace fh
