#pragma once
// The site record as a flamehost-site/1 JSON file, and back. Reading is strict: a file that
// is not ours, has a newer major format, or holds a field of the wrong type or range is
// refused, and the error names the first field at fault. The format: docs/site-record.md.
#include "visit/record.h"

#include <optional>
#include <QByteArray>
#include <QJsonObject>

namespace fh::visit {

inline constexpr char SiteFormatName[] = "flamehost-site";
inline constexpr int SiteFormatMajor = 1;

// "2026-03-04T10:15:02+01:00": seconds, and the offset always written out.
QString TimeText(const QDateTime& time);

QJsonObject DetectorToJson(const DetectorEntry& entry);
QByteArray RecordBytes(const SiteRecord& record);

// The record in the bytes of a file; nothing, with *error as "FIELD: what is wrong", when
// they are not a record this program can read.
std::optional<SiteRecord> RecordFromBytes(const QByteArray& bytes, QString* error);
// One detector entry; `where` is its place in the file ("detectors[3]", "detector").
std::optional<DetectorEntry> DetectorFromJson(const QJsonValue& value, const QString& where,
                                              QString* error);

// Checks the "format" member: our name and a major version this program reads ("NAME/1" or
// "NAME/1.MINOR"). False with *error set otherwise.
bool FormatReadable(const QJsonObject& top, const char* name, int major, QString* error);

// Whole files. Errors begin with the file's path.
std::optional<SiteRecord> ReadRecordFile(const QString& path, QString* error);
bool WriteRecordFile(const QString& path, const SiteRecord& record, QString* error);

// The JSON of a file read whole, refusing what is too large or not a JSON object. Errors
// begin with the path.
std::optional<QJsonObject> ReadJsonFile(const QString& path, QString* error);

} // namespace fh::visit
