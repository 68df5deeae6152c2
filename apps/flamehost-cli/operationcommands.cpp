// Commands made of a shared operation (operations/): the address change, and the run helper
// the setup write uses too.
#include "commands.h"
#include "operations/addresschange.h"

namespace fh::cli {

std::optional<Outcome> RunOperation(const Session& s, LineOperation& op) {
    std::optional<Outcome> lineFailed;
    fh::RunOperation(op, [&](const Transaction& t) {
        // The run's first-byte window and collection rule, as for every other exchange.
        Transaction shaped = s.transaction(t.pattern, t.frame);
        shaped.test = t.test;
        shaped.attempts = t.attempts;
        const Exchange x = s.run(shaped);
        if (x.portError && !lineFailed)
            lineFailed = Unanswered(x, 0, QString()); // the port failure alone
        return x;
    });
    return lineFailed;
}

Outcome Address(const Session& s) {
    const quint8 to = s.options.newAddress;
    // Master mode: the lone detector is confirmed first, and the write goes to its own address.
    AddressChange op(s.options.address, to, s.options.address == 0);
    if (const std::optional<Outcome> lineFailed = RunOperation(s, op))
        return *lineFailed;
    if (op.refused())
        return Outcome::failure(exitcode::NoAnswer, op.refusal());
    const Exchange& x = op.write();
    const bool moved = op.result() == AddressChange::Result::Moved;
    Fields f;
    f.add("address", op.detector()->address);
    f.add("new_address", to);
    f.add("acknowledged", x.acknowledged, x.acknowledged ? "yes" : "no");
    f.add("attempts", x.attempts);
    f.add("verified", moved, moved ? "yes" : "no");
    // Moved is told even without an acknowledgement: its answer can be lost on the way back.
    Outcome o = moved ? Outcome{} : Outcome::failure(exitcode::NoAnswer, QString());
    o.message = x.acknowledged || moved
                    ? op.text()
                    : QStringLiteral("the detector at %1 did not acknowledge the new address in "
                                     "%2 attempts; %3")
                          .arg(AddressText(op.detector()->address))
                          .arg(x.attempts)
                          .arg(op.text());
    o.show(f);
    return o;
}

} // namespace fh::cli
