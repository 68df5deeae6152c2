#include "screens/common/about.h"

#include "flamehost/version.h"

namespace fh {

QString AboutText() {
    return QStringLiteral("flamehost %1\n"
                          "Maintenance host for addressable flame detectors on an RS-485 line.\n"
                          "%2\n"
                          "License GPL-3.0-or-later: GNU GPL version 3 or later. "
                          "This program comes with NO WARRANTY.")
        .arg(QStringLiteral(FLAMEHOST_VERSION), QStringLiteral(FLAMEHOST_COPYRIGHT));
}

} // namespace fh
