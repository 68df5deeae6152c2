#pragma once
// The line layout both log files share: items placed at fixed character columns, single-byte
// text, CR LF line ends.
#include <QByteArray>
#include <QString>

namespace fh {

// One character of log text per byte. Latin-1 characters stay as they are; any kind of space
// (the narrow no-break space some locales put into times, for one) becomes a blank; control
// characters, which would break the line layout, and characters with no single-byte form
// become "?".
QByteArray ToLogBytes(const QString& text);

// True when every character of `text` has its own single-byte form (spaces of any kind count).
bool FitsLogBytes(const QString& text);

// Builds the bytes of one or more print steps. Column 1 is the first character of a line.
class ColumnWriter {
public:
    // Places `text` at `column`: a line holding fewer than column - 1 characters is padded with
    // blanks up to column - 1; one holding exactly column - 1 takes the text directly; one
    // already at or past the column is ended and the text goes to that column on a new line.
    // Columns below 1 count as 1.
    ColumnWriter& at(int column, const QString& text);
    // Ends the current line with CR LF (a print step's end; on an empty line, an empty line).
    ColumnWriter& endLine();

    const QByteArray& bytes() const { return out_; }
    // Characters on the current, unfinished line.
    qsizetype lineLength() const { return out_.size() - lineStart_; }

private:
    QByteArray out_;
    qsizetype lineStart_ = 0;
};

} // namespace fh
