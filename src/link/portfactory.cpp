#include "link/portfactory.h"

#include "link/realport.h"
#include "link/tcpport.h"
#include "link/virtualport.h"

namespace fh {

LineWorker::PortFactory MakePortFactory(const LineChoice& line, LinePeer* simulated) {
    if (simulated)
        return [line, simulated]() -> std::unique_ptr<SerialPort> {
            auto port = std::make_unique<VirtualPort>(
                SteadyClock::instance(), *simulated,
                line.device.isEmpty() ? QStringLiteral("simulated bus") : line.device);
            port->setAdapter(line.mode);
            port->setEcho(line.echo);
            return port;
        };
    if (IsTcpAddress(line.device))
        return [device = line.device]() -> std::unique_ptr<SerialPort> {
            return std::make_unique<TcpPort>(device);
        };
    return [device = line.device]() -> std::unique_ptr<SerialPort> {
        return std::make_unique<RealPort>(device);
    };
}

} // namespace fh
