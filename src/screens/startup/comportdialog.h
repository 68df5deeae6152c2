#pragma once
// The COM-port dialog: the operator picks Com 1 to Com 6, or one of the serial ports the system
// detects (USB adapters), before the main screen opens the port. Below the port choice: a
// device server on the network instead of a serial port, how the line driver is keyed, and
// whether the adapter echoes.
#include "link/linemode.h"

#include <array>
#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace fh {

// Its controls carry their form names as objectName ("optPort1_1".."optPort1_6", "OKButton",
// "lstDetected", "fraNetwork", "cboLineDriver", "chkEcho", ...).
class ComPortDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the ports QSerialPortInfo finds.
    explicit ComPortDialog(QWidget* parent = nullptr);
    // Lists the given device paths instead (tests, or a caller that already looked).
    ComPortDialog(const QStringList& detectedPorts, QWidget* parent);

    // The device shown selected: a detected port, or "Com n" as this platform names it. Only
    // one of the two selectors holds a selection at a time; empty when neither does.
    QString selectedDevice() const;
    // The device (tcp://HOST:PORT when Network is checked), line driver and echo chosen.
    LineChoice selectedLine() const;
    // Shows a choice made before: its port where the dialog lists it, its driver and echo.
    void selectLine(const LineChoice& line);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build(const QStringList& detectedPorts);
    void buildLineControls();
    void placeForm();
    void chooseComPort(int number);
    void selectCurrentDetected();
    void onDetectedSelectionChanged();
    void clearComOptions();
    void onOkClicked();

    QGroupBox* comPortBox_ = nullptr;
    std::array<QRadioButton*, 7> comOptions_{}; // index = port number, 1..6; [0] unused
    QButtonGroup* comButtons_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QListWidget* detectedList_ = nullptr; // item data: the device path
    QGroupBox* networkBox_ = nullptr;     // checkable; checked: the serial choices step aside
    QLineEdit* networkEdit_ = nullptr;    // HOST:PORT (tcp:// may be typed or left out)
    QComboBox* lineDriverList_ = nullptr; // item data: the LineMode
    QCheckBox* echoBox_ = nullptr;
};

} // namespace fh
