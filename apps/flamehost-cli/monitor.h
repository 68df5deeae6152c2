#pragma once
// monitor: listens to a bus another master drives, never sending a byte, and prints what goes
// over it frame by frame.
#include "cliargs.h"

namespace fh::cli {

// Runs until Ctrl+C (or SIGTERM) or options.durationS; returns the exit status.
int RunMonitor(const Options& options);

} // namespace fh::cli
