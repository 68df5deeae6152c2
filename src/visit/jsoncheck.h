#pragma once
// Reading our own JSON files strictly: each getter checks one value's type and range and
// remembers the first field at fault, by its path in the file ("detectors[2].serial").
#include <optional>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace fh::visit {

class JsonCheck {
public:
    explicit JsonCheck(QString* error) : error_(error) { error_->clear(); }

    bool ok() const { return error_->isEmpty(); }
    // Keeps the first failure only; always false, so callers can return it.
    bool fail(const QString& path, const QString& what);

    // The member `key` of object; a missing member fails unless it may be absent (then null).
    QJsonValue member(const QJsonObject& object, const QString& path, const char* key,
                      bool mayBeAbsent = false);

    std::optional<QJsonObject> object(const QJsonValue& v, const QString& path);
    std::optional<QJsonArray> array(const QJsonValue& v, const QString& path);
    std::optional<QString> text(const QJsonValue& v, const QString& path);
    std::optional<bool> boolean(const QJsonValue& v, const QString& path);
    std::optional<qint64> whole(const QJsonValue& v, const QString& path, qint64 low, qint64 high);
    std::optional<double> number(const QJsonValue& v, const QString& path);
    // A number, or "NaN", "inf" or "-inf" (JSON has no numbers for them).
    std::optional<float> sum(const QJsonValue& v, const QString& path);
    // ISO 8601 with seconds and an offset from UTC.
    std::optional<QDateTime> time(const QJsonValue& v, const QString& path);

private:
    QString* error_;
};

// "detectors[2]" + "serial" -> "detectors[2].serial".
QString FieldPath(const QString& path, const char* key);
QString ItemPath(const QString& path, qsizetype index);

// A float as JSON: the shortest decimal that reads back as the same float; NaN and the
// infinities as the texts "NaN", "inf" and "-inf".
QJsonValue SumJson(float value);

} // namespace fh::visit
