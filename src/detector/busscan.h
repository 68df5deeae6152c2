#pragma once
// What one status poll of an address says about the bus: the one rule the bus overview and
// the command line's scan share. A detector counts only with a reply that passes the reply
// check as the answer to the poll of that very address; a reply that carries another address
// is named as such, never listed under the address it carries.
#include "link/exchange.h"

#include <QString>

namespace fh {

enum class ScanFinding {
    Detector,     // a proper status reply from the address polled
    Silent,       // nothing came (or the port failed)
    Garbled,      // wrong check bytes: two detectors on one address, or noise
    OtherAddress, // a well-formed reply carrying another address
    NotStatus,    // anything else that failed the check
};

struct ScanJudgement {
    ScanFinding finding = ScanFinding::Silent;
    int carriedAddress = 0; // OtherAddress: the address the reply carries
    ReplyVerdict verdict;   // the reply check's word on it
};

// poll: the worker's result of a status command to one address (1..247).
ScanJudgement JudgeScanPoll(const Exchange& poll);

// Words for a finding other than Detector and Silent: "reply carried address 2", ...
QString ScanProblemText(const ScanJudgement& judgement);

} // namespace fh
