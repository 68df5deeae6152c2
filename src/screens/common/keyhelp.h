#pragma once
// F1 on every screen: a small window listing that screen's keys.
#include <QList>
#include <QString>

class QWidget;

namespace fh {

struct KeyLine {
    QString key;
    QString does;
};
using KeyList = QList<KeyLine>;

KeyList MainKeys();
KeyList MaintenanceKeys();
KeyList SetupKeys();
KeyList NewAddrKeys();
KeyList LogViewerKeys();
KeyList PasswordKeys();
KeyList ComSetupKeys();
KeyList TrafficKeys();
KeyList OverviewKeys();

// Shows the keys of the screen (and about, when given) in a small window beside it.
void ShowKeyHelp(QWidget* screen, const QString& title, const KeyList& keys,
                 const QString& about = {});
// F1 anywhere in screen shows its keys.
void InstallKeyHelp(QWidget* screen, const QString& title, const KeyList& keys,
                    const QString& about = {});

} // namespace fh
