#pragma once
// Small helpers shared by the simulator tests.
#include "common/bytes.h"
#include "link/linepeer.h"

#include <QByteArray>
#include <vector>

namespace fh::test {

// All reply bytes one after the other, timing dropped.
inline QByteArray joined(const std::vector<ReplySegment>& segments) {
    QByteArray all;
    for (const auto& s : segments)
        all += s.bytes;
    return all;
}

inline QByteArray spaced(const QByteArray& bytes) {
    return bytes.toHex(' ').toUpper();
}

constexpr const char* StatusTo1 = "01 C8 07 00 20 D1 5B 04 05 03 BD 27";
constexpr const char* StatusTo0 = "00 C8 07 00 20 D1 5B 04 05 03 EC E2";

} // namespace fh::test
