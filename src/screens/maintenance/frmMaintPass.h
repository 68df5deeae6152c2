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
