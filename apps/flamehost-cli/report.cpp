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

int Print(const Outcome& outcome, bool json) {
    if (outcome.hasOutput) {
        QByteArray out;
        if (json) {
            out = outcome.json.isArray()
                      ? QJsonDocument(outcome.json.toArray()).toJson(QJsonDocument::Indented)
                      : QJsonDocument(outcome.json.toObject()).toJson(QJsonDocument::Indented);
        } else {
            out = outcome.text.join(QLatin1Char('\n')).toUtf8();
            if (!out.isEmpty())
                out += '\n';
        }
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        std::fflush(stdout);
    }
    if (!outcome.message.isEmpty())
        std::fprintf(stderr, "flamehost-cli: %s\n", qPrintable(outcome.message));
    return outcome.exitCode;
}

} // namespace fh::cli
