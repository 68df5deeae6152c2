#include "lineclient.h"

#include "link/portfactory.h"
#include "sim/simbus.h"

#include <cstdio>
#include <QEventLoop>

namespace fh::cli {

LineClient::LineClient(const LineChoice& line, SimBus* bus, ReplyChecker check) {
    worker_ = std::make_unique<LineWorker>(MakePortFactory(line, bus), std::move(check));
    worker_->setLineMode(line.mode);
    worker_->setEcho(line.echo);
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
