#pragma once
// Log records as CSV for spreadsheets and time-series databases: one line per record, LF line
// ends, UTF-8.
#include "logging/logreader.h"

#include <QByteArray>

namespace fh {

// "time,address,serial,status" and, for the sums log, ",fault,sum4,sum45,sum5"; with its line end.
QByteArray LogCsvHeader(LogKind kind);

// The record's line: the time in ISO 8601 without a zone (the log names none), the serial empty
// when the log's column was, the sums with the one decimal the log has ("nan", "inf", "-inf"
// as written).
QByteArray LogCsvRow(const LogRecord& record, LogKind kind);

} // namespace fh
