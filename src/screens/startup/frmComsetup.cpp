#include "screens/startup/frmComsetup.h"

#include "link/datadir.h"
#include "screens/common/keyhelp.h"
#include "screens/common/onscreen.h"
#include "screens/twips.h"

#include <QButtonGroup>
#include <QFont>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>

namespace fh {

namespace {
constexpr int OptionLefts[3] = {600, 2040, 3600};
constexpr int OptionTops[2] = {480, 1080};
// Form_Load's place and size; the detected-ports frame widens the form to its right.
constexpr int FormLeft = 2300, FormTop = 1700, FormWidth = 6300, FormHeight = 3800;
constexpr int DetectedLeft = 5640, DetectedWidth = 2775;
} // namespace

frmComsetup::frmComsetup(QWidget* parent) : frmComsetup(DetectedPorts(), parent) {}

frmComsetup::frmComsetup(const QStringList& detectedPorts, QWidget* parent) : QDialog(parent) {
    build(detectedPorts);
    Form_Load();
}

QStringList frmComsetup::DetectedPorts() {
    QStringList out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        out << info.systemLocation();
    out.sort();
    return out;
}

void frmComsetup::build(const QStringList& detectedPorts) {
    setObjectName(QStringLiteral("frmComsetup"));
    InstallKeyHelp(this, QStringLiteral("COM port"), ComSetupKeys());
    setWindowTitle(QStringLiteral("Communication Setup"));
    setFont(QFont(QStringLiteral("Times New Roman"), 10));

    Frame1 = new QGroupBox(QStringLiteral("Communication Port"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    SetTwipGeometry(Frame1, 240, 240, 5175, 1695);
    comGroup_ = new QButtonGroup(this);
    for (int n = 1; n <= 6; ++n) {
        auto* opt = new QRadioButton(QStringLiteral("Com %1").arg(n), Frame1);
        opt->setObjectName(QStringLiteral("optPort1_%1").arg(n));
        SetTwipGeometry(opt, OptionLefts[(n - 1) % 3], OptionTops[(n - 1) / 3], 1095, 375);
        // Toggled, not clicked: the arrow keys move the choice within the group too.
        connect(opt, &QRadioButton::toggled, this, [this, n](bool on) {
            if (on)
                optPort1_Click(n);
        });
        comGroup_->addButton(opt, n);
        optPort1[n] = opt;
    }

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    SetTwipGeometry(CancelButton, 1560, 2160, 1215, 735);
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    SetTwipGeometry(OKButton, 3120, 2160, 1215, 735);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });

    fraDetected = new QGroupBox(QStringLiteral("Detected Ports"), this);
    fraDetected->setObjectName(QStringLiteral("fraDetected"));
    SetTwipGeometry(fraDetected, DetectedLeft, 240, DetectedWidth, 2655);
    lstDetected = new QListWidget(fraDetected);
    lstDetected->setObjectName(QStringLiteral("lstDetected"));
    SetTwipGeometry(lstDetected, 120, 360, DetectedWidth - 240, 2175);
    for (const QString& device : detectedPorts) {
        auto* item = new QListWidgetItem(device, lstDetected);
        item->setData(Qt::UserRole, device);
    }
    // Selection, not clicks: a port picked with the arrow keys counts the same as a click.
    connect(lstDetected, &QListWidget::itemSelectionChanged, this,
            [this] { detectedSelectionChanged(); });
    connect(lstDetected, &QListWidget::itemDoubleClicked, this, [this] {
        lstDetected_Click();
        OKButton_Click();
    });
    fraDetected->setVisible(!detectedPorts.isEmpty());
    optPort1[1]->setChecked(true);
    buildLineControls();
}

void frmComsetup::Form_Load() {
    int width = FormWidth;
    if (lstDetected->count() > 0)
        width = DetectedLeft + DetectedWidth + 240;
    move(Twips(FormLeft), Twips(FormTop));
    setFixedSize(Twips(width), Twips(FormHeight + LineControlsHeight));
    SelectedPort = 1;
}

void frmComsetup::optPort1_Click(int index) {
    if (index < 1 || index > 6)
        return;
    SelectedPort = quint8(index);
    optPort1[index]->setChecked(true);
    // A Com choice replaces a detected port: one selection at a time.
    lstDetected->clearSelection();
    OKButton->setEnabled(true);
}

void frmComsetup::lstDetected_Click() {
    if (QListWidgetItem* item = lstDetected->currentItem())
        item->setSelected(true);
}

void frmComsetup::detectedSelectionChanged() {
    if (!lstDetected->selectedItems().isEmpty())
        clearComOptions();
    // A selection taken away (Ctrl+click) leaves nothing to open.
    OKButton->setEnabled(!SelectedDevice().isEmpty());
}

void frmComsetup::clearComOptions() {
    // An exclusive group keeps one button checked; let go of it for the moment.
    comGroup_->setExclusive(false);
    for (int n = 1; n <= 6; ++n)
        optPort1[n]->setChecked(false);
    comGroup_->setExclusive(true);
}

QString frmComsetup::SelectedDevice() const {
    const QList<QListWidgetItem*> picked = lstDetected->selectedItems();
    if (!picked.isEmpty())
        return picked.first()->data(Qt::UserRole).toString();
    const int checked = comGroup_->checkedId();
    return checked >= 1 ? ComPortDevice(checked) : QString();
}

void frmComsetup::OKButton_Click() {
    if (SelectedDevice().isEmpty())
        return;
    // Hidden, not destroyed: the caller reads the choice and loads the main screen.
    QDialog::accept();
}

void frmComsetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The twip place assumes a screen of the layout's size; at high scaling the widened form
    // would run off the right or bottom edge, so pull it back onto the screen it opens on.
    KeepOnScreen(this);
}

void frmComsetup::CancelButton_Click() {
    QDialog::reject();
}

void frmComsetup::reject() {
    CancelButton_Click();
}

} // namespace fh
