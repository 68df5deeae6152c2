#pragma once
// Where each member and item of a JSON text stands, so a config error can name its line.
// QJsonDocument checks the text and gives the values; this walks the same text once more and
// remembers the line of every path ("lines[0].port") and the first key given twice.
#include <QByteArray>
#include <QHash>
#include <QString>

namespace fh::watch {

class JsonLines {
public:
    // text must already have passed QJsonDocument::fromJson.
    explicit JsonLines(const QByteArray& text);
    // 1-based line of the path's key (or of the item, for "[i]"); the path's nearest known
    // parent when the path itself is absent; 1 for the top level.
    int line(const QString& path) const;
    // The first key that an object holds twice ("lines[1].port"), else empty.
    QString duplicate() const { return duplicate_; }

private:
    void value(const QString& path);
    void object(const QString& path);
    void array(const QString& path);
    QString string();
    void skipSpace();

    const QByteArray& text_;
    qsizetype at_ = 0;
    int line_ = 1;
    QHash<QString, int> lines_;
    QString duplicate_;
};

// The line on which byte offset `offset` of text stands (1-based).
int LineAt(const QByteArray& text, qsizetype offset);

} // namespace fh::watch
