#pragma once
// The command line of flamehost-cli, read into plain values before anything touches a port,
// so every usage mistake is answered with exit status 2 and nothing sent.
#include "link/linemode.h"
#include "visitargs.h"

#include <optional>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace fh::cli {

// Visit: one of the visit commands, which Options::visitCommand names.
enum class Command {
    Status,
    Bit,
    Version,
    Setup,
    SetupSet,
    Address,
    Readings,
    Scan,
    Monitor,
    LogCsv,
    Visit
};

// One KEY=VALUE of `setup set`; the key is already known to be a setting's name.
struct Assignment {
    QString key;
    QString value;
};

struct Options {
    QString port; // the device; empty with --simulate
    bool simulate = false;
    LineMode lineMode = LineMode::Rts;
    bool echo = false;  // the adapter returns what it sends
    quint8 address = 1; // 0: master mode, the lone detector answers
    bool json = false;
    bool acceptBadCheck = false; // replies whose check bytes alone are wrong still count
    int timeoutMs = 600;         // first-byte window of every exchange
    Command command = Command::Status;
    std::vector<Assignment> assignments; // setup set
    quint8 newAddress = 0;               // address
    int from = 1, to = 247;              // scan
    bool fastReplies = false;            // end collection once a reply of known length is in
    bool hex = false;                    // monitor: the bytes of every frame too
    int durationS = 0;                   // monitor: stop after this long; 0 runs until Ctrl+C
    QString logFile;                     // log csv
    QDateTime logFrom, logTo; // log csv: the log's wall clock, held as UTC; invalid: open end
    VisitCommand visitCommand = VisitCommand::None;
    VisitOptions visit;
};

struct ParsedArgs {
    std::optional<Options> options; // nothing: help or version asked for, or a usage error
    bool help = false;
    bool version = false;
    QString helpText;
    QString error; // plain words, without the program name
};

// arguments as main() gets them, the program name first.
ParsedArgs ParseArguments(const QStringList& arguments);

// The setting names `setup set` takes, in the order they are shown.
QStringList SettingKeys();
// The flag names among them.
QStringList FlagKeys();

// "on"/"off" (also true/false, yes/no, 1/0); nothing for any other text.
std::optional<bool> OnOff(const QString& text);

} // namespace fh::cli
