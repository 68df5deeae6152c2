#include "visit/jsoncheck.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <QRegularExpression>

namespace fh::visit {

bool JsonCheck::fail(const QString& path, const QString& what) {
    if (ok())
        *error_ = path + QStringLiteral(": ") + what;
    return false;
}

QJsonValue JsonCheck::member(const QJsonObject& object, const QString& path, const char* key,
                             bool mayBeAbsent) {
    const auto it = object.constFind(QLatin1String(key));
    if (it == object.constEnd()) {
        if (!mayBeAbsent)
            fail(FieldPath(path, key), QStringLiteral("is missing"));
        return QJsonValue(QJsonValue::Null);
    }
    return *it;
}

std::optional<QJsonObject> JsonCheck::object(const QJsonValue& v, const QString& path) {
    if (!v.isObject()) {
        fail(path, QStringLiteral("must be an object"));
        return std::nullopt;
    }
    return v.toObject();
}

std::optional<QJsonArray> JsonCheck::array(const QJsonValue& v, const QString& path) {
    if (!v.isArray()) {
        fail(path, QStringLiteral("must be a list"));
        return std::nullopt;
    }
    return v.toArray();
}

std::optional<QString> JsonCheck::text(const QJsonValue& v, const QString& path) {
    if (!v.isString()) {
        fail(path, QStringLiteral("must be a text"));
        return std::nullopt;
    }
    return v.toString();
}

std::optional<bool> JsonCheck::boolean(const QJsonValue& v, const QString& path) {
    if (!v.isBool()) {
        fail(path, QStringLiteral("must be true or false"));
        return std::nullopt;
    }
    return v.toBool();
}

std::optional<qint64> JsonCheck::whole(const QJsonValue& v, const QString& path, qint64 low,
                                       qint64 high) {
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || d < double(low) || d > double(high)) {
        fail(path, QStringLiteral("must be a whole number from %1 to %2").arg(low).arg(high));
        return std::nullopt;
    }
    return qint64(d);
}

std::optional<double> JsonCheck::number(const QJsonValue& v, const QString& path) {
    if (!v.isDouble()) {
        fail(path, QStringLiteral("must be a number"));
        return std::nullopt;
    }
    return v.toDouble();
}

std::optional<float> JsonCheck::sum(const QJsonValue& v, const QString& path) {
    if (v.isString()) {
        const QString t = v.toString();
        if (t == QLatin1String("NaN"))
            return std::numeric_limits<float>::quiet_NaN();
        if (t == QLatin1String("inf"))
            return std::numeric_limits<float>::infinity();
        if (t == QLatin1String("-inf"))
            return -std::numeric_limits<float>::infinity();
    }
    const double d = v.toDouble();
    // Beyond the float range a number cannot have come from a detector's four bytes.
    if (!v.isDouble() || std::fabs(d) > double(std::numeric_limits<float>::max())) {
        fail(path, QStringLiteral("must be a number, \"NaN\", \"inf\" or \"-inf\""));
        return std::nullopt;
    }
    return float(d);
}

std::optional<QDateTime> JsonCheck::time(const QJsonValue& v, const QString& path) {
    static const QRegularExpression shape(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)$)"));
    const QString t = v.toString();
    const QDateTime parsed = QDateTime::fromString(t, Qt::ISODate);
    if (!v.isString() || !shape.match(t).hasMatch() || !parsed.isValid()) {
        fail(path, QStringLiteral("must be a date and time such as 2026-03-04T10:15:02+01:00"));
        return std::nullopt;
    }
    return parsed;
}

QString FieldPath(const QString& path, const char* key) {
    return path.isEmpty() ? QString::fromLatin1(key) : path + QLatin1Char('.') + QLatin1String(key);
}

QString ItemPath(const QString& path, qsizetype index) {
    return QStringLiteral("%1[%2]").arg(path).arg(index);
}

QJsonValue SumJson(float value) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QJsonValue(QByteArray(buffer, int(end - buffer)).toDouble());
}

} // namespace fh::visit
