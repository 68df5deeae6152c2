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

// The warning after a SEND whose detector was not heard at the new address since; %1 is the
// new address.
inline const QString AddressNotConfirmedText =
    QStringLiteral("The detector did not confirm the new address.\rThe main screen now uses "
                   "address %1.");

// Its controls carry their form names as objectName ("txtNewAddr", "cmdSend", "Command1").
class NewAddressDialog : public QDialog {
    Q_OBJECT
public:
    // Created and shown (not modal) by the main screen after its presence read got a reply;
    // deletes itself when closed. Without a parent it hangs on the main screen's window.
    explicit NewAddressDialog(ScreenContext& ctx, QWidget* parent = nullptr);

    // Escape is CANCEL.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    bool writePending() const { return write_.pending(); }
    void onAddressEdited();
    void onSendClicked();
    void onCancelClicked();
    void writeDone(const Exchange& x);

    ScreenContext& ctx_;
    std::optional<AddressChange> change_;
    PendingWrite write_;

    QLineEdit* addressEdit_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* writingLabel_ = nullptr; // the write's attempts while it runs, else hidden
};

} // namespace fh
