#pragma once
// Bus address lists as an operator types them: "1-32,40".
#include <optional>
#include <QString>
#include <vector>

namespace fh::visit {

// Addresses 1..247 in rising order, each once; nothing, with *error, for anything else
// ("0", "5-3", "7,,8", "x").
std::optional<std::vector<quint8>> ParseAddressList(const QString& text, QString* error);

// The shortest text for the list: runs of three or more as ranges ("1-32,40").
QString AddressListText(const std::vector<quint8>& addresses);

} // namespace fh::visit
