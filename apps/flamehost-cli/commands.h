#pragma once
// The commands of flamehost-cli. Each one runs its exchanges through a Runner (the line
// worker in the program, anything that answers in a test) and returns an Outcome to print.
#include "cliargs.h"
#include "detector/detectorrecord.h"
#include "link/exchange.h"
#include "report.h"

#include <functional>
#include <optional>

namespace fh {
class LineOperation;
class LineWorker;
} // namespace fh

namespace fh::cli {

using Runner = std::function<Exchange(const Transaction&)>;

struct Session {
    Options options;
    Runner run;
    bool progress = false;        // scan: show progress on stderr (a terminal)
    LineWorker* worker = nullptr; // the line itself, for the visit commands' own steps

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

// Adds the reply check's counts to a JSON object outcome when anything was not a clean answer.
void AddReplyFaults(Outcome& outcome, const ReplyFaultCounts& counts);

// "address 5", or "address 0 (master mode)".
QString AddressText(quint8 address);
// The outcome of an exchange that brought nothing usable: the port failed (2), the detector
// kept silent or what came failed the reply check (1, with the reason); nothing when answered.
std::optional<Outcome> Unanswered(const Exchange& x, quint8 address, const QString& what);
// Adds whether a confirmed write was acknowledged and in how many attempts to f, shows it,
// and gives success or "did not acknowledge <what>" (1).
Outcome ReportWrite(Fields& f, const Exchange& x, quint8 address, const QString& what);
// One status poll into record (the model name is what the later requests depend on);
// nothing on success, else the outcome to report. In master mode record->Address is the
// address of the detector that answered alone.
std::optional<Outcome> PollStatus(const Session& s, DetectorRecord* record);
// Runs a shared operation with the run's window and collection rule; nothing when the line
// held, else the port failure's outcome.
std::optional<Outcome> RunOperation(const Session& s, LineOperation& op);

} // namespace fh::cli
