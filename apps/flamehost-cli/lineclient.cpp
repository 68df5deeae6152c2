#include "lineclient.h"

#include "link/realport.h"
#include "link/virtualport.h"
#include "sim/simbus.h"

#include <cstdio>
#include <QEventLoop>

namespace fh::cli {

LineClient::LineClient(const QString& device, SimBus* bus, ReplyChecker check) {
    LineWorker::PortFactory factory;
    if (bus)
        factory = [bus]() -> std::unique_ptr<SerialPort> {
            return std::make_unique<VirtualPort>(SteadyClock::instance(), *bus,
                                                 QStringLiteral("simulated bus"));
        };
    else
        factory = [device]() -> std::unique_ptr<SerialPort> {
            return std::make_unique<RealPort>(device);
        };
    worker_ = std::make_unique<LineWorker>(std::move(factory), std::move(check));
    // Said once per run, as the program does: a pseudo-terminal carries no RTS.
    QObject::connect(worker_.get(), &LineWorker::notice, worker_.get(), [](const QString& text) {
        std::fprintf(stderr, "flamehost-cli: note: %s\n", qPrintable(text));
    });
}

LineClient::~LineClient() {
    worker_->stop();
}

bool LineClient::open(QString* error) {
    return worker_->openPort(error);
}

Exchange LineClient::run(const Transaction& t) {
    QEventLoop loop;
    Exchange result;
    bool done = false;
    quint64 id = 0;
    // The result comes queued to this thread, so it cannot arrive before id is known.
    const auto connection = QObject::connect(worker_.get(), &LineWorker::commandDone, &loop,
                                             [&](const fh::Exchange& x) {
                                                 if (x.id != id)
                                                     return;
                                                 result = x;
                                                 done = true;
                                                 loop.quit();
                                             });
    id = worker_->submit(t);
    if (!done)
        loop.exec();
    QObject::disconnect(connection);
    return result;
}

} // namespace fh::cli
