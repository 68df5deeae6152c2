#pragma once
// A timer on a Clock: on wall time it is a plain precise QTimer; on any other clock it fires
// once that clock has reached its deadline, so screens and logs run on virtual time in tests.
#include "link/clock.h"

#include <QObject>

class QTimer;

namespace fh {

class ClockTimer : public QObject {
    Q_OBJECT
public:
    explicit ClockTimer(Clock& clock, QObject* parent = nullptr);

    void setInterval(int ms) { intervalMs_ = ms; }
    int interval() const { return intervalMs_; }
    void setSingleShot(bool single) { singleShot_ = single; }
    void start();
    void start(int ms);
    void stop();
    bool isActive() const { return active_; }

signals:
    void timeout();

private:
    void tick();

    Clock& clock_;
    QTimer* timer_;
    int intervalMs_ = 0;
    bool singleShot_ = false;
    bool active_ = false;
    qint64 dueUs_ = 0;
};

} // namespace fh
