#include "logging/logreader.h"

#include "logging/statuslog.h"
#include "logging/sumslog.h"

#include <charconv>
#include <limits>

namespace fh {

namespace {

// The lines of both headers, without their line ends: the empty line, the titles (two lines in
// the sums log) and the rule.
struct HeaderLines {
    QByteArray statusTitles, sumsTitles;
    std::vector<QByteArray> others; // the sums log's second title line and both rules
};

const HeaderLines& headerLines() {
    static const HeaderLines lines = [] {
        HeaderLines h;
        const QList<QByteArray> status = StatusLogHeaderBytes().split('\n');
        const QList<QByteArray> sums = SumsLogHeaderBytes().split('\n');
        h.statusTitles = status[1].chopped(1);
        h.sumsTitles = sums[1].chopped(1);
        h.others = {sums[2].chopped(1), status[2].chopped(1), sums[3].chopped(1)};
        return h;
    }();
    return lines;
}

QByteArrayView trimRight(QByteArrayView v) {
    while (!v.isEmpty() && v.back() == ' ')
        v.chop(1);
    return v;
}

bool isBlank(QByteArrayView v) {
    return trimRight(v).isEmpty();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// What the writer can put down for a character: ToLogBytes turns the rest into "?".
bool isLogChar(char c) {
    const auto u = quint8(c);
    return (u >= 0x20 && u < 0x7f) || u >= 0xa0;
}

// A text from the file for a message: quoted, control bytes as \xNN, cut at 40 characters.
QString shown(QByteArrayView v) {
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < v.size() && i < 40; ++i) {
        if (isLogChar(v[i]))
            out += QChar::fromLatin1(v[i]);
        else
            out += QStringLiteral("\\x%1").arg(quint8(v[i]), 2, 16, QLatin1Char('0'));
    }
    return out + (v.size() > 40 ? QStringLiteral("...\"") : QStringLiteral("\""));
}

std::optional<int> wholeNumber(QByteArrayView v, int maxDigits, int maxValue) {
    if (v.isEmpty() || v.size() > maxDigits)
        return std::nullopt;
    int n = 0;
    for (char c : v) {
        if (!isDigit(c))
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n <= maxValue ? std::optional<int>(n) : std::nullopt;
}

// "##0.0" as the writer gives it, or what it gives for values that are no number.
std::optional<double> sumValue(QByteArrayView v) {
    if (v == "nan")
        return std::numeric_limits<double>::quiet_NaN();
    if (v == "inf" || v == "-inf")
        return (v.front() == '-' ? -1 : 1) * std::numeric_limits<double>::infinity();
    const qsizetype start = v.startsWith('-') ? 1 : 0;
    const qsizetype point = v.size() - 2;
    if (point <= start || v[point] != '.' || !isDigit(v.back()))
        return std::nullopt;
    for (qsizetype i = start; i < point; ++i)
        if (!isDigit(v[i]))
            return std::nullopt;
    double value = 0;
    std::from_chars(v.data(), v.data() + v.size(), value);
    return value;
}

const char* logName(LogKind kind) {
    return kind == LogKind::Sums ? "sums log" : "status log";
}

} // namespace

LogReader::LogReader(QIODevice* device, LogKind kind, QLocale locale)
    : device_(device), kind_(kind), clock_(std::move(locale)) {}

LogBatch LogReader::read(qint64 maxBytes) {
    LogBatch out;
    if (atEnd_)
        return out;
    if (pos_ == filled_) {
        buffer_.resize(qMax<qint64>(maxBytes, 1));
        const qint64 n = device_ ? device_->read(buffer_.data(), buffer_.size()) : -1;
        if (n < 0) {
            error_ = device_ ? device_->errorString() : QStringLiteral("no file");
            atEnd_ = true;
            return out;
        }
        bytesRead_ += n;
        filled_ = n;
        pos_ = 0;
        deviceDone_ = n == 0 || device_->atEnd();
    }
    const QByteArrayView chunk(buffer_.constData(), filled_);
    // A batch of lines that are all unreadable would otherwise hold a message per line of the
    // chunk; the rest of the chunk waits for the next call.
    auto full = [&out] { return out.records.size() + out.unreadable.size() >= MaxBatchItems; };
    for (qsizetype nl; !full() && (nl = chunk.indexOf('\n', pos_)) >= 0; pos_ = nl + 1) {
        const QByteArrayView piece = chunk.sliced(pos_, nl - pos_);
        ++lineNumber_;
        if (overlong_ || qsizetype(partial_.size()) + piece.size() > MaxLineBytes) {
            finishEntry(out);
            unreadable(lineNumber_, QStringLiteral("longer than %1 characters").arg(MaxLineBytes),
                       out);
        } else if (!partial_.empty()) {
            partial_.append(piece.data(), piece.size());
            takeLine(partial_, out);
        } else {
            takeLine(piece, out);
        }
        partial_.clear();
        overlong_ = false;
    }
    if (full() && chunk.indexOf('\n', pos_) >= 0)
        return out;
    // The start of a line the next chunk ends; past the bound only the fact is kept.
    const QByteArrayView tail = chunk.sliced(pos_);
    pos_ = filled_;
    if (overlong_ || qsizetype(partial_.size()) + tail.size() > MaxLineBytes) {
        overlong_ = true;
        partial_.clear();
    } else {
        partial_.append(tail.data(), tail.size());
    }
    if (deviceDone_)
        finish(out);
    return out;
}

void LogReader::finish(LogBatch& out) {
    atEnd_ = true;
    if (partial_.empty() && !overlong_) {
        finishEntry(out);
        return;
    }
    // Every line the writer writes ends with CR LF; this one was cut off.
    ++lineNumber_;
    if (entryLines_ > 0 && !partial_.empty() && partial_.front() == ' ') {
        for (int i = 0; i < entryLines_; ++i)
            unreadable(entryLine_ + i, QStringLiteral("the file ends inside this record"), out);
        entryLines_ = 0;
    } else {
        finishEntry(out);
    }
    unreadable(lineNumber_, QStringLiteral("the file ends inside this line"), out);
    partial_.clear();
    overlong_ = false;
}

void LogReader::takeLine(QByteArrayView line, LogBatch& out) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (isHeaderLine(line)) {
        finishEntry(out);
        takeHeaderLine(line, out);
        return;
    }
    // Blanks at column 1: an item the column rule moved to a line of its own.
    const bool continued = !line.isEmpty() && line.front() == ' ';
    if (continued && entryLines_ > 0 && entryLines_ < MaxColumnItems) {
        entry_[entryLines_++].assign(line.data(), line.size());
        return;
    }
    finishEntry(out);
    if (line.isEmpty())
        return;
    if (continued) {
        unreadable(lineNumber_, QStringLiteral("starts with a blank but continues no record"), out);
        return;
    }
    entry_[0].assign(line.data(), line.size());
    entryLines_ = 1;
    entryLine_ = lineNumber_;
}

bool LogReader::isHeaderLine(QByteArrayView line) const {
    const HeaderLines& h = headerLines();
    if (line == h.statusTitles || line == h.sumsTitles)
        return true;
    for (const QByteArray& other : h.others)
        if (line == other)
            return true;
    return false;
}

void LogReader::takeHeaderLine(QByteArrayView line, LogBatch& out) {
    const HeaderLines& h = headerLines();
    const LogKind titles = line == h.statusTitles ? LogKind::Status
                           : line == h.sumsTitles ? LogKind::Sums
                                                  : LogKind::Unknown;
    if (titles == LogKind::Unknown) // the rest of a header
        return;
    if (kind_ != LogKind::Unknown && kind_ != titles) {
        unreadable(lineNumber_,
                   QStringLiteral("the column titles of the %1 in a %2")
                       .arg(QLatin1String(logName(titles)), QLatin1String(logName(kind_))),
                   out);
        return;
    }
    kind_ = titles;
    out.runs.push_back({++run_, lineNumber_});
}

void LogReader::finishEntry(LogBatch& out) {
    if (entryLines_ == 0)
        return;
    const int lines = entryLines_;
    entryLines_ = 0;
    QString why;
    std::optional<LogRecord> record = parse(lines, &why);
    // Lines taken for its continuation may be strays after a record that was whole without them.
    int taken = lines;
    if (!record && lines > 1) {
        QString alone;
        if ((record = parse(1, &alone)))
            taken = 1;
    }
    if (record) {
        out.records.push_back(*record);
        for (int i = taken; i < lines; ++i)
            unreadable(entryLine_ + i,
                       QStringLiteral("starts with a blank but continues no record"), out);
        return;
    }
    for (int i = 0; i < lines; ++i)
        unreadable(entryLine_ + i, why, out);
}

std::optional<LogRecord> LogReader::parse(int lines, QString* why) {
    if (kind_ != LogKind::Unknown) {
        std::optional<LogRecord> r = parseAs(kind_, lines, why);
        if (!r) {
            const LogKind other = kind_ == LogKind::Sums ? LogKind::Status : LogKind::Sums;
            QString ignored;
            if (parseAs(other, lines, &ignored))
                *why = QStringLiteral("a record of the %1 in a %2")
                           .arg(QLatin1String(logName(other)), QLatin1String(logName(kind_)));
        }
        return r;
    }
    // No header yet: the record says which log it is.
    QString sumsWhy, statusWhy;
    if (std::optional<LogRecord> r = parseAs(LogKind::Sums, lines, &sumsWhy)) {
        kind_ = LogKind::Sums;
        return r;
    }
    if (std::optional<LogRecord> r = parseAs(LogKind::Status, lines, &statusWhy)) {
        kind_ = LogKind::Status;
        return r;
    }
    // A line reaching Sum4's column was meant for the sums log.
    const bool wide = lines > 1 || qsizetype(entry_[0].size()) >= SumsLogColumns[5];
    *why = wide ? sumsWhy : statusWhy;
    return std::nullopt;
}

std::optional<LogRecord> LogReader::parseAs(LogKind kind, int lines, QString* why) {
    const bool sums = kind == LogKind::Sums;
    std::array<QByteArrayView, MaxColumnItems> views;
    for (int i = 0; i < lines; ++i)
        views[i] = entry_[i];
    const auto columns =
        sums ? std::span<const int>(SumsLogColumns) : std::span<const int>(StatusLogColumns);
    const std::optional<ColumnItems> items =
        SplitColumns(std::span<const QByteArrayView>(views.data(), lines), columns);
    if (!items) {
        *why =
            QStringLiteral("does not fit the columns of the %1").arg(QLatin1String(logName(kind)));
        return std::nullopt;
    }
    auto fail = [why](const char* what, QByteArrayView text, const QString& expected) {
        *why = QStringLiteral("%1 %2 is not %3").arg(QLatin1String(what), shown(text), expected);
        return std::nullopt;
    };
    const auto& at = items->at;

    LogRecord r;
    r.line = entryLine_;
    r.run = run_;
    const QByteArrayView address = trimRight(at[0]);
    const auto a = wholeNumber(address, 3, 255);
    if (!a)
        return fail("address", address, QStringLiteral("a number from 0 to 255"));
    r.address = quint8(*a);

    const QByteArrayView date = trimRight(at[1]);
    const auto d = clock_.date(date);
    if (!d)
        return fail(
            "date", date,
            QStringLiteral("a date as %1 or %2").arg(clock_.dateFormat(), FallbackDateFormat));
    r.date = *d;
    const QByteArrayView time = trimRight(at[2]);
    const auto t = clock_.time(time);
    if (!t)
        return fail(
            "time", time,
            QStringLiteral("a time as %1 or %2").arg(clock_.timeFormat(), FallbackTimeFormat));
    r.time = *t;

    // The status character, in the sums log followed by "F" or "N", then padding.
    const QByteArrayView status = at[3];
    qsizetype used = 1;
    if (sums && status.size() > 1 && (status[1] == 'F' || status[1] == 'N')) {
        r.fault = status[1];
        used = 2;
    }
    if (status.isEmpty() || !isLogChar(status[0]) || !isBlank(status.sliced(used)))
        return fail("status", trimRight(status),
                    sums ? QStringLiteral("one character and F or N")
                         : QStringLiteral("one character"));
    r.status = status[0];

    const QByteArrayView serial = trimRight(at[4]);
    if (!serial.isEmpty() || sums) {
        const auto s = wholeNumber(serial, 5, 65535);
        if (!s)
            return fail("serial", serial, QStringLiteral("a number from 0 to 65535"));
        r.serial = quint16(*s);
    }
    if (!sums)
        return r;

    const char* names[] = {"Sum4", "Sum45", "Sum5"};
    double* values[] = {&r.sum4, &r.sum45, &r.sum5};
    for (int i = 0; i < 3; ++i) {
        const QByteArrayView text = trimRight(at[5 + i]);
        const auto v = sumValue(text);
        if (!v)
            return fail(names[i], text, QStringLiteral("a number with one decimal"));
        *values[i] = *v;
    }
    return r;
}

void LogReader::unreadable(qint64 line, const QString& reason, LogBatch& out) {
    ++unreadableCount_;
    out.unreadable.push_back({line, reason});
}

} // namespace fh
