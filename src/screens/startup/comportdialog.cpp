#include "screens/startup/comportdialog.h"

#include "link/datadir.h"
#include "link/tcpport.h"
#include "screens/common/keyhelp.h"
#include "screens/common/onscreen.h"
#include "screens/twips.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>

namespace fh {

namespace {
constexpr int OptionLefts[3] = {600, 2040, 3600};
constexpr int OptionTops[2] = {480, 1080};
// The form's place and size; the detected-ports frame widens it to its right and the line
// controls below the buttons make it taller.
constexpr int FormLeft = 2300, FormTop = 1700, FormWidth = 6300, FormHeight = 3800;
constexpr int DetectedLeft = 5640, DetectedWidth = 2775;
constexpr int LineControlsTop = 3000, LineControlsHeight = 1000;

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

QStringList AvailablePorts() {
    QStringList out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        out << info.systemLocation();
    out.sort();
    return out;
}
} // namespace

ComPortDialog::ComPortDialog(QWidget* parent) : ComPortDialog(AvailablePorts(), parent) {}

ComPortDialog::ComPortDialog(const QStringList& detectedPorts, QWidget* parent) : QDialog(parent) {
    build(detectedPorts);
    placeForm();
}

void ComPortDialog::build(const QStringList& detectedPorts) {
    setObjectName(QStringLiteral("frmComsetup"));
    InstallKeyHelp(this, QStringLiteral("COM port"), ComSetupKeys());
    setWindowTitle(QStringLiteral("Communication Setup"));
    setFont(QFont(QStringLiteral("Times New Roman"), 10));

    comPortBox_ = new QGroupBox(QStringLiteral("Communication Port"), this);
    comPortBox_->setObjectName(QStringLiteral("Frame1"));
    SetTwipGeometry(comPortBox_, 240, 240, 5175, 1695);
    comButtons_ = new QButtonGroup(this);
    for (int n = 1; n <= 6; ++n) {
        auto* option = new QRadioButton(QStringLiteral("Com %1").arg(n), comPortBox_);
        option->setObjectName(QStringLiteral("optPort1_%1").arg(n));
        SetTwipGeometry(option, OptionLefts[(n - 1) % 3], OptionTops[(n - 1) / 3], 1095, 375);
        // Toggled, not clicked: the arrow keys move the choice within the group too.
        connect(option, &QRadioButton::toggled, this, [this, n](bool on) {
            if (on)
                chooseComPort(n);
        });
        comButtons_->addButton(option, n);
        comOptions_[size_t(n)] = option;
    }

    auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("CancelButton"));
    SetTwipGeometry(cancelButton, 1560, 2160, 1215, 735);
    connect(cancelButton, &QPushButton::clicked, this, [this] { QDialog::reject(); });

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("OKButton"));
    SetTwipGeometry(okButton_, 3120, 2160, 1215, 735);
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &ComPortDialog::onOkClicked);

    auto* detectedBox = new QGroupBox(QStringLiteral("Detected Ports"), this);
    detectedBox->setObjectName(QStringLiteral("fraDetected"));
    SetTwipGeometry(detectedBox, DetectedLeft, 240, DetectedWidth, 2655);
    detectedList_ = new QListWidget(detectedBox);
    detectedList_->setObjectName(QStringLiteral("lstDetected"));
    SetTwipGeometry(detectedList_, 120, 360, DetectedWidth - 240, 2175);
    for (const QString& device : detectedPorts) {
        auto* item = new QListWidgetItem(device, detectedList_);
        item->setData(Qt::UserRole, device);
    }
    // Selection, not clicks: a port picked with the arrow keys counts the same as a click.
    connect(detectedList_, &QListWidget::itemSelectionChanged, this,
            &ComPortDialog::onDetectedSelectionChanged);
    connect(detectedList_, &QListWidget::itemDoubleClicked, this, [this] {
        selectCurrentDetected();
        onOkClicked();
    });
    detectedBox->setVisible(!detectedPorts.isEmpty()); // nothing detected: no frame
    comOptions_[1]->setChecked(true);
    buildLineControls();
}

void ComPortDialog::buildLineControls() {
    networkBox_ = new QGroupBox(QStringLiteral("Network"), this);
    networkBox_->setObjectName(QStringLiteral("fraNetwork"));
    networkBox_->setCheckable(true);
    networkBox_->setChecked(false);
    SetTwipGeometry(networkBox_, 240, LineControlsTop, 5175, 735);
    networkEdit_ = new QLineEdit(networkBox_);
    networkEdit_->setObjectName(QStringLiteral("txtNetwork"));
    networkEdit_->setPlaceholderText(QStringLiteral("device server HOST:PORT"));
    SetTwipGeometry(networkEdit_, 120, 330, 4935, 315);
    // A network line replaces the serial choices while it is checked.
    connect(networkBox_, &QGroupBox::toggled, this, [this](bool on) {
        comPortBox_->setEnabled(!on);
        detectedList_->setEnabled(!on);
        okButton_->setEnabled(on || !selectedDevice().isEmpty());
        if (on)
            networkEdit_->setFocus();
    });

    auto* lineDriverLabel = new QLabel(QStringLiteral("Line driver"), this);
    lineDriverLabel->setObjectName(QStringLiteral("lblLineDriver"));
    SetTwipGeometry(lineDriverLabel, 240, LineControlsTop + 900, 1200, 315);
    lineDriverList_ = new QComboBox(this);
    lineDriverList_->setObjectName(QStringLiteral("cboLineDriver"));
    for (const DriverItem& item : DriverItems)
        lineDriverList_->addItem(QLatin1String(item.text), int(item.mode));
    lineDriverLabel->setBuddy(lineDriverList_);
    SetTwipGeometry(lineDriverList_, 1440, LineControlsTop + 870, 2760, 375);

    echoBox_ = new QCheckBox(QStringLiteral("Echo"), this);
    echoBox_->setObjectName(QStringLiteral("chkEcho"));
    echoBox_->setToolTip(QStringLiteral("The adapter returns every byte it sends"));
    SetTwipGeometry(echoBox_, 4320, LineControlsTop + 900, 1095, 315);
}

void ComPortDialog::placeForm() {
    int width = FormWidth;
    if (detectedList_->count() > 0)
        width = DetectedLeft + DetectedWidth + 240;
    move(Twips(FormLeft), Twips(FormTop));
    setFixedSize(Twips(width), Twips(FormHeight + LineControlsHeight));
}

void ComPortDialog::chooseComPort(int number) {
    if (number < 1 || number > 6)
        return;
    comOptions_[size_t(number)]->setChecked(true);
    // A Com choice replaces a detected port: one selection at a time.
    detectedList_->clearSelection();
    okButton_->setEnabled(true);
}

void ComPortDialog::selectCurrentDetected() {
    if (QListWidgetItem* item = detectedList_->currentItem())
        item->setSelected(true);
}

void ComPortDialog::onDetectedSelectionChanged() {
    if (!detectedList_->selectedItems().isEmpty())
        clearComOptions();
    // A selection taken away (Ctrl+click) leaves nothing to open.
    okButton_->setEnabled(!selectedDevice().isEmpty());
}

void ComPortDialog::clearComOptions() {
    // An exclusive group keeps one button checked; let go of it for the moment.
    comButtons_->setExclusive(false);
    for (int n = 1; n <= 6; ++n)
        comOptions_[size_t(n)]->setChecked(false);
    comButtons_->setExclusive(true);
}

QString ComPortDialog::selectedDevice() const {
    const QList<QListWidgetItem*> picked = detectedList_->selectedItems();
    if (!picked.isEmpty())
        return picked.first()->data(Qt::UserRole).toString();
    const int checked = comButtons_->checkedId();
    return checked >= 1 ? ComPortDevice(checked) : QString();
}

LineChoice ComPortDialog::selectedLine() const {
    LineChoice line;
    if (networkBox_->isChecked()) {
        const QString typed = networkEdit_->text().trimmed();
        line.device = IsTcpAddress(typed) ? typed : QStringLiteral("tcp://") + typed;
    } else {
        line.device = selectedDevice();
    }
    line.mode = static_cast<LineMode>(lineDriverList_->currentData().toInt());
    line.echo = echoBox_->isChecked();
    return line;
}

void ComPortDialog::selectLine(const LineChoice& line) {
    const int driver = lineDriverList_->findData(int(line.mode));
    lineDriverList_->setCurrentIndex(driver < 0 ? 0 : driver);
    echoBox_->setChecked(line.echo);
    if (IsTcpAddress(line.device)) {
        networkEdit_->setText(line.device.trimmed().mid(6));
        networkBox_->setChecked(true);
        return;
    }
    networkBox_->setChecked(false);
    for (int n = 1; n <= 6; ++n)
        if (!line.device.isEmpty() && line.device == ComPortDevice(n)) {
            chooseComPort(n);
            return;
        }
    for (int row = 0; row < detectedList_->count(); ++row)
        if (detectedList_->item(row)->data(Qt::UserRole).toString() == line.device) {
            detectedList_->setCurrentRow(row);
            selectCurrentDetected();
            return;
        }
}

void ComPortDialog::onOkClicked() {
    if (selectedDevice().isEmpty())
        return;
    // Hidden, not destroyed: the caller reads the choice and loads the main screen.
    QDialog::accept();
}

void ComPortDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The twip place assumes a screen of the layout's size; at high scaling the widened form
    // would run off the right or bottom edge, so pull it back onto the screen it opens on.
    KeepOnScreen(this);
}

} // namespace fh
