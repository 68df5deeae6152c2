#pragma once
// A screen's form-level keys: the form sees every key before its controls, so a command
// letter works whatever has the focus. Enter presses the focused push button (else the
// form's default button); Esc and letters run what the screen gave them. Adding a key to a
// screen is one call: keys.on(Qt::Key_F7, [this] { ... }).
#include <functional>
#include <QHash>
#include <QObject>

class QPushButton;
class QWidget;

namespace fh {

class FormKeys : public QObject {
public:
    using Action = std::function<void()>;

    // Watches `form` and every control on it at the time of the call.
    explicit FormKeys(QWidget* form);

    // A key (Qt::Key_...), with no modifier held.
    FormKeys& on(int key, Action action);
    // A typed letter, either case.
    FormKeys& onLetter(char letter, Action action);
    // A key that runs only when `when` holds at the time; otherwise it goes to the control.
    FormKeys& onIf(int key, std::function<bool()> when, Action action);
    // Enter where no push button has the focus.
    void setDefaultButton(QPushButton* button) { default_ = button; }
    // While false, the form takes no key (a screen on its way out).
    std::function<bool()> active;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        std::function<bool()> when;
        Action action;
    };
    bool pressEnter(QObject* watched);

    QWidget* form_;
    QPushButton* default_ = nullptr;
    QHash<int, Entry> keys_;
};

} // namespace fh
