#pragma once
// The reads that make up one detector's entry, each one request and what its proper answer
// puts into the entry. Pure: the survey sends the requests and hands back the exchanges.
#include "link/exchange.h"
#include "visit/record.h"

#include <vector>

namespace fh::visit {

enum class ReadStep { Status, Firmware, Setup, Bit, Readings };

// "status", "firmware", "setup", "bit", "readings".
QString StepPart(ReadStep step);

// The request of the step to the detector at address, whose model the status named (the
// setup and readings requests ask as many registers as the model has).
Transaction StepTransaction(ReadStep step, quint8 address, const QString& model, int firstByteMs);

// Puts what an answered exchange of the step holds into the entry; false when it does not
// hold it (a BIT not performed, a setup reply of another length).
bool TakeStep(ReadStep step, const Exchange& x, DetectorEntry* entry);

// The readings of a proper read-input-registers reply: only values it carries.
std::optional<Readings> ReadingsFromReply(const QByteArray& reply, const QString& model);

// Counts what the reply check said about an exchange into the entry's reply faults.
void CountReplyFault(const Exchange& x, DetectorEntry* entry);

} // namespace fh::visit
