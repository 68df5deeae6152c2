// The COM-port dialog's line settings, below the port choice: a network device server,
// the line driver's keying and the adapter's echo.
#include "link/datadir.h"
#include "link/tcpport.h"
#include "screens/startup/frmComsetup.h"
#include "screens/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace fh {

namespace {
constexpr int Top = 3000; // below the OK and Cancel buttons

struct DriverItem {
    LineMode mode;
    const char* text;
};
constexpr DriverItem DriverItems[] = {
    {LineMode::Rts, "RTS high while sending"},
    {LineMode::RtsInverted, "RTS low while sending"},
    {LineMode::Auto, "Automatic (adapter switches)"},
    {LineMode::Kernel, "Serial driver (kernel RS-485)"},
};
} // namespace

void frmComsetup::buildLineControls() {
    fraNetwork = new QGroupBox(QStringLiteral("Network"), this);
    fraNetwork->setObjectName(QStringLiteral("fraNetwork"));
    fraNetwork->setCheckable(true);
    fraNetwork->setChecked(false);
    SetTwipGeometry(fraNetwork, 240, Top, 5175, 735);
    txtNetwork = new QLineEdit(fraNetwork);
    txtNetwork->setObjectName(QStringLiteral("txtNetwork"));
    txtNetwork->setPlaceholderText(QStringLiteral("device server HOST:PORT"));
    SetTwipGeometry(txtNetwork, 120, 330, 4935, 315);
    // A network line replaces the serial choices while it is checked.
    connect(fraNetwork, &QGroupBox::toggled, this, [this](bool on) {
        Frame1->setEnabled(!on);
        lstDetected->setEnabled(!on);
        OKButton->setEnabled(on || !SelectedDevice().isEmpty());
        if (on)
            txtNetwork->setFocus();
    });

    lblLineDriver = new QLabel(QStringLiteral("Line driver"), this);
    lblLineDriver->setObjectName(QStringLiteral("lblLineDriver"));
    SetTwipGeometry(lblLineDriver, 240, Top + 900, 1200, 315);
    cboLineDriver = new QComboBox(this);
    cboLineDriver->setObjectName(QStringLiteral("cboLineDriver"));
    for (const DriverItem& item : DriverItems)
        cboLineDriver->addItem(QLatin1String(item.text), int(item.mode));
    lblLineDriver->setBuddy(cboLineDriver);
    SetTwipGeometry(cboLineDriver, 1440, Top + 870, 2760, 375);

    chkEcho = new QCheckBox(QStringLiteral("Echo"), this);
    chkEcho->setObjectName(QStringLiteral("chkEcho"));
    chkEcho->setToolTip(QStringLiteral("The adapter returns every byte it sends"));
    SetTwipGeometry(chkEcho, 4320, Top + 900, 1095, 315);
}

LineChoice frmComsetup::SelectedLine() const {
    LineChoice line;
    if (fraNetwork->isChecked()) {
        const QString typed = txtNetwork->text().trimmed();
        line.device = IsTcpAddress(typed) ? typed : QStringLiteral("tcp://") + typed;
    } else {
        line.device = SelectedDevice();
    }
    line.mode = static_cast<LineMode>(cboLineDriver->currentData().toInt());
    line.echo = chkEcho->isChecked();
    return line;
}

void frmComsetup::SelectLine(const LineChoice& line) {
    const int driver = cboLineDriver->findData(int(line.mode));
    cboLineDriver->setCurrentIndex(driver < 0 ? 0 : driver);
    chkEcho->setChecked(line.echo);
    if (IsTcpAddress(line.device)) {
        txtNetwork->setText(line.device.trimmed().mid(6));
        fraNetwork->setChecked(true);
        return;
    }
    fraNetwork->setChecked(false);
    for (int n = 1; n <= 6; ++n)
        if (!line.device.isEmpty() && line.device == ComPortDevice(n)) {
            optPort1_Click(n);
            return;
        }
    for (int row = 0; row < lstDetected->count(); ++row)
        if (lstDetected->item(row)->data(Qt::UserRole).toString() == line.device) {
            lstDetected->setCurrentRow(row);
            lstDetected_Click();
            return;
        }
}

} // namespace fh
