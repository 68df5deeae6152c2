#pragma once
// The setup screen: shows the setup table the main screen has just read, lets the operator
// change it and writes it back with the confirmed-write pattern, then reads it back.
#include "detector/setupcodec.h"
#include "link/exchange.h"
#include "operations/setupopen.h"
#include "operations/setupwrite.h"
#include "screens/common/pendingwrite.h"

#include <array>
#include <optional>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace fh {

class ScreenContext;
class SetupFiles;

// Its controls carry their form names as objectName ("cmdOK", "cmbDelay", "chkEOL", ...).
class SetupScreen : public QWidget {
    Q_OBJECT
public:
    // The main screen's entry after the setup screen's opening. Without a snapshot, or with a
    // reply that is not a proper answer for its model, the operator is told why and nullptr
    // comes back (the main screen stays); otherwise the screen is created, shown and
    // returned. It deletes itself when closed.
    static SetupScreen* open(ScreenContext& ctx, const SetupOpening& opening);

    // OK has sent its write and waits for the outcome.
    bool writePending() const { return write_.pending(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SetupScreen(ScreenContext& ctx, const SetupSnapshot& snapshot, QWidget* parent);
    void build();
    void fillLists();
    // The confirmed identity, then the snapshot's setup values into the controls.
    void showSnapshot();
    QComboBox* sensitivityList(SensitivityList list) const;
    // The values the controls hold now, as the write would carry them.
    SetupValue currentValue() const;

    void onOkClicked();
    void onCancelClicked();
    void onPrintClicked();
    void onFileTold(const QString& text, bool written);
    void writeDone(const Exchange& x);

    ScreenContext& ctx_;
    const SetupSnapshot snapshot_; // the only model and address the screen shows and writes
    std::optional<SetupWrite> writeOp_;
    PendingWrite write_;
    SetupFiles* files_ = nullptr; // Save... and Load...

    QLabel* modelValue_ = nullptr;
    QLabel* serialValue_ = nullptr;
    QLabel* addressValue_ = nullptr;
    // One per SensitivityList, in its order; the model's row shows exactly one of them. The
    // first is a drop-down list, the other five also take typed text.
    std::array<QComboBox*, 6> sensitivityLists_{};
    QLabel* delayHeading_ = nullptr;
    QComboBox* delayList_ = nullptr;
    QLabel* heatModeHeading_ = nullptr;
    QComboBox* heatModeList_ = nullptr;
    QLabel* heatOnHeading_ = nullptr;
    QComboBox* heatOnList_ = nullptr;
    QCheckBox* autoBitBox_ = nullptr;
    QCheckBox* alarmOnBitBox_ = nullptr;
    QCheckBox* alarmLatchBox_ = nullptr;
    QCheckBox* relayOnBitBox_ = nullptr;
    QCheckBox* relayAsEolBox_ = nullptr;
    QCheckBox* relayOnWarningBox_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QLabel* fileLabel_ = nullptr;        // what Save... or Load... did last
    QLabel* outOfListWarning_ = nullptr; // a loaded value outside its list, which OK would change
    QLabel* writingLabel_ = nullptr;     // the write's attempts while it runs, else hidden
};

} // namespace fh
