#pragma once
// A line with several simulated detectors on it. Every detector hears every request; when
// more than one answers, their bytes meet on the wire and come out mangled.
#include "link/linepeer.h"
#include "sim/simdetector.h"

#include <memory>
#include <mutex>
#include <vector>

namespace fh {

class SimBus final : public LinePeer {
public:
    // One byte on a 9600-baud line: 10 bit times.
    static constexpr double ByteUs = 10.0 * 1'000'000.0 / 9600.0;

    // Adds a factory-fresh detector and returns it (owned by the bus, shared with callers).
    std::shared_ptr<SimDetector> add(quint8 address, quint16 modelCode, quint16 serial);
    void add(std::shared_ptr<SimDetector> detector);
    // The detector now answering at this address (nullptr when none; the first of several).
    std::shared_ptr<SimDetector> detector(quint8 address) const;
    std::shared_ptr<SimDetector> detectorAt(int index) const;
    int count() const;
    // Takes the detectors at this address off the line.
    void remove(quint8 address);

    // Any thread. Silence when nobody answers; the one reply as it is; overlapping replies
    // combined byte by byte with AND, as a line driven low by either driver reads low.
    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override;

    // Overlays replies on one time line, one byte slot per byte time.
    static std::vector<ReplySegment> collide(const std::vector<std::vector<ReplySegment>>& replies);

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<SimDetector>> detectors_;
};

// The bus for demonstrations and --simulate: address 1 Zorvan A2 whose status goes N -> W ->
// N, address 2 Zorvan C1, address 3 Zorvan B1, address 4 Zorvan A1 that raises an alarm now
// and then.
std::unique_ptr<SimBus> makeDefaultBus();

} // namespace fh
