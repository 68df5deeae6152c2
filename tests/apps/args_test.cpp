// The argument readers of flamehost-cli and flamehost: every usage mistake gets its own words
// and no options, so the program leaves with exit status 2 before touching a port.
#include "flamehost-cli/cliargs.h"
#include "flamehost/hostargs.h"

#include <gtest/gtest.h>

namespace {

QStringList words(const char* line, const char* program) {
    return QStringList{program} + QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
}

struct Case {
    const char* args;
    const char* error; // a part of the words; nullptr: accepted
};

void expectVerdict(const Case& c, bool accepted, const QString& error) {
    EXPECT_EQ(accepted, c.error == nullptr) << c.args << ": " << qPrintable(error);
    EXPECT_TRUE(!c.error || error.contains(QString::fromUtf8(c.error)))
        << c.args << ": " << qPrintable(error);
}

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
        {"--port P setup set", "at least one KEY=VALUE"},
        {"--port P setup set colour=red", "no setting is called \"colour\""},
        {"--port P setup set auto_bit=maybe", "auto_bit takes on or off"},
        {"--port P setup set delay=A delay=3", "delay is given twice"},
        {"--port P status extra", "status takes no argument \"extra\""},
        {"--port P scan --from 10 --to 5", "--from 10 lies after --to 5"},
        {"--port P status --from 3", "belong to the scan command"},
        {"--port P --bogus status", "bogus"},
        {"--simulate monitor", "monitor listens to a real line"},
        {"--port P --address 5 monitor", "monitor only listens"},
        {"--port P monitor --duration -5",
         "--duration must be a whole number of seconds from 1 to 604800, not \"-5\""},
        {"--port P status --hex", "belong to the monitor command"},
        {"--port tcp://127.0.0.1:4001 --line-mode auto --echo status", nullptr},
        {"--port P --line-mode sideways status", "--line-mode must be one of"},
        {"--port tcp:// status", "no port number"}, // the address forms: tests/link
        // The visit commands; report and survey diff need no line.
        {"--simulate survey -o r.json --addresses 1-32,40 --bit --pdf r.pdf", nullptr},
        {"survey diff a.json b.json --sums-threshold 5", nullptr},
        {"report r.json --csv t.csv", nullptr},
        {"--port P --address 0 setup load s.json --dry-run", nullptr},
        {"--simulate survey", "survey needs -o FILE.json"},
        {"--simulate survey -o r.json --addresses 0-3", "--addresses: \"0-3\" is not an address"},
        {"--simulate --address 3 survey -o r.json", "use --addresses"},
        {"--simulate survey -o r.json --compare o.json", "give --pdf FILE.pdf too"},
        {"--port P survey diff a.json b.json", "works on files alone: --port does not apply"},
        {"survey diff a.json", "usage: survey diff OLD.json NEW.json"},
        {"survey history visits --serial 4660", nullptr},
        {"survey history visits", "survey history needs --serial N"},
        {"survey history visits --serial 65536", "survey history needs --serial N"},
        {"survey history --serial 7", "usage: survey history DIR --serial N"},
        {"--simulate survey history v --serial 7", "works on files alone: --simulate does not"},
        {"report r.json --csv t.csv --serial 7", "--serial belongs to survey history"},
        {"report r.json", "report needs -o FILE.pdf, --csv FILE.csv or both"},
        {"report r.json --csv t.csv --sums-threshold x", "--sums-threshold must be"},
        {"--port P survey restore r.json", "survey restore needs --address N"},
        {"--port P setup save", "usage: setup save FILE.json"},
        {"--port P status --site Hall", "--site belongs to survey"},
        {"--port P setup set delay=A --dry-run", "--dry-run belongs to setup load"},
        {"log csv F --from 2026-12-05 --to 2026-12-05T04:27:37", nullptr},
        {"log csv F --port P", "log csv reads a file: --port does not apply"},
        {"--json log csv F", "--json does not apply"},
        {"log json F", "log takes \"csv FILE\""},
        {"log csv", "log csv needs the log FILE"},
        {"log csv A B", "not also \"B\""},
        {"log csv F --from 2026-12-05T25:00", "--from takes a date and time"},
        {"log csv F --to 2026-12-05T04:27:37Z", "--to takes a date and time"},
        {"log csv F --from 2026-12-06 --to 2026-12-05T23:59", "lies after --to"},
    };
    for (const Case& c : cases) {
        const fh::cli::ParsedArgs r = fh::cli::ParseArguments(words(c.args, "flamehost-cli"));
        expectVerdict(c, r.options.has_value(), r.error);
    }
}

TEST(HostArguments, MistakesAreNamedAndRefused) {
    const Case cases[] = {
        {"", nullptr},
        {"--simulate --no-splash --data-dir D", nullptr},
        {"--port /missing/ttyUSB9", nullptr}, // may be plugged in later: the open will say
        {"--simulate --port /dev/ttyUSB0", "either --port DEVICE or --simulate, not both"},
        {"--simulate now", "takes no arguments, only options: \"now\""},
        {"--port /dev/null", "/dev/null is not a serial port"},
        {"--port /", "/ is not a serial port"},
        {"--port A --port B", "--port is given more than once"},
        {"--bogus", "bogus"},
        // An empty folder name would quietly mean the program's own.
        {"--data-dir EMPTY", "--data-dir needs a folder name"},
        {"--data-dir BLANK", "--data-dir needs a folder name"},
        {"--port EMPTY", "--port needs a device name"},
        {"--port BLANK", "--port needs a device name"},
    };
    for (const Case& c : cases) {
        QStringList args = words(c.args, "flamehost").replaceInStrings("EMPTY", "");
        const QString error = fh::HostCommandLine().read(args.replaceInStrings("BLANK", " "));
        expectVerdict(c, error.isEmpty(), error);
    }
}

} // namespace
