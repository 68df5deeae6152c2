#pragma once
// A real MQTT broker (Debian's mosquitto) for the tests, on a free loopback port, with what a
// test reads back through mosquitto_sub.
#include "common/bytes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace fh::test {

class Broker {
public:
    // extra: more lines for mosquitto.conf (a password file, TLS files). Started as root, it
    // stays root, so it reads the files a test leaves in its private folder.
    explicit Broker(const QByteArray& extra = {}) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        config_ = "listener " + QByteArray::number(port_) + " 127.0.0.1\nuser root\n" +
                  (extra.contains("password_file") ? QByteArray() : "allow_anonymous true\n") +
                  extra;
    }
    ~Broker() { stop(); }

    // False when mosquitto is missing or does not take connections; again after stop(), on
    // the same port.
    bool start() {
        const QString file = dir_.filePath("mosquitto.conf");
        writeAll(file, config_);
        process_.start(program("mosquitto"), {"-c", file});
        for (int i = 0; i < 100 && process_.state() != QProcess::NotRunning; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(100))
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    void stop() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    quint16 port() const { return port_; }
    QString url() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port_); }
    QString dir() const { return dir_.path(); }

    // The first message on topic within the seconds given (a retained one at once), or
    // "<none>"; args: more mosquitto_sub options (an account, a CA file).
    QByteArray first(const QString& topic, int seconds = 5, const QStringList& args = {}) const {
        QProcess sub;
        sub.start(program("mosquitto_sub"),
                  QStringList{"-h", "127.0.0.1", "-p", QString::number(port_), "-t", topic, "-C",
                              "1", "-W", QString::number(seconds)} +
                      args);
        sub.waitForFinished((seconds + 5) * 1000);
        const QByteArray out = sub.readAllStandardOutput().trimmed();
        return sub.exitCode() == 0 ? out : QByteArray("<none>");
    }

    static QString program(const QString& name) {
        return QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/bin", "/sbin", "/bin"});
    }

private:
    QTemporaryDir dir_;
    QByteArray config_;
    QProcess process_;
    quint16 port_ = 0;
};

} // namespace fh::test
