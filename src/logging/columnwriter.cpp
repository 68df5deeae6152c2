#include "logging/columnwriter.h"

namespace fh {

namespace {

// The byte for one character, or 0 when it has no single-byte form.
char logByte(QChar c) {
    const char16_t u = c.unicode();
    if (c.isSpace() && u != u'\r' && u != u'\n')
        return ' ';
    if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u > 0xff)
        return 0;
    return char(u);
}

} // namespace

QByteArray ToLogBytes(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char b = logByte(c);
        out.append(b ? b : '?');
    }
    return out;
}

bool FitsLogBytes(const QString& text) {
    for (QChar c : text) {
        if (!logByte(c))
            return false;
    }
    return true;
}

ColumnWriter& ColumnWriter::at(int column, const QString& text) {
    const qsizetype stop = qsizetype(column < 1 ? 1 : column) - 1;
    if (lineLength() > stop) {
        endLine();
        out_.append(stop, ' ');
    } else {
        out_.append(stop - lineLength(), ' ');
    }
    out_.append(ToLogBytes(text));
    return *this;
}

ColumnWriter& ColumnWriter::endLine() {
    out_.append("\r\n");
    lineStart_ = out_.size();
    return *this;
}

} // namespace fh
