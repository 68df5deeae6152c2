#include "screens/common/formkeys.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace fh {

FormKeys::FormKeys(QWidget* form) : QObject(form), form_(form) {
    form->installEventFilter(this);
    for (QWidget* w : form->findChildren<QWidget*>())
        w->installEventFilter(this);
}

FormKeys& FormKeys::on(int key, Action action) {
    keys_.insert(key, Entry{{}, std::move(action)});
    return *this;
}

FormKeys& FormKeys::onLetter(char letter, Action action) {
    // Letters are looked up by their key, which is the same for both cases.
    return on(Qt::Key_A + (QChar::fromLatin1(letter).toUpper().unicode() - 'A'), std::move(action));
}

FormKeys& FormKeys::onIf(int key, std::function<bool()> when, Action action) {
    keys_.insert(key, Entry{std::move(when), std::move(action)});
    return *this;
}

bool FormKeys::pressEnter(QObject* watched) {
    auto* focused = qobject_cast<QPushButton*>(watched);
    QPushButton* target = focused ? focused : default_;
    if (!target || !target->isVisible() || !target->isEnabled())
        return false;
    target->click();
    return true;
}

bool FormKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (active && !active()))
        return QObject::eventFilter(watched, event);
    auto* k = static_cast<QKeyEvent*>(event);
    // Accelerators (Alt+letter) stay with the buttons' own shortcuts; the keypad's Enter
    // counts as Enter.
    if (k->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        return QObject::eventFilter(watched, event);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        if (!keys_.contains(k->key()))
            return pressEnter(watched) || QObject::eventFilter(watched, event);
    }
    const auto found = keys_.constFind(k->key());
    if (found == keys_.constEnd() || (found->when && !found->when()))
        return QObject::eventFilter(watched, event);
    // Copied: the action may close the form and delete this filter with it.
    const Action action = found->action;
    action();
    return true;
}

} // namespace fh
