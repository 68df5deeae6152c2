#pragma once
// A site record with one detector of each kind the files must carry: fully read with odd
// readings, faulted with a setting outside its list, and one whose status was not read.
#include "visit/record.h"

#include <limits>

namespace fh::test {

// The setup entry a detector of this model with these registers reads as.
inline visit::SetupEntry SetupOf(const QString& model, const std::vector<quint16>& registers) {
    QByteArray reply("\x01\x03");
    reply.append(char(2 * registers.size()));
    for (quint16 r : registers)
        reply.append(char(r >> 8)).append(char(r & 0xFF));
    return *visit::SetupEntryFromReply(reply + QByteArray(2, '\0'), model);
}

inline QDateTime At(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

inline visit::SiteRecord SampleRecord() {
    using namespace visit;
    SiteRecord r;
    r.visit = {"North hall",
               "A. Tech",
               At("2026-03-04T10:15:02+01:00"),
               At("2026-03-04T10:21:40+01:00"),
               "flamehost-cli 0.1.0",
               LineInfo{"/dev/ttyUSB0", "rts", false, 4000},
               "1-247 (scanned)",
               true,
               true,
               {}};

    DetectorEntry c1;
    c1.address = 3;
    c1.identity = Identity{358, "Zorvan C1", 31208, 'N', 0};
    c1.firmware = "C1 FW 3.00";
    c1.setup = SetupOf("Zorvan C1", {0x4505, 0, 2, 30});
    Readings readings;
    readings.sum4 = 1520.5f;
    readings.sum45 = 1480;
    readings.sum5 = std::numeric_limits<float>::quiet_NaN();
    readings.bitSum4 = -std::numeric_limits<float>::infinity();
    readings.bitSum45 = 4100;
    readings.bitSum5 = 0.1f;
    readings.noise4 = 3;
    readings.gain = 2;
    readings.temperature = -5;
    readings.voltage = 24.1;
    c1.readings = readings;
    c1.bit = {BitOutcome::Performed, At("2026-03-04T10:16:00+01:00")};
    c1.replyFaults = {{"no_reply", 1}};

    DetectorEntry a1;
    a1.address = 5;
    a1.identity = Identity{113, "Zorvan A1", 1203, 'W', 1};
    a1.firmware = "A1 FW 2.07";
    a1.setup = SetupOf("Zorvan A1", {0x4530}); // sensitivity code 2: not in its list
    readings.gain.reset();                     // a gain code outside 0..3
    readings.bitSum4 = readings.bitSum45 = readings.bitSum5 = std::nullopt;
    a1.readings = readings;
    a1.bit = {BitOutcome::NoAnswer, At("2026-03-04T10:17:00+01:00")};

    DetectorEntry garbled;
    garbled.address = 8;
    garbled.replyFaults = {{"bad_check", 3}};
    garbled.unread = {{"status", "bad check bytes"}, {"firmware", "the status was not read"}};

    r.detectors = {c1, a1, garbled};
    return r;
}

} // namespace fh::test
