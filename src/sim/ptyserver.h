#pragma once
// Serves a simulated bus on a pseudo-terminal, so any program that opens serial devices
// (the host itself, a terminal, a test) can talk to the detectors.
#include "link/linepeer.h"
#include "sim/requestloop.h"

#include <atomic>
#include <QByteArray>
#include <QString>
#include <thread>

namespace fh {

class PtyServer {
public:
    // While no program holds the device open, look again this often.
    static constexpr int IdleRetryMs = 50;

    explicit PtyServer(LinePeer& peer);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (raw, so bytes pass untranslated). False with *error set
    // when the system refuses.
    bool open(QString* error);
    // The device path a client opens, e.g. /dev/pts/7.
    QString devicePath() const { return path_; }

    // Serves on a thread of its own until stop() or destruction.
    void start();
    void stop();

private:
    void run();

    LinePeer& peer_;
    int master_ = -1;
    QString path_;
    ServingThread serving_;
};

} // namespace fh
