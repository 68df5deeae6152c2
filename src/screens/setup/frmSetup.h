#pragma once
// The setup screen: shows the setup table the main screen has just read, lets the operator
// change it and writes it back with the confirmed-write pattern, then reads it back.
#include "detector/setupcodec.h"
#include "link/exchange.h"
#include "operations/setupopen.h"
#include "operations/setupwrite.h"
#include "screens/common/pendingwrite.h"

#include <optional>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace fh {

class ScreenContext;

class frmSetup : public QWidget {
    Q_OBJECT
public:
    // The main screen's entry after the setup screen's opening. Without a snapshot, or with a
    // reply that is not a proper answer for its model, the operator is told why and nullptr
    // comes back (the main screen stays); otherwise the screen is created, shown and
    // returned. It deletes itself when closed.
    static frmSetup* open(ScreenContext& ctx, const SetupOpening& opening);

    static const QString CouldNotReadText;

    QLabel* lblType = nullptr;
    QLabel* lblDetType = nullptr;
    QLabel* lblSerial = nullptr;
    QLabel* lblserNum = nullptr;
    QLabel* lblAddr = nullptr;
    QLabel* lblAddress = nullptr;
    QLabel* lblSens = nullptr;
    QComboBox* cmbSens = nullptr; // a drop-down list; the other five take typed text
    QComboBox* cmbSensFast = nullptr;
    QComboBox* cmbMI = nullptr;
    QComboBox* cmbMI3 = nullptr;
    QComboBox* cmbSensSingle = nullptr;
    QComboBox* cmbUVIR = nullptr;
    QLabel* lblDelay = nullptr;
    QComboBox* cmbDelay = nullptr;
    QLabel* lblHM = nullptr;
    QComboBox* cmbHeatMode = nullptr;
    QLabel* lblHO = nullptr;
    QComboBox* cmbHeatOn = nullptr;
    QCheckBox* chkAutoBit = nullptr;
    QCheckBox* chkAccBit = nullptr;
    QCheckBox* chkRBit = nullptr;
    QCheckBox* chkEOL = nullptr;
    QCheckBox* chkAlarmL = nullptr;
    QCheckBox* chkAccOnWarn = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdPrint = nullptr;
    QLabel* lblWarn = nullptr;    // a loaded value outside its list, which OK would change
    QLabel* lblWriting = nullptr; // the write's attempts while it runs, else hidden

    void Form_Load();
    // The confirmed identity, then the setup reply into the controls. False when the reply
    // cannot be decoded (the controls then keep their design state).
    bool GetSetio();
    void cmdOK_Click();
    void cmdExit_Click();
    void cmdPrint_Click();
    void Form_Unload();

    QComboBox* sensitivityList(SensitivityList list) const;
    // The values the controls hold now, as the write would carry them.
    SetupValue currentValue() const;
    // The OK sequence has sent its write and waits for the outcome.
    bool writePending() const { return write_.pending(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    frmSetup(ScreenContext& ctx, const SetupSnapshot& snapshot, QWidget* parent);
    void build();
    void writeDone(const Exchange& x);

    ScreenContext& ctx_;
    const SetupSnapshot snapshot_; // the only model and address the screen shows and writes
    std::optional<SetupWrite> writeOp_;
    PendingWrite write_;
};

} // namespace fh
