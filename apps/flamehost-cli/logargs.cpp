#include "logargs.h"

namespace fh::cli {

namespace {

// "2026-12-05", "2026-12-05T04:27" or "2026-12-05T04:27:37" (a blank for the T too), on the
// log's own clock; a date alone reaches to the end of its day when it ends a range. Held as UTC
// so no local-time rule shifts it.
std::optional<QDateTime> logTime(const QString& text, bool endOfDay) {
    const QString t = text.trimmed();
    const QDate date = QDate::fromString(t.left(10), Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    if (t.size() == 10)
        return QDateTime(date, endOfDay ? QTime(23, 59, 59, 999) : QTime(0, 0), Qt::UTC);
    const QTime time = QTime::fromString(t.mid(11), Qt::ISODate);
    if ((t[10] != u'T' && t[10] != u' ') || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

ParsedArgs ParseLogCommand(const QCommandLineParser& parser, const QStringList& words,
                           const QString& from, const QString& to) {
    ParsedArgs result;
    auto usage = [&result](const QString& message) {
        result.error = message + QStringLiteral(" (see --help)");
        return result;
    };
    for (const QString& name : parser.optionNames())
        if (name != QLatin1String("from") && name != QLatin1String("to"))
            return usage(QStringLiteral("log csv reads a file: --%1 does not apply").arg(name));
    if (words.size() < 2 || words[1] != QLatin1String("csv"))
        return usage(QStringLiteral("log takes \"csv FILE\""));
    if (words.size() < 3 || words[2].isEmpty())
        return usage(QStringLiteral("log csv needs the log FILE"));
    if (words.size() > 3)
        return usage(QStringLiteral("log csv takes one FILE, not also \"%1\"").arg(words[3]));

    Options o;
    o.command = Command::LogCsv;
    o.logFile = words[2];
    const struct {
        const char* name;
        const QString& text;
        QDateTime* into;
    } bounds[] = {{"from", from, &o.logFrom}, {"to", to, &o.logTo}};
    for (const auto& b : bounds) {
        if (!parser.isSet(QLatin1String(b.name)))
            continue;
        const auto t = logTime(b.text, b.into == &o.logTo);
        if (!t)
            return usage(QStringLiteral("--%1 takes a date and time of the log's clock as "
                                        "2026-12-05 or 2026-12-05T04:27:37, not \"%2\"")
                             .arg(QLatin1String(b.name), b.text));
        *b.into = *t;
    }
    if (o.logFrom.isValid() && o.logTo.isValid() && o.logFrom > o.logTo)
        return usage(QStringLiteral("--from %1 lies after --to %2").arg(from, to));
    result.options = o;
    return result;
}

} // namespace fh::cli
