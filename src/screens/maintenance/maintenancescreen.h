#pragma once
// The maintenance screen: the detector's inside refreshed without pause (its own cycle
// replaces the main screen's status poll while it is open), the built-in test with the sums
// it recorded, the version text for four seconds, and the sums-log switch.
#include "link/exchange.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace fh {

class ClockTimer;
class LampShape;
class ReadingsChart;
class ScreenContext;

class MaintenanceScreen : public QWidget {
    Q_OBJECT
public:
    // A top-level window that deletes itself when closed; the caller shows it.
    explicit MaintenanceScreen(ScreenContext& ctx, QWidget* parent = nullptr);
    ~MaintenanceScreen() override;

    // The readings since the screen opened, beside the values.
    const ReadingsChart& chart() const { return *chart_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void bindKeys();
    // Once per opening, when first shown: the refresh cycle takes over the line.
    void activate();
    // Once per opening, however it closes: the line goes back to the main screen's poll.
    void unload();
    void onBitClicked();
    void onVersionClicked();
    void onSumsLogClicked();
    void commandDone(const fh::Exchange& x);
    void showNotice(const QString& text);
    // The values shown stop (or start again) being those of the latest reply; portGone is the
    // port's message when the line was lost.
    void showStale(bool stale, const QString& portGone = {});
    void showBitState();
    // What the maintenance model holds now: values, link, staleness.
    void showRefresh();
    // Whether sums logging runs: the button's caption and the notice.
    void showLogState();

    ScreenContext& ctx_;
    QLabel* modelName_ = nullptr;
    QLabel *status_ = nullptr, *fault_ = nullptr, *gain_ = nullptr, *address_ = nullptr,
           *serial_ = nullptr, *voltage_ = nullptr, *temperature_ = nullptr;
    QLineEdit *sum4_ = nullptr, *sum45_ = nullptr, *sum5_ = nullptr;
    QLineEdit *noise4_ = nullptr, *noise45_ = nullptr, *noise5_ = nullptr;
    QGroupBox* bitSumsFrame_ = nullptr;
    QLabel *bitSum4_ = nullptr, *bitSum45_ = nullptr, *bitSum5_ = nullptr;
    QLabel* logNotice_ = nullptr;
    QLabel* versionText_ = nullptr;
    QPushButton *bitButton_ = nullptr, *sumsLogButton_ = nullptr, *versionButton_ = nullptr,
                *closeButton_ = nullptr;
    QLabel* linkText_ = nullptr;
    LampShape* linkLamp_ = nullptr;
    QLabel* notice_ = nullptr;    // the sums log's write warnings, command outcomes
    QLabel* lastHeard_ = nullptr; // while the values are stale: when they were last heard
    ClockTimer* versionTimer_ = nullptr;
    ReadingsChart* chart_ = nullptr;
    quint64 bitId_ = 0;
    quint64 versionId_ = 0;
    bool activated_ = false;
    bool unloaded_ = false;
};

} // namespace fh
