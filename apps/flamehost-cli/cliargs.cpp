#include "cliargs.h"

#include "link/tcpport.h"
#include "logargs.h"

#include <QCommandLineParser>
#include <QSet>

namespace fh::cli {

namespace {

constexpr int MaxBusAddress = 247;
constexpr int MaxTimeoutMs = 60'000;

const char* const CommandsHelp = R"(
Commands:
  status                 One status poll: address, model, serial, status, fault, link.
                         With --address 0 (master mode) the lone detector answers.
  bit                    Polls status, then runs the built-in test; says whether it
                         was performed.
  version                The firmware version text.
  setup                  The setup table as the setup screen shows it: model,
                         sensitivity, delay, heat_mode, heat_on and the shown flags.
  setup set KEY=VALUE... Changes those settings and writes every other listed one
                         as read. Keys: sensitivity, delay, heat_mode, heat_on (a text
                         of the model's list) and the flags alarm_latch,
                         relay_on_warning, auto_bit, alarm_on_bit, relay_on_bit,
                         relay_as_eol (on/off). A setting read outside its list is
                         refused unless named. Bytes the setup frame carries but no
                         setting shows (register 2, the unused bits, a hidden delay)
                         are written as 0.
  address NEW            Moves the detector at --address to bus address NEW (1-247).
                         With --address 0 a status poll must first find one
                         detector alone on the line; nothing is written otherwise.
  readings               The maintenance readings: sums, BIT sums, noise, gain,
                         temperature, voltage, serial, status, fault.
  scan [--from A] [--to B]
                         Polls every address from A to B (default 1 to 247) and lists
                         each detector that answers properly, and each address whose
                         reply failed the check with what came instead (e.g. "reply
                         carried address 2"). A --timeout below 600 makes a
                         whole-bus scan take seconds. A scan always ends each
                         collection as soon as a complete reply is in.
  monitor [--hex] [--duration S]
                         Listens to a bus that another master drives, without ever
                         sending: one line per frame in words (--hex adds the bytes),
                         until Ctrl+C or S seconds, then the counters.
  log csv FILE [--from ISO] [--to ISO]
                         Prints a status or sums log (Ir3Log.txt, Ir3SumsLog.txt) as
                         CSV: time (ISO 8601, the log's clock), address, serial,
                         status and, for the sums log, fault and the three sums;
                         only records from --from to --to (2026-12-05, or
                         2026-12-05T04:27:37; a date alone --to covers its day).
                         Needs no --port. Dates and times are read in the locale of
                         LC_TIME. Lines that cannot be read go to stderr with their
                         line numbers, and the exit status is then 1.

Exit status: 0 success, 1 the detector did not answer or refused (log csv: a line could not
be read), 2 usage or port error (log csv: the file cannot be read).
)";

struct Words {
    const char* name;
    Command command;
};

// QCommandLineParser takes "-1" for an option named 1; a leading mark keeps a negative
// number an argument, so it meets the range check of whatever it was given for.
const QString NumberMark = QStringLiteral("\u0001");

QStringList shieldNegativeNumbers(QStringList arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a.size() > 1 && a[0] == QLatin1Char('-') &&
            (a[1].isDigit() || a[1] == QLatin1Char('.')))
            arguments[i].prepend(NumberMark);
    }
    return arguments;
}

QString unshield(QString text) {
    return text.startsWith(NumberMark) ? text.mid(1) : text;
}

// The first option given more than once ("--address 3 --address 4"): which one was meant is
// anyone's guess, so it is refused rather than the last one taken.
QString repeatedOption(const QCommandLineParser& parser) {
    QStringList seen;
    for (const QString& name : parser.optionNames()) {
        if (seen.contains(name))
            return name;
        seen << name;
    }
    return {};
}

std::optional<int> wholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok, 10);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

} // namespace

QStringList SettingKeys() {
    return QStringList{"sensitivity", "delay", "heat_mode", "heat_on"} + FlagKeys();
}

QStringList FlagKeys() {
    return {"alarm_latch",  "relay_on_warning", "auto_bit",
            "alarm_on_bit", "relay_on_bit",     "relay_as_eol"};
}

std::optional<bool> OnOff(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == "on" || t == "true" || t == "yes" || t == "1")
        return true;
    if (t == "off" || t == "false" || t == "no" || t == "0")
        return false;
    return std::nullopt;
}

ParsedArgs ParseArguments(const QStringList& arguments) {
    ParsedArgs result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Talks to addressable flame detectors on an RS-485 line.\n\n"
                       "flamehost-cli (--port DEVICE | --simulate) [--address N] [--json] "
                       "[--timeout MS] [--line-mode MODE] [--echo] COMMAND [ARGS]\n"
                       "flamehost-cli log csv FILE [--from ISO] [--to ISO]"));
    const QCommandLineOption help(QStringList{"h", "help"},
                                  QStringLiteral("Shows this help and leaves."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The serial device (/dev/ttyUSB0, a "
                                                 "pseudo-terminal of flamehost-sim), or "
                                                 "tcp://HOST:PORT for a device server."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Talk to the built-in bus of simulated detectors instead of a port."));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("Bus address of the detector, 1-247, or 0 for master mode (default 1)."),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the result as JSON."));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Wait this many milliseconds for a reply's first byte (default 600)."),
        QStringLiteral("MS"), QStringLiteral("600"));
    const QCommandLineOption acceptBadCheck(
        QStringLiteral("accept-bad-check"),
        QStringLiteral("Take replies whose check bytes alone are wrong (a detector whose "
                       "firmware gets them wrong); every other check stays on."));
    const QCommandLineOption from(
        QStringLiteral("from"),
        QStringLiteral("scan: first address (default 1); log csv: first date and time."),
        QStringLiteral("A"), QStringLiteral("1"));
    const QCommandLineOption to(
        QStringLiteral("to"),
        QStringLiteral("scan: last address (default 247); log csv: last date and time."),
        QStringLiteral("B"), QStringLiteral("247"));
    const QCommandLineOption lineMode(
        QStringLiteral("line-mode"),
        QStringLiteral("How the line driver is keyed: rts (default), rts-inverted, auto or "
                       "kernel."),
        QStringLiteral("MODE"), QStringLiteral("rts"));
    const QCommandLineOption echo(QStringLiteral("echo"),
                                  QStringLiteral("The adapter returns every byte it sends."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version and leaves."));
    const QCommandLineOption fast(
        QStringLiteral("fast-replies"),
        QStringLiteral("End each collection 3.5 character times after a complete reply of known "
                       "length instead of after the fixed 100 ms."));
    const QCommandLineOption hexBytes(QStringLiteral("hex"),
                                      QStringLiteral("monitor: show the bytes of every frame."));
    const QCommandLineOption duration(QStringLiteral("duration"),
                                      QStringLiteral("monitor: stop after S seconds."),
                                      QStringLiteral("S"));
    parser.addOptions({help, version, port, simulate, address, json, timeout, acceptBadCheck, from,
                       to, lineMode, echo, fast, hexBytes, duration});
    AddVisitOptions(parser);
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("One of the commands below."),
                                 QStringLiteral("COMMAND [ARGS]"));

    auto usage = [&result](const QString& message) {
        result.error = message + QStringLiteral(" (see --help)");
        return result;
    };

    if (!parser.parse(shieldNegativeNumbers(arguments)))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        result.help = true;
        result.helpText = parser.helpText() + QString::fromLatin1(CommandsHelp) +
                          QString::fromLatin1(VisitCommandsHelp);
        return result;
    }
    if (parser.isSet(version)) {
        result.version = true;
        return result;
    }

    if (const QString twice = repeatedOption(parser); !twice.isEmpty())
        return usage(QStringLiteral("--%1 is given more than once").arg(twice));
    auto value = [&parser](const QCommandLineOption& option) {
        return unshield(parser.value(option));
    };
    QStringList words;
    for (const QString& w : parser.positionalArguments())
        words << unshield(w);
    if (!words.isEmpty() && words.first() == QLatin1String("log"))
        return ParseLogCommand(parser, words, value(from), value(to));

    Options o;
    o.simulate = parser.isSet(simulate);
    o.port = value(port);
    o.json = parser.isSet(json);
    o.fastReplies = parser.isSet(fast);
    o.acceptBadCheck = parser.isSet(acceptBadCheck);
    // report and survey diff read files and need no line.
    if (!FilesOnly(parser.positionalArguments()) && parser.isSet(port) == o.simulate)
        return usage(QStringLiteral("give either --port DEVICE or --simulate"));
    if (parser.isSet(port) && o.port.trimmed().isEmpty())
        return usage(QStringLiteral("--port needs a device name"));
    QString why;
    if (IsTcpAddress(o.port) && !ParseTcpAddress(o.port, nullptr, nullptr, &why))
        return usage(why);
    const auto mode = ParseLineMode(parser.value(lineMode));
    if (!mode)
        return usage(QStringLiteral("--line-mode must be one of %1, not \"%2\"")
                         .arg(LineModeNames().join(QStringLiteral(", ")), parser.value(lineMode)));
    o.lineMode = *mode;
    o.echo = parser.isSet(echo);

    const auto addr = wholeNumber(value(address), 0, MaxBusAddress);
    if (!addr)
        return usage(QStringLiteral("--address must be a whole number from 0 to 247, not \"%1\"")
                         .arg(value(address)));
    o.address = quint8(*addr);
    const auto ms = wholeNumber(value(timeout), 1, MaxTimeoutMs);
    if (!ms)
        return usage(QStringLiteral("--timeout must be a whole number of milliseconds from 1 to "
                                    "60000, not \"%1\"")
                         .arg(value(timeout)));
    o.timeoutMs = *ms;

    if (words.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString word = words.takeFirst();
    static const Words table[] = {
        {"status", Command::Status}, {"bit", Command::Bit},         {"version", Command::Version},
        {"setup", Command::Setup},   {"address", Command::Address}, {"readings", Command::Readings},
        {"scan", Command::Scan},     {"monitor", Command::Monitor}, {"survey", Command::Visit},
        {"report", Command::Visit},
    };
    const Words* found = nullptr;
    for (const Words& w : table)
        if (word == QLatin1String(w.name))
            found = &w;
    if (!found)
        return usage(QStringLiteral("unknown command \"%1\"").arg(word));
    o.command = found->command;
    const VisitWords visit = ReadVisitCommand(
        parser, [&](const QString& name) { return unshield(parser.value(name)); }, word, words,
        &o.visit);
    if (!visit.error.isEmpty())
        return usage(visit.error);
    if (visit.command != VisitCommand::None) {
        o.command = Command::Visit;
        o.visitCommand = visit.command;
        words.clear();
    }
    if (o.command == Command::Setup && !words.isEmpty()) {
        if (words.takeFirst() != QLatin1String("set"))
            return usage(QStringLiteral("setup takes nothing, or \"set KEY=VALUE ...\""));
        o.command = Command::SetupSet;
        if (words.isEmpty())
            return usage(QStringLiteral("setup set needs at least one KEY=VALUE"));
    }

    const bool scanning = o.command == Command::Scan;
    if (!scanning && (parser.isSet(from) || parser.isSet(to)))
        return usage(QStringLiteral("--from and --to belong to the scan command"));
    if (scanning && parser.isSet(address))
        return usage(QStringLiteral("scan goes through addresses by itself; use --from and --to "
                                    "instead of --address"));

    const bool monitoring = o.command == Command::Monitor;
    if (!monitoring && (parser.isSet(hexBytes) || parser.isSet(duration)))
        return usage(QStringLiteral("--hex and --duration belong to the monitor command"));
    if (monitoring) {
        if (o.simulate)
            return usage(QStringLiteral("monitor listens to a real line; give --port DEVICE"));
        if (parser.isSet(address) || parser.isSet(timeout) || o.fastReplies)
            return usage(QStringLiteral("monitor only listens: --address, --timeout and "
                                        "--fast-replies do not apply"));
        o.hex = parser.isSet(hexBytes);
        if (parser.isSet(duration)) {
            const auto s = wholeNumber(value(duration), 1, 7 * 24 * 3600);
            if (!s)
                return usage(QStringLiteral("--duration must be a whole number of seconds from 1 "
                                            "to 604800, not \"%1\"")
                                 .arg(value(duration)));
            o.durationS = *s;
        }
    }

    switch (o.command) {
    case Command::SetupSet: {
        QSet<QString> seen;
        for (const QString& pair : words) {
            const qsizetype eq = pair.indexOf(QLatin1Char('='));
            const QString key = pair.left(eq).trimmed();
            if (eq < 0 || key.isEmpty())
                return usage(QStringLiteral("\"%1\" is not KEY=VALUE").arg(pair));
            if (!SettingKeys().contains(key))
                return usage(QStringLiteral("no setting is called \"%1\"; the settings are %2")
                                 .arg(key, SettingKeys().join(QStringLiteral(", "))));
            if (seen.contains(key))
                return usage(QStringLiteral("%1 is given twice").arg(key));
            seen.insert(key);
            const QString value = pair.mid(eq + 1).trimmed();
            if (FlagKeys().contains(key) && !OnOff(value))
                return usage(QStringLiteral("%1 takes on or off, not \"%2\"").arg(key, value));
            o.assignments.push_back({key, value});
        }
        words.clear();
        break;
    }
    case Command::Address: {
        if (words.size() != 1)
            return usage(QStringLiteral("address takes the new address, e.g. \"address 12\""));
        const QString given = words.takeFirst();
        const auto n = wholeNumber(given, 1, MaxBusAddress);
        if (!n)
            return usage(
                QStringLiteral("the new address must be a whole number from 1 to 247, not \"%1\"")
                    .arg(given));
        o.newAddress = quint8(*n);
        break;
    }
    case Command::Scan: {
        const auto a = wholeNumber(value(from), 1, MaxBusAddress);
        const auto b = wholeNumber(value(to), 1, MaxBusAddress);
        if (!a || !b)
            return usage(QStringLiteral("--from and --to must be whole numbers from 1 to 247"));
        if (*a > *b)
            return usage(QStringLiteral("--from %1 lies after --to %2").arg(*a).arg(*b));
        o.from = *a;
        o.to = *b;
        break;
    }
    default:
        break;
    }
    if (!words.isEmpty())
        return usage(QStringLiteral("%1 takes no argument \"%2\"").arg(word, words.first()));

    result.options = o;
    return result;
}

} // namespace fh::cli
