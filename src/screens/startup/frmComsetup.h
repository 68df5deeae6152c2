#pragma once
// The COM-port dialog: the operator picks Com 1 to Com 6, or one of the serial ports the system
// detects (USB adapters), before the main screen opens the port.
#include "link/linemode.h"

#include <array>
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace fh {

class frmComsetup : public QDialog {
    Q_OBJECT
public:
    // Lists the ports QSerialPortInfo finds.
    explicit frmComsetup(QWidget* parent = nullptr);
    // Lists the given device paths instead (tests, or a caller that already looked).
    frmComsetup(const QStringList& detectedPorts, QWidget* parent);

    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 7> optPort1{}; // index = port number, 1..6; [0] unused
    QPushButton* CancelButton = nullptr;
    QPushButton* OKButton = nullptr;
    QGroupBox* fraDetected = nullptr;   // hidden when no port was detected
    QListWidget* lstDetected = nullptr; // item data: the device path

    // Below the port choice: a device server on the network instead of a serial port, how the
    // line driver is keyed, and whether the adapter echoes.
    QGroupBox* fraNetwork = nullptr; // checkable; checked: the serial choices step aside
    QLineEdit* txtNetwork = nullptr; // HOST:PORT (tcp:// may be typed or left out)
    QLabel* lblLineDriver = nullptr;
    QComboBox* cboLineDriver = nullptr; // item data: the LineMode
    QCheckBox* chkEcho = nullptr;
    static constexpr int LineControlsHeight = 1000; // twips the form grows by for them

    // The COM port number chosen last, 1 to 6 (kept while a detected port is selected).
    quint8 SelectedPort = 1;
    // The device shown selected: a detected port, or "Com n" as this platform names it. Only
    // one of the two selectors holds a selection at a time; empty when neither does.
    QString SelectedDevice() const;

    void Form_Load();
    void optPort1_Click(int index);
    void lstDetected_Click();
    void OKButton_Click();
    void CancelButton_Click();

    static QStringList DetectedPorts();

    // The device (tcp://HOST:PORT when Network is checked), line driver and echo chosen.
    LineChoice SelectedLine() const;
    // Shows a choice made before: its port where the dialog lists it, its driver and echo.
    void SelectLine(const LineChoice& line);

    // Escape and the close box are Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build(const QStringList& detectedPorts);
    void buildLineControls();
    void detectedSelectionChanged();
    void clearComOptions();
    QButtonGroup* comGroup_ = nullptr;
};

} // namespace fh
