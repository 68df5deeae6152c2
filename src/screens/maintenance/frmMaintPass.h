#pragma once
// The password dialog that unlocks the main screen's maintenance button for the rest of the
// run.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace fh {

class ScreenContext;

// The one password, fixed at program start: three lower-case letters.
inline const QString MaintenancePassword = QStringLiteral("vuk");
// The last entry taken from the dialog; empty at start and kept for the whole run. Once the
// gate is open it keeps the right entry, so later entries are not read any more.
QString& EnteredPassword();

class frmMaintPass : public QDialog {
    Q_OBJECT
public:
    // Modal; deletes itself when closed.
    explicit frmMaintPass(ScreenContext& ctx, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* txtPass = nullptr; // shows "*" for every character
    QPushButton* cmdOK = nullptr; // the default button

    // Check_Pass, then close whatever the outcome.
    void cmdOK_Click();
    void Check_Pass();

protected:
    // Every way out gives the keys back to the screen behind.
    void done(int result) override;

private:
    ScreenContext& ctx_;
};

} // namespace fh
