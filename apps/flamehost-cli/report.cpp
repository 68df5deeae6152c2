#include "report.h"

#include <algorithm>
#include <cstdio>
#include <QJsonDocument>

namespace fh::cli {

void Fields::add(const QString& key, const QJsonValue& value, const QString& text) {
    fields_.push_back({key, value, text.isEmpty() ? PlainText(value) : text});
}

QJsonObject Fields::object() const {
    QJsonObject o;
    for (const Field& f : fields_)
        o.insert(f.key, f.value);
    return o;
}

QStringList Fields::lines() const {
    qsizetype width = 0;
    for (const Field& f : fields_)
        width = std::max(width, f.key.size());
    QStringList out;
    for (const Field& f : fields_)
        out << QStringLiteral("%1  %2").arg(f.key + QLatin1Char(':'), -int(width) - 1).arg(f.text);
    return out;
}

Outcome Outcome::failure(int code, const QString& message) {
    Outcome o;
    o.exitCode = code;
    o.message = message;
    return o;
}

void Outcome::show(const Fields& fields) {
    hasOutput = true;
    json = fields.object();
    text = fields.lines();
}

QString PlainText(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QStringLiteral("-");
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("on") : QStringLiteral("off");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array:
    case QJsonValue::Object:
        break;
    }
    return QString::fromUtf8(
        QJsonDocument::fromVariant(value.toVariant()).toJson(QJsonDocument::Compact));
}

namespace {
bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}
} // namespace

QString TerminalSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QByteArray JsonSafe(const QByteArray& json) {
    QByteArray out;
    out.reserve(json.size());
    for (qsizetype i = 0; i < json.size(); ++i) {
        const auto b = static_cast<quint8>(json.at(i));
        // U+0080..U+009F are C2 80..C2 9F in UTF-8; outside strings JSON has no such bytes.
        if (b == 0xC2 && i + 1 < json.size() && static_cast<quint8>(json.at(i + 1)) <= 0x9F &&
            static_cast<quint8>(json.at(i + 1)) >= 0x80) {
            out +=
                QByteArray("\\u00") + QByteArray::number(static_cast<quint8>(json.at(i + 1)), 16);
            ++i;
        } else if (b == 0x7F) {
            out += "\\u007f";
        } else {
            out += char(b);
        }
    }
    return out;
}

int Print(const Outcome& outcome, bool json) {
    if (outcome.hasOutput) {
        QByteArray out;
        if (json) {
            out = JsonSafe(
                outcome.json.isArray()
                    ? QJsonDocument(outcome.json.toArray()).toJson(QJsonDocument::Indented)
                    : QJsonDocument(outcome.json.toObject()).toJson(QJsonDocument::Indented));
        } else {
            QStringList lines;
            for (const QString& line : outcome.text)
                lines << TerminalSafe(line);
            out = lines.join(QLatin1Char('\n')).toUtf8();
            if (!out.isEmpty())
                out += '\n';
        }
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        std::fflush(stdout);
    }
    if (!outcome.message.isEmpty())
        std::fprintf(stderr, "flamehost-cli: %s\n", qPrintable(TerminalSafe(outcome.message)));
    return outcome.exitCode;
}

} // namespace fh::cli
