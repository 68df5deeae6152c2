#pragma once
// The command line of flamehost, read and checked before any window opens, so a mistake is
// answered on stderr with exit status 2 rather than by a program that half ignores it.
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace fh {

struct HostCommandLine {
    QCommandLineParser parser;
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Talk to a built-in bus of simulated detectors "
                                               "instead of a serial port.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Open DEVICE (e.g. /dev/ttyUSB0, or tcp://HOST:PORT "
                                           "for a device server) instead of asking for a COM "
                                           "port."),
                            QStringLiteral("DEVICE")};
    QCommandLineOption dataDir{
        QStringLiteral("data-dir"),
        QStringLiteral("Keep CommTune.txt and the logs in DIR (default: the program's directory "
                       "when writable and not installed, else the user's application data)."),
        QStringLiteral("DIR")};
    QCommandLineOption noSplash{QStringLiteral("no-splash"),
                                QStringLiteral("Start without the splash screen.")};
    QCommandLineOption lineMode{
        QStringLiteral("line-mode"),
        QStringLiteral("How the line driver is keyed: rts, rts-inverted, auto or kernel "
                       "(default: the last one chosen, else rts)."),
        QStringLiteral("MODE")};
    QCommandLineOption echo{QStringLiteral("echo"),
                            QStringLiteral("The adapter returns every byte it sends.")};
    QCommandLineOption acceptBadCheck{
        QStringLiteral("accept-bad-check"),
        QStringLiteral("Take replies whose check bytes alone are wrong (a detector whose "
                       "firmware gets them wrong). Every other check stays on.")};

    HostCommandLine();

    // Reads the arguments (the program name first). Empty when they make sense, else what is
    // wrong in plain words. --help and --version are left to the parser to print.
    QString read(const QStringList& arguments);
};

} // namespace fh
