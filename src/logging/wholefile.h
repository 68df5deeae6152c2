#pragma once
// A file written whole or not at all, for entries that exist nowhere else any more.
#include <QByteArray>
#include <QString>

namespace fh {

// Makes bytes the whole content of the file at path: written to a new file beside it, synced
// to the disk, then renamed over it. True only when every byte is on the disk; otherwise the
// file at path is as it was (or still missing), nothing half written stays behind, and
// errorText gets the system's reason ("No space left on device").
bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* errorText);

} // namespace fh
