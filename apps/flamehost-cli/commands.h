#pragma once
// The commands of flamehost-cli. Each one runs its exchanges through a Runner (the line
// worker in the program, anything that answers in a test) and returns an Outcome to print.
#include "cliargs.h"
#include "detector/detectorrecord.h"
#include "link/exchange.h"
#include "report.h"

#include <functional>
#include <optional>

namespace fh::cli {

using Runner = std::function<Exchange(const Transaction&)>;

struct Session {
    Options options;
    Runner run;
    bool progress = false; // scan: show progress on stderr (a terminal)

    // A transaction with the run's first-byte window.
    Transaction transaction(Pattern pattern, const QByteArray& frame) const;
};

Outcome RunCommand(const Session& session);

Outcome Status(const Session& s);
Outcome Bit(const Session& s);
Outcome Version(const Session& s);
Outcome Setup(const Session& s);
Outcome SetupSet(const Session& s);
Outcome Address(const Session& s);
Outcome Readings(const Session& s);
Outcome Scan(const Session& s);

// "address 5", or "address 0 (master mode)".
QString AddressText(quint8 address);
// The outcome of an exchange that brought nothing usable: the port failed (2) or the
// detector kept silent (1); nothing when a reply was collected.
std::optional<Outcome> Unanswered(const Exchange& x, quint8 address);
// Adds whether a confirmed write was acknowledged and in how many attempts to f, shows it,
// and gives success or "did not acknowledge <what>" (1).
Outcome ReportWrite(Fields& f, const Exchange& x, quint8 address, const QString& what);
// One status poll into record (the model name is what the later requests depend on);
// nothing on success, else the outcome to report.
std::optional<Outcome> PollStatus(const Session& s, DetectorRecord* record);

} // namespace fh::cli
