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
class ScreenContext;

class frmMaintenance : public QWidget {
    Q_OBJECT
public:
    // A top-level window that deletes itself when closed; the caller shows it.
    explicit frmMaintenance(ScreenContext& ctx, QWidget* parent = nullptr);
    ~frmMaintenance() override;

    QLabel* lblDetM = nullptr;
    QLabel *lblSta = nullptr, *lblgain = nullptr, *lblA = nullptr, *lblSerial = nullptr,
           *lblVoltage = nullptr, *lblTempe = nullptr;
    QLabel *lblDetS = nullptr, *lblDetS2 = nullptr, *lblDetGain = nullptr, *lblAddr = nullptr,
           *lblserNum = nullptr, *lblVol = nullptr, *lblTemp = nullptr;
    QGroupBox* FrSums = nullptr;
    // The odd pairing is the screen's own: lblSum45 carries "SUM4", lblSum4 "SUM5".
    QLabel *lblSum45 = nullptr, *lblSum5 = nullptr, *lblSum4 = nullptr;
    QLineEdit *txtSum4Val = nullptr, *txtSum45Val = nullptr, *txtSum5Val = nullptr;
    QLabel *lblN4 = nullptr, *lblN45 = nullptr, *lblN5 = nullptr;
    QLineEdit *txtN4Val = nullptr, *txtN45Val = nullptr, *txtN5Val = nullptr;
    QGroupBox* FrBit = nullptr;
    QLabel *lblBitSum4 = nullptr, *lblBitSum45 = nullptr, *lblBitSum5 = nullptr;
    QLabel* lblLogOn = nullptr;
    QLabel* lblVer = nullptr;
    QPushButton *cmdBIT = nullptr, *cmdLogSums = nullptr, *cmdV = nullptr, *cmdClose = nullptr;
    QLabel* lblCom = nullptr;
    LampShape* Shape2 = nullptr;
    QLabel* lblNotice = nullptr; // status line: the sums log's write warnings, command outcomes
    QLabel* lblHeard = nullptr;  // while the values are stale: when they were last heard

    // Once per opening, when first shown: the refresh cycle takes over the line.
    void Form_Activate();
    void cmdBIT_Click();
    void cmdV_Click();
    void cmdLogSums_Click();
    void cmdClose_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void Form_Unload();
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
    ClockTimer* verTimer_ = nullptr;
    quint64 bitId_ = 0;
    quint64 versionId_ = 0;
    bool activated_ = false;
    bool unloaded_ = false;
};

} // namespace fh
