#pragma once
// How the line driver is switched between sending and listening, and the line choice as the
// operator makes it (device, driver mode, echo), remembered per user between runs.
#include <optional>
#include <QString>
#include <QStringList>

namespace fh {

enum class LineMode {
    Rts,         // RTS on while sending (the default)
    RtsInverted, // RTS low while sending
    Auto,        // the adapter switches by itself; RTS is never touched
    Kernel,      // the serial driver keys the line (TIOCSRS485)
};

// The option words: "rts", "rts-inverted", "auto", "kernel".
QString LineModeName(LineMode mode);
std::optional<LineMode> ParseLineMode(const QString& word);
QStringList LineModeNames();

struct LineChoice {
    QString device; // a device path, a platform name (COM3) or tcp://HOST:PORT
    LineMode mode = LineMode::Rts;
    bool echo = false; // the adapter hears its own transmission
};

// The last choice made in the COM-port dialog (QSettings, per user); defaults where none.
LineChoice LoadLineChoice();
void SaveLineChoice(const LineChoice& choice);

} // namespace fh
