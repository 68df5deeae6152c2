#pragma once
// A far end for link tests: answers each request as the test's function says and counts
// what it heard; and the line to it, in virtual time.
#include "common/bytes.h"
#include "detector/replycheck.h"
#include "link/crc.h"
#include "link/linepeer.h"
#include "link/link.h"
#include "link/virtualport.h"

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

// A script that answers every request with the same segments.
inline ScriptedPeer::Script always(std::vector<ReplySegment> segments) {
    return [segments](const QByteArray&, qint64) { return segments; };
}

inline const QByteArray StatusTo1 = hex("01 C8 07 00 20 D1 5B 04 05 03 BD 27");
inline const QByteArray StatusReply = withCrc(hex("01 C8 0A 00 20 00 75 01 00 00 4E 00"));
inline const QByteArray ReadSetup1 = hex("01 03 00 01 00 01 D5 CA");
inline const QByteArray SetupReply = hex("01 03 02 00 07 F9 86");
inline const QByteArray Write1 = hex("01 06 00 00 00 02 08 0B");

// The engine on an open virtual line to a scripted detector, with the line's time line kept.
struct Line {
    VirtualClock clock;
    ScriptedPeer peer;
    VirtualPort port{clock, peer};
    Link link{port, clock, MakeReplyChecker()};
    explicit Line(ScriptedPeer::Script s = {}) : peer(std::move(s)) {
        port.setTracing(true);
        port.open();
    }

    // When the first (or last) event of a kind happened; -1 if none did.
    qint64 first(LineEvent::Kind kind, bool last = false) const {
        qint64 t = -1;
        for (const auto& e : port.events())
            if (e.kind == kind && (t < 0 || last))
                t = e.timeUs;
        return t;
    }
};

} // namespace fh::test
