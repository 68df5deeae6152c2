#include "watch/jsonlines.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace fh::watch {

JsonLines::JsonLines(const QByteArray& text) : text_(text) {
    skipSpace();
    if (at_ < text_.size())
        value(QString());
}

int JsonLines::line(const QString& path) const {
    QString p = path;
    while (!p.isEmpty()) {
        if (const auto it = lines_.find(p); it != lines_.end())
            return *it;
        const qsizetype cut = std::max(p.lastIndexOf(QLatin1Char('.')), p.lastIndexOf('['));
        p = p.left(std::max<qsizetype>(cut, 0));
    }
    return 1;
}

void JsonLines::skipSpace() {
    while (at_ < text_.size()) {
        const char c = text_.at(at_);
        if (c == '\n')
            ++line_;
        else if (c != ' ' && c != '\t' && c != '\r')
            return;
        ++at_;
    }
}

QString JsonLines::string() {
    const qsizetype start = at_++;
    while (at_ < text_.size() && text_.at(at_) != '"')
        at_ += text_.at(at_) == '\\' ? 2 : 1;
    ++at_;
    // The text is valid JSON, so the token decodes; this handles every escape the same way.
    const QByteArray token = text_.mid(start, at_ - start);
    return QJsonDocument::fromJson("[" + token + "]").array().at(0).toString();
}

void JsonLines::value(const QString& path) {
    const char c = text_.at(at_);
    if (c == '{') {
        object(path);
    } else if (c == '[') {
        array(path);
    } else if (c == '"') {
        string();
    } else {
        while (at_ < text_.size() && !QByteArray(",]} \t\r\n").contains(text_.at(at_)))
            ++at_;
    }
}

void JsonLines::object(const QString& path) {
    ++at_;
    skipSpace();
    while (at_ < text_.size() && text_.at(at_) != '}') {
        const int keyLine = line_;
        const QString key = string();
        const QString child = path.isEmpty() ? key : path + QLatin1Char('.') + key;
        if (lines_.contains(child) && duplicate_.isEmpty())
            duplicate_ = child;
        lines_.insert(child, keyLine);
        skipSpace();
        ++at_; // ':'
        skipSpace();
        value(child);
        skipSpace();
        if (at_ < text_.size() && text_.at(at_) == ',') {
            ++at_;
            skipSpace();
        }
    }
    ++at_;
}

void JsonLines::array(const QString& path) {
    ++at_;
    skipSpace();
    for (int i = 0; at_ < text_.size() && text_.at(at_) != ']'; ++i) {
        const QString child = QStringLiteral("%1[%2]").arg(path).arg(i);
        lines_.insert(child, line_);
        value(child);
        skipSpace();
        if (at_ < text_.size() && text_.at(at_) == ',') {
            ++at_;
            skipSpace();
        }
    }
    ++at_;
}

int LineAt(const QByteArray& text, qsizetype offset) {
    return 1 + int(text.left(std::clamp<qsizetype>(offset, 0, text.size())).count('\n'));
}

} // namespace fh::watch
