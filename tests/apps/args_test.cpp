// The argument readers of flamehost-cli and flamehost: every usage mistake gets its own words
// and no options, so the program leaves with exit status 2 before touching a port.
#include "flamehost-cli/cliargs.h"
#include "flamehost/hostargs.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace {

QStringList words(const char* line, const char* program) {
    return QStringList{program} + QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
}

struct Case {
    const char* args;
    const char* error; // a part of the words; nullptr: accepted
};

TEST(CliArguments, MistakesAreNamedAndRefused) {
    const Case cases[] = {
        {"--port P status", nullptr},
        {"--simulate --address 0 status", nullptr},
        {"--port P address 12", nullptr},
        {"--port P", "no command given"},
        {"--port P --simulate status", "either --port DEVICE or --simulate"},
        {"status", "either --port DEVICE or --simulate"},
        {"--port P frobnicate", "unknown command \"frobnicate\""},
        {"--port P --address 248 status", "--address must be a whole number from 0 to 247"},
        {"--port P --address five status", "not \"five\""},
        {"--port P --address -1 status", "not \"-1\""},
        {"--port P --timeout 0 status", "--timeout must be"},
        {"--port P address -1", "new address must be a whole number from 1 to 247, not \"-1\""},
        {"--port P address 0", "not \"0\""},
        {"--port P address", "address takes the new address"},
        {"--port P --address 3 --address 4 status", "--address is given more than once"},
        {"--port P --json --json status", "--json is given more than once"},
        {"--port P setup set", "at least one KEY=VALUE"},
        {"--port P setup set colour=red", "no setting is called \"colour\""},
        {"--port P setup set auto_bit=maybe", "auto_bit takes on or off"},
        {"--port P setup set delay=A delay=3", "delay is given twice"},
        {"--port P status extra", "status takes no argument \"extra\""},
        {"--port P scan --from 10 --to 5", "--from 10 lies after --to 5"},
        {"--port P status --from 3", "belong to the scan command"},
        {"--port P --bogus status", "bogus"},
        {"--port tcp://127.0.0.1:4001 --line-mode auto --echo status", nullptr},
        {"--port P --line-mode sideways status", "--line-mode must be one of"},
        {"--port tcp:// status", "no port number"},
        {"--port tcp://127.0.0.1:0 status", "1 to 65535"},
        {"--port tcp://127.0.0.1:70000 status", "1 to 65535"},
        {"--port tcp://bad_host!:4001 status", "not a host name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const fh::cli::ParsedArgs r = fh::cli::ParseArguments(words(c.args, "flamehost-cli"));
        EXPECT_EQ(r.options.has_value(), c.error == nullptr) << qPrintable(r.error);
        if (c.error) {
            EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.error))) << qPrintable(r.error);
        }
    }
}

TEST(HostArguments, MistakesAreNamedAndRefused) {
    QTemporaryDir dir;
    const QString file = dir.filePath("plain.txt");
    QFile(file).open(QIODevice::WriteOnly);
    const Case cases[] = {
        {"", nullptr},
        {"--simulate --no-splash --data-dir D", nullptr},
        {"--port /missing/ttyUSB9", nullptr}, // may be plugged in later: the open will say
        {"--simulate --port /dev/ttyUSB0", "either --port DEVICE or --simulate, not both"},
        {"--simulate now", "takes no arguments, only options: \"now\""},
        {"--port /dev/null", "/dev/null is not a serial port"},
        {"--port FILE", "is not a serial port"},
        {"--port DIR", "is not a serial port"},
        {"--port A --port B", "--port is given more than once"},
        {"--bogus", "bogus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        fh::HostCommandLine line;
        QStringList args = words(c.args, "flamehost");
        args.replaceInStrings("FILE", file).replaceInStrings("DIR", dir.path());
        const QString error = line.read(args);
        EXPECT_EQ(error.isEmpty(), c.error == nullptr) << qPrintable(error);
        if (c.error) {
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << qPrintable(error);
        }
    }
    for (const QString& empty : {QString(), QStringLiteral(" ")}) {
        fh::HostCommandLine line; // an empty folder name would quietly mean the program's own
        EXPECT_EQ(line.read({"flamehost", "--data-dir", empty}), "--data-dir needs a folder name");
        fh::HostCommandLine other;
        EXPECT_EQ(other.read({"flamehost", "--port", empty}), "--port needs a device name");
    }
}

} // namespace
