#pragma once
// The program's "About" text: name, version, copyright and licence, as the help window shows it.
#include <QString>

namespace fh {

QString AboutText();

} // namespace fh
