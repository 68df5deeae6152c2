#pragma once
// The password dialog that unlocks the main screen's maintenance button for the rest of the
// run.
#include <QDialog>
#include <QString>

class QLineEdit;

namespace fh {

class ScreenContext;

class MaintenancePasswordDialog : public QDialog {
    Q_OBJECT
public:
    // Modal; deletes itself when closed.
    explicit MaintenancePasswordDialog(ScreenContext& ctx, QWidget* parent = nullptr);

protected:
    // Every way out gives the keys back to the screen behind.
    void done(int result) override;

private:
    // The entry goes to the maintenance gate; the dialog closes whatever the outcome.
    void onOkClicked();
    // A wrong entry is told to the operator.
    void checkPassword();

    ScreenContext& ctx_;
    QLineEdit* passwordBox_ = nullptr; // shows "*" for every character
};

} // namespace fh
