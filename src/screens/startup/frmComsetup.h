#pragma once
// The COM-port dialog: the operator picks Com 1 to Com 6, or one of the serial ports the system
// detects (USB adapters), before the main screen opens the port.
#include <array>
#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QGroupBox;
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

    // Escape and the close box are Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build(const QStringList& detectedPorts);
    void detectedSelectionChanged();
    void clearComOptions();
    QButtonGroup* comGroup_ = nullptr;
};

} // namespace fh
