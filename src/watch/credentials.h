#pragma once
// The MQTT account from a file of its own, so the password is never on a command line or in
// the config: lines "username=NAME" and "password=SECRET"; blank lines and lines starting
// with # are skipped. A file that others can read is refused. No message ever holds a value.
#include "watch/watchconfig.h"

namespace fh::watch {

std::optional<MqttCredentials> ReadCredentials(const QString& path, QString* error);

} // namespace fh::watch
