#include "hostargs.h"

#include "link/realport.h"

namespace fh {

HostCommandLine::HostCommandLine() {
    parser.setApplicationDescription(
        QStringLiteral("Maintenance host for addressable flame detectors on an RS-485 line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({simulate, port, dataDir, noSplash, lineMode, echo, acceptBadCheck});
}

QString HostCommandLine::read(const QStringList& arguments) {
    if (!parser.parse(arguments))
        return parser.errorText();
    QStringList seen;
    for (const QString& name : parser.optionNames()) {
        // Two values for one option: which one was meant is anyone's guess.
        if (seen.contains(name))
            return QStringLiteral("--%1 is given more than once").arg(name);
        seen << name;
    }
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("flamehost takes no arguments, only options: \"%1\" is not one "
                              "(see --help)")
            .arg(parser.positionalArguments().first());
    if (parser.isSet(simulate) && parser.isSet(port))
        return QStringLiteral("give either --port DEVICE or --simulate, not both");
    if (parser.isSet(port) && parser.value(port).trimmed().isEmpty())
        return QStringLiteral("--port needs a device name");
    if (parser.isSet(port) && NotASerialPort(parser.value(port)))
        return QStringLiteral("%1 is not a serial port").arg(parser.value(port));
    // An empty folder name would quietly mean the program's folder.
    if (parser.isSet(dataDir) && parser.value(dataDir).trimmed().isEmpty())
        return QStringLiteral("--data-dir needs a folder name");
    return {};
}

} // namespace fh
