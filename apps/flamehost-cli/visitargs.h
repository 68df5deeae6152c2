#pragma once
// The command line of the visit commands: survey, survey diff, survey restore, report,
// setup save and setup load. cliargs.cpp hands them their words and options.
#include <functional>
#include <optional>
#include <QString>
#include <QStringList>
#include <vector>

class QCommandLineParser;

namespace fh::cli {

struct VisitOptions {
    QString output;                // -o: the survey's record, the report's PDF
    std::vector<quint8> addresses; // survey: the addresses to read; empty: scan first
    QString site, technician;      // survey
    bool bit = false;              // survey: BIT on each detector
    QString pdf, csv, compare;     // survey, report
    double sumsThreshold = 20;     // survey diff, report --compare
    bool dryRun = false;           // setup load
    quint16 serial = 0;            // survey history
    QStringList files;             // the command's file arguments
};

// The help lines of the visit commands.
extern const char* const VisitCommandsHelp;

void AddVisitOptions(QCommandLineParser& parser);

enum class VisitCommand {
    None,
    Survey,
    SurveyDiff,
    SurveyRestore,
    SurveyHistory,
    Report,
    SetupSave,
    SetupLoad
};

// True for the commands that work on files alone and need no line (report, survey diff,
// survey history).
bool FilesOnly(const QStringList& words);
bool FilesOnly(VisitCommand command);

struct VisitWords {
    VisitCommand command = VisitCommand::None;
    QString error; // a usage mistake, in plain words
};

// Reads the visit command that `word` and the words after it name, with its options, into
// *out. Another command gets VisitCommand::None, or an error when a visit option was given
// to it. value(name) is an option's value as typed.
VisitWords ReadVisitCommand(const QCommandLineParser& parser,
                            const std::function<QString(const QString&)>& value,
                            const QString& word, const QStringList& words, VisitOptions* out);

} // namespace fh::cli
