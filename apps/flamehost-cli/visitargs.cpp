#include "visitargs.h"

#include "visit/addresslist.h"

#include <QCommandLineParser>

namespace fh::cli {

const char* const VisitCommandsHelp = R"(
Visit records (JSON files; scripts can read them, see the README):
  survey -o FILE.json [--addresses 1-32,40] [--site NAME] [--technician NAME]
         [--bit] [--pdf FILE.pdf [--compare OLD.json]]
                         Scans addresses 1-247 (or takes --addresses), then reads every
                         detector found: status, firmware, setup, readings; BIT only with
                         --bit. A BIT can switch the relays and the alarm where the setup
                         says so: warn the site first. Writes the site record (and the
                         report with --pdf) and prints its path last. Exit 0 when every
                         detector was read, 1 when some were not (the record says which).
                         Ctrl+C or a lost line ends it with the record written, marked
                         incomplete. The scan waits 60 ms for each address's first byte
                         (less with a shorter --timeout); reads wait --timeout.
  survey diff OLD.json NEW.json [--sums-threshold P]
                         What changed between two visits: detectors new, missing, moved,
                         changed setup or firmware, sums that moved by more than P per
                         cent (default 20). Exit 0 when nothing differs, 1 when something
                         does, 2 when a file cannot be read. Needs no --port.
  survey history DIR --serial N
                         One detector across the visits: its address, status, sums and
                         noises in every site record (*.json) of the folder DIR, oldest
                         first, as CSV on stdout. Exit 1 when some file could not be read
                         (each is named on stderr). Needs no --port.
  survey restore RECORD.json --address N [--dry-run]
                         Writes the setup the record holds for address N into the detector
                         now at N (a replacement of the same model), then reads it back.
  report FILE.json [-o FILE.pdf] [--csv FILE.csv] [--compare OLD.json]
                         The report of a saved record as PDF, and/or its detector table as
                         CSV; --compare adds the changes since an earlier visit. Needs no
                         --port.
  setup save FILE.json   Saves the setup of the detector at --address to a file.
  setup load FILE.json [--dry-run]
                         Writes a saved setup into the detector at --address when it is of
                         the same model, then reads it back; --dry-run only prints what
                         would change. Another model or a file that cannot be used is
                         refused with exit status 2, and nothing is written.
)";

namespace {

const char* const LineOptions[] = {"port",      "simulate", "address",      "timeout",
                                   "line-mode", "echo",     "fast-replies", "accept-bad-check"};

struct Belonging {
    const char* option;
    std::initializer_list<VisitCommand> commands;
    const char* owners; // for the message
};

const Belonging Owners[] = {
    {"output", {VisitCommand::Survey, VisitCommand::Report}, "survey and report"},
    {"addresses", {VisitCommand::Survey}, "survey"},
    {"site", {VisitCommand::Survey}, "survey"},
    {"technician", {VisitCommand::Survey}, "survey"},
    {"bit", {VisitCommand::Survey}, "survey"},
    {"pdf", {VisitCommand::Survey}, "survey"},
    {"csv", {VisitCommand::Report}, "report"},
    {"compare", {VisitCommand::Survey, VisitCommand::Report}, "survey --pdf and report"},
    {"sums-threshold",
     {VisitCommand::SurveyDiff, VisitCommand::Survey, VisitCommand::Report},
     "survey diff and a report with --compare"},
    {"dry-run",
     {VisitCommand::SetupLoad, VisitCommand::SurveyRestore},
     "setup load and survey restore"},
    {"serial", {VisitCommand::SurveyHistory}, "survey history"},
};

VisitCommand commandOf(const QString& word, const QStringList& words, int* used) {
    const QString next = words.isEmpty() ? QString() : words.first();
    *used = 1;
    if (word == QLatin1String("survey") && next == QLatin1String("diff"))
        return VisitCommand::SurveyDiff;
    if (word == QLatin1String("survey") && next == QLatin1String("restore"))
        return VisitCommand::SurveyRestore;
    if (word == QLatin1String("survey") && next == QLatin1String("history"))
        return VisitCommand::SurveyHistory;
    if (word == QLatin1String("setup") && next == QLatin1String("save"))
        return VisitCommand::SetupSave;
    if (word == QLatin1String("setup") && next == QLatin1String("load"))
        return VisitCommand::SetupLoad;
    *used = 0;
    if (word == QLatin1String("survey"))
        return VisitCommand::Survey;
    if (word == QLatin1String("report"))
        return VisitCommand::Report;
    return VisitCommand::None;
}

int fileCount(VisitCommand c) {
    switch (c) {
    case VisitCommand::Survey:
    case VisitCommand::None:
        return 0;
    case VisitCommand::SurveyDiff:
        return 2;
    default:
        return 1;
    }
}

const char* usageOf(VisitCommand c) {
    switch (c) {
    case VisitCommand::SurveyDiff:
        return "survey diff OLD.json NEW.json";
    case VisitCommand::SurveyRestore:
        return "survey restore RECORD.json --address N";
    case VisitCommand::SurveyHistory:
        return "survey history DIR --serial N";
    case VisitCommand::Report:
        return "report FILE.json -o FILE.pdf";
    case VisitCommand::SetupSave:
        return "setup save FILE.json";
    case VisitCommand::SetupLoad:
        return "setup load FILE.json";
    default:
        return "survey -o FILE.json";
    }
}

} // namespace

void AddVisitOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {{"o", "output"}, "survey: the site record to write; report: the PDF.", "FILE"},
        {"addresses", "survey: read these addresses (1-32,40) instead of scanning.", "LIST"},
        {"site", "survey: the site's name for the record.", "NAME"},
        {"technician", "survey: who surveyed, for the record.", "NAME"},
        {"bit", "survey: run BIT on each detector (it may switch relays)."},
        {"pdf", "survey: also write the report as PDF.", "FILE"},
        {"csv", "report: the detector table as CSV.", "FILE"},
        {"compare", "survey, report: include the changes since this earlier record.", "FILE"},
        {"sums-threshold", "survey diff: per cent a sum must move to count (default 20).", "P"},
        {"dry-run", "setup load, survey restore: print what would change, write nothing."},
        {"serial", "survey history: the detector's serial number (0-65535).", "N"},
    });
}

bool FilesOnly(VisitCommand command) {
    return command == VisitCommand::Report || command == VisitCommand::SurveyDiff ||
           command == VisitCommand::SurveyHistory;
}

bool FilesOnly(const QStringList& words) {
    int used = 0;
    return !words.isEmpty() && FilesOnly(commandOf(words.first(), words.mid(1), &used));
}

VisitWords ReadVisitCommand(const QCommandLineParser& parser,
                            const std::function<QString(const QString&)>& value,
                            const QString& word, const QStringList& words, VisitOptions* out) {
    VisitWords r;
    int used = 0;
    const VisitCommand c = commandOf(word, words, &used);
    auto refuse = [&r](const QString& text) {
        r.error = text;
        return r;
    };
    for (const Belonging& b : Owners)
        if (parser.isSet(QLatin1String(b.option)) &&
            std::find(b.commands.begin(), b.commands.end(), c) == b.commands.end())
            return refuse(QStringLiteral("--%1 belongs to %2").arg(b.option, b.owners));
    if (c == VisitCommand::None)
        return r;
    r.command = c;

    const QStringList files = words.mid(used);
    if (files.size() != fileCount(c))
        return refuse(QStringLiteral("usage: %1").arg(usageOf(c)));
    out->files = files;
    out->output = value(QStringLiteral("output"));
    out->site = value(QStringLiteral("site"));
    out->technician = value(QStringLiteral("technician"));
    out->bit = parser.isSet(QStringLiteral("bit"));
    out->pdf = value(QStringLiteral("pdf"));
    out->csv = value(QStringLiteral("csv"));
    out->compare = value(QStringLiteral("compare"));
    out->dryRun = parser.isSet(QStringLiteral("dry-run"));

    for (const char* option : LineOptions)
        if (FilesOnly(c) && parser.isSet(QLatin1String(option)))
            return refuse(QStringLiteral("%1 works on files alone: --%2 does not apply")
                              .arg(c == VisitCommand::Report          ? "report"
                                   : c == VisitCommand::SurveyHistory ? "survey history"
                                                                      : "survey diff",
                                   option));
    if (c == VisitCommand::Survey && parser.isSet(QStringLiteral("address")))
        return refuse(QStringLiteral("survey goes through the addresses itself; use --addresses"));
    if (c == VisitCommand::SurveyRestore) {
        const int a = value(QStringLiteral("address")).toInt();
        if (!parser.isSet(QStringLiteral("address")) || a < 1)
            return refuse(QStringLiteral("survey restore needs --address N (1-247): the address "
                                         "in the record and of the detector to write"));
    }
    if (c == VisitCommand::SurveyHistory) {
        bool ok = false;
        const QString text = value(QStringLiteral("serial"));
        const uint serial = text.trimmed().toUInt(&ok);
        if (!parser.isSet(QStringLiteral("serial")) || !ok || serial > 65535)
            return refuse(QStringLiteral("survey history needs --serial N, the detector's serial "
                                         "number (0-65535)"));
        out->serial = quint16(serial);
    }
    if (c == VisitCommand::Survey && out->output.trimmed().isEmpty())
        return refuse(QStringLiteral("survey needs -o FILE.json for the site record"));
    if (c == VisitCommand::Report && out->output.trimmed().isEmpty() &&
        out->csv.trimmed().isEmpty())
        return refuse(QStringLiteral("report needs -o FILE.pdf, --csv FILE.csv or both"));
    if (c == VisitCommand::Survey && !out->compare.isEmpty() && out->pdf.isEmpty())
        return refuse(QStringLiteral("--compare goes into the report: give --pdf FILE.pdf too"));
    if (parser.isSet(QStringLiteral("addresses"))) {
        QString why;
        const auto list = visit::ParseAddressList(value(QStringLiteral("addresses")), &why);
        if (!list)
            return refuse(QStringLiteral("--addresses: ") + why);
        out->addresses = *list;
    }
    if (parser.isSet(QStringLiteral("sums-threshold"))) {
        bool ok = false;
        const QString text = value(QStringLiteral("sums-threshold"));
        out->sumsThreshold = text.trimmed().toDouble(&ok);
        if (!ok || out->sumsThreshold < 0 || out->sumsThreshold > 1e6)
            return refuse(QStringLiteral("--sums-threshold must be a number of per cent from 0, "
                                         "not \"%1\"")
                              .arg(text));
    }
    return r;
}

} // namespace fh::cli
