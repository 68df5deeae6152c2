#include "visit/addresslist.h"

#include <QStringList>
#include <set>

namespace fh::visit {

namespace {

std::optional<int> address(const QString& text) {
    bool ok = false;
    const int a = text.trimmed().toInt(&ok, 10);
    return ok && a >= 1 && a <= 247 ? std::optional(a) : std::nullopt;
}

} // namespace

std::optional<std::vector<quint8>> ParseAddressList(const QString& text, QString* error) {
    std::set<int> chosen;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        const auto first = address(ends.first());
        const auto last = ends.size() == 2 ? address(ends.last()) : first;
        if (ends.size() > 2 || !first || !last || *first > *last) {
            *error = QStringLiteral("\"%1\" is not an address from 1 to 247 or a range such as "
                                    "1-32")
                         .arg(part);
            return std::nullopt;
        }
        for (int a = *first; a <= *last; ++a)
            chosen.insert(a);
    }
    return std::vector<quint8>(chosen.begin(), chosen.end());
}

QString AddressListText(const std::vector<quint8>& addresses) {
    QStringList parts;
    for (size_t i = 0; i < addresses.size();) {
        size_t j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1)
            ++j;
        if (j >= i + 2)
            parts << QStringLiteral("%1-%2").arg(addresses[i]).arg(addresses[j]);
        else
            for (size_t k = i; k <= j; ++k)
                parts << QString::number(addresses[k]);
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

} // namespace fh::visit
