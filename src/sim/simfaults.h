#pragma once
// Misbehaviour a simulated detector can be told to show. Every field off by default; several
// can be combined (they apply in the order of the fields below).
#include <QtGlobal>

namespace fh {

struct SimFaults {
    // Requests the detector does not hear at all (no effect, no answer): the next N ones.
    int ignoreNext = 0;
    // Hears only every Nth request addressed to it (N, 2N, ...); 0 or 1 = every request.
    int answerEvery = 0;
    // Hears nothing.
    bool silent = false;
    // Hears the first N requests addressed to it (after the ignored ones), then nothing: a
    // detector that stops answering halfway. 0 = off.
    int stopAfter = 0;
    // Refuses every request with this exception instead of answering (function byte as sent,
    // e.g. 0x83, and the exception code); the request then has no effect. 0 = off.
    quint8 exceptionFunction = 0;
    quint8 exceptionCode = 0;
    // Both check bytes of the reply are wrong.
    bool wrongCheck = false;
    // The reply is cut to this many bytes; negative = whole reply.
    int shortReply = -1;
    // The first byte comes this long after the request instead of after the latency; 0 = off.
    qint64 lateFirstByteUs = 0;
    // The reply pauses for splitGapUs after its first splitAfter bytes; 0 = not split.
    int splitAfter = 0;
    qint64 splitGapUs = 0;
    // This many noise bytes follow garbageDelayUs after the reply (or after the request when
    // there is no reply); 0 = none. The bytes are the same on every run.
    int garbageBytes = 0;
    qint64 garbageDelayUs = 0;
    // The reply carries this address instead of the detector's own (check bytes right, before
    // wrongCheck applies); 0 = off.
    quint8 replyAddress = 0;
    // The request itself comes back on the line before anything else, as from an adapter that
    // hears its own transmitter.
    bool echo = false;

    bool operator==(const SimFaults&) const = default;
};

} // namespace fh
