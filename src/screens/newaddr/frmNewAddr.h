#pragma once
// The new-address dialog: moves the detector the main screen works with to another bus
// address that nothing answers at, then points the main screen at it.
#include "link/exchange.h"
#include "operations/addresschange.h"
#include "screens/common/pendingwrite.h"

#include <optional>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace fh {

class ScreenContext;

class frmNewAddr : public QDialog {
    Q_OBJECT
public:
    // Created and shown (not modal) by the main screen after its presence read got a reply;
    // deletes itself when closed. Without a parent it hangs on the main screen's window.
    explicit frmNewAddr(ScreenContext& ctx, QWidget* parent = nullptr);

    static const QString NotConfirmedTitle;
    // The warning after a SEND whose detector was not heard at the new address since; %1 is
    // the new address.
    static const QString NotConfirmedText;

    QLabel* lblHeadAddr = nullptr;
    QLineEdit* txtNewAddr = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* lblWriting = nullptr; // the write's attempts while it runs, else hidden

    void Form_Load();
    void txtNewAddr_Change();
    void cmdSend_Click();
    void Command1_Click();
    void Form_Unload();

    // SEND has sent the write and waits for the outcome.
    bool writePending() const { return write_.pending(); }

    // Escape is CANCEL.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void writeDone(const Exchange& x);

    ScreenContext& ctx_;
    std::optional<AddressChange> change_;
    PendingWrite write_;
};

} // namespace fh
