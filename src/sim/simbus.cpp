#include "sim/simbus.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace fh {

std::shared_ptr<SimDetector> SimBus::add(quint8 address, quint16 modelCode, quint16 serial) {
    auto d = std::make_shared<SimDetector>(address, modelCode, serial);
    add(d);
    return d;
}

void SimBus::add(std::shared_ptr<SimDetector> detector) {
    if (!detector)
        return;
    std::lock_guard lock(mutex_);
    detectors_.push_back(std::move(detector));
}

std::shared_ptr<SimDetector> SimBus::detector(quint8 address) const {
    std::lock_guard lock(mutex_);
    for (const auto& d : detectors_)
        if (d->address() == address)
            return d;
    return nullptr;
}

std::shared_ptr<SimDetector> SimBus::detectorAt(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(detectors_.size()))
        return nullptr;
    return detectors_[index];
}

int SimBus::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(detectors_.size());
}

void SimBus::remove(quint8 address) {
    std::lock_guard lock(mutex_);
    std::erase_if(detectors_, [address](const auto& d) { return d->address() == address; });
}

std::vector<ReplySegment> SimBus::answer(const QByteArray& request, qint64 endUs) {
    std::lock_guard lock(mutex_);
    std::vector<std::vector<ReplySegment>> replies;
    // Every detector hears the request, even when another one ends up answering: a write to
    // address 0 reaches them all.
    for (const auto& d : detectors_) {
        auto reply = d->respond(request, endUs);
        if (!reply.empty())
            replies.push_back(std::move(reply));
    }
    if (replies.empty())
        return {};
    if (replies.size() == 1)
        return std::move(replies.front());
    return collide(replies);
}

std::vector<ReplySegment> SimBus::collide(const std::vector<std::vector<ReplySegment>>& replies) {
    std::map<qint64, quint8> onLine;
    for (const auto& reply : replies) {
        double t = 0;
        for (const ReplySegment& seg : reply) {
            t += static_cast<double>(seg.delayUs);
            for (char c : seg.bytes) {
                const auto slot = static_cast<qint64>(std::llround(t / ByteUs));
                const auto b = static_cast<quint8>(c);
                auto [it, fresh] = onLine.try_emplace(slot, b);
                if (!fresh)
                    it->second &= b;
                t += ByteUs;
            }
        }
    }
    std::vector<ReplySegment> out;
    qint64 nextSlot = 0;
    for (const auto& [slot, b] : onLine) {
        if (out.empty() || slot != nextSlot)
            out.push_back({std::llround((slot - nextSlot) * ByteUs), {}});
        out.back().bytes.append(static_cast<char>(b));
        nextSlot = slot + 1;
    }
    return out;
}

std::unique_ptr<SimBus> makeDefaultBus() {
    auto bus = std::make_unique<SimBus>();
    // Address 1 is where the host looks first: a detector that warns for 15 s every minute.
    bus->add(1, 117, 20417)->setStatusCycle("NNNW", 15'000'000);
    bus->add(2, 358, 31208);
    bus->add(3, 118, 4711);
    bus->add(4, 113, 1203)->setStatusCycle("NNNNNNNNA", 10'000'000);
    return bus;
}

} // namespace fh
