#pragma once
// A far end for link tests: answers each request as the test's function says and counts
// what it heard.
#include "common/bytes.h"
#include "link/linepeer.h"

#include <functional>
#include <mutex>

namespace fh::test {

class ScriptedPeer : public LinePeer {
public:
    using Script = std::function<std::vector<ReplySegment>(const QByteArray&, qint64 endUs)>;
    explicit ScriptedPeer(Script s = {}) : script_(std::move(s)) {}

    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        std::lock_guard lock(mutex_);
        heard_.push_back(request);
        return script_ ? script_(request, endUs) : std::vector<ReplySegment>{};
    }
    void setScript(Script s) {
        std::lock_guard lock(mutex_);
        script_ = std::move(s);
    }
    std::vector<QByteArray> heard() const {
        std::lock_guard lock(mutex_);
        return heard_;
    }

private:
    mutable std::mutex mutex_;
    Script script_;
    std::vector<QByteArray> heard_;
};

// An answer of `bytes` whose first byte has fully arrived at the absolute time arrivalUs.
inline std::vector<ReplySegment> arrivingAt(qint64 endUs, qint64 arrivalUs, QByteArray bytes) {
    const qint64 byteUs = 1042;
    return {{arrivalUs - endUs - byteUs, std::move(bytes)}};
}

// A script that answers every request with the same segments.
inline ScriptedPeer::Script always(std::vector<ReplySegment> segments) {
    return [segments](const QByteArray&, qint64) { return segments; };
}

inline const QByteArray StatusTo1 = hex("01 C8 07 00 20 D1 5B 04 05 03 BD 27");
inline const QByteArray ReadSetup1 = hex("01 03 00 01 00 01 D5 CA");
inline const QByteArray Write1 = hex("01 06 00 00 00 02 08 0B");

} // namespace fh::test
