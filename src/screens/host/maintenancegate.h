#pragma once
// The maintenance password and the gate it opens: the main screen's maintenance button shows
// for the rest of the run once the right password was given.
#include <QObject>
#include <QString>

namespace fh {

// The one password, fixed at program start: three lower-case letters.
inline const QString MaintenancePassword = QStringLiteral("vuk");

class MaintenanceGate : public QObject {
    Q_OBJECT
public:
    enum class Entry {
        Nothing, // an empty entry: no check, no message
        Right,   // the gate is open (or already was)
        Wrong,   // the operator is told to try again
    };

    // An entry from the password dialog. Once the gate is open it keeps the right entry, so
    // later entries are not read any more.
    Entry enter(const QString& entry);
    bool unlocked() const { return unlocked_; }

signals:
    void changed();

private:
    QString entered_; // the last entry taken, kept for the whole run
    bool unlocked_ = false;
};

} // namespace fh
