#pragma once
// A file replaced whole or not at all: the bytes go to a temporary file beside it, are
// flushed to the disk, and only then take the file's name. A crash, a full disk or a lost
// stick leaves the old file as it was.
#include <QByteArray>
#include <QString>

namespace fh::visit {

// False with *error ("PATH: why") when the file could not be written; the old file is then
// untouched and no temporary file is left behind.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

} // namespace fh::visit
