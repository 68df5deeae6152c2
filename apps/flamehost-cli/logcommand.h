#pragma once
// log csv: a status or sums log file as CSV on stdout, its unreadable lines on stderr.
#include "cliargs.h"

namespace fh::cli {

// 0: every line read; 1: some lines could not be read; 2: the file cannot be read at all.
int RunLogCsv(const Options& options);

} // namespace fh::cli
