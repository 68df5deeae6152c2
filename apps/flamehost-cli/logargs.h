#pragma once
// The words of `log csv FILE [--from ISO] [--to ISO]`, which reads a file and needs no line.
#include "cliargs.h"

#include <QCommandLineParser>

namespace fh::cli {

// `words`: the positional arguments from "log" on; `from` and `to`: the options' texts (read only
// when given).
ParsedArgs ParseLogCommand(const QCommandLineParser& parser, const QStringList& words,
                           const QString& from, const QString& to);

} // namespace fh::cli
