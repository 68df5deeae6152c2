#pragma once
// A far end for link tests: answers each request as the test's function says and counts
// what it heard.
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

inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace fh::test
