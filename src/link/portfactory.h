#pragma once
// The port for a line choice: a device server for tcp://HOST:PORT, else the serial device, or
// the virtual line to a simulated bus, whose adapter then suits the chosen mode and echo.
#include "link/linemode.h"
#include "link/lineworker.h"

namespace fh {

class LinePeer;

LineWorker::PortFactory MakePortFactory(const LineChoice& line, LinePeer* simulated = nullptr);

} // namespace fh
