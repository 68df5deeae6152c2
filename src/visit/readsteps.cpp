#include "visit/readsteps.h"

#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "detector/models.h"
#include "detector/replycheck.h"
#include "link/requests.h"

namespace fh::visit {

namespace {

constexpr int GainByte = 12;
constexpr quint8 MaxGainCode = 3;

} // namespace

QString StepPart(ReadStep step) {
    switch (step) {
    case ReadStep::Status:
        break;
    case ReadStep::Firmware:
        return QStringLiteral("firmware");
    case ReadStep::Setup:
        return QStringLiteral("setup");
    case ReadStep::Bit:
        return QStringLiteral("bit");
    case ReadStep::Readings:
        return QStringLiteral("readings");
    }
    return QStringLiteral("status");
}

Transaction StepTransaction(ReadStep step, quint8 address, const QString& model, int firstByteMs) {
    Transaction t;
    switch (step) {
    case ReadStep::Status:
        t = {Pattern::Poll, SendCommand(address, cmd::Status)};
        break;
    case ReadStep::Firmware:
        t = {Pattern::Poll, SendCommand(address, cmd::Version)};
        break;
    case ReadStep::Setup:
        t = {Pattern::ButtonRead, ReadSetup(address, model)};
        break;
    case ReadStep::Bit:
        t = {Pattern::ButtonRead, SendCommand(address, cmd::Bit)};
        break;
    case ReadStep::Readings:
        t = {Pattern::Poll, ReadInputs(address, model)};
        break;
    }
    t.firstByteMs = firstByteMs;
    // A reply of known length ends its collection once complete; others keep the 100 ms.
    t.fastReply = true;
    return t;
}

std::optional<Readings> ReadingsFromReply(const QByteArray& reply, const QString& model) {
    // The worker's check has made sure the byte count is the one asked for.
    if (reply.size() < 5 + 2 * InputRegistersShort)
        return std::nullopt;
    const MaintenanceDecode d = DecodeMaintenanceReply(reply, {}, model, QString());
    if (d.stoppedEarly)
        return std::nullopt;
    const MaintenanceReadings& m = d.readings;
    Readings r;
    r.sum4 = m.Sum4;
    r.sum45 = m.Sum45;
    r.sum5 = m.Sum5;
    if (d.display.bitSum5) { // a 22-register reply: all three are there
        r.bitSum4 = m.BitSum4;
        r.bitSum45 = m.BitSum45;
        r.bitSum5 = m.BitSum5;
    }
    r.noise4 = m.Noise4;
    r.noise45 = m.Noise45;
    r.noise5 = m.Noise5;
    // The decoder keeps an earlier gain for a code outside 0..3; here there is none to keep.
    const auto code = quint8(reply.at(GainByte));
    if (code <= MaxGainCode)
        r.gain = quint8(MaxGainCode - code);
    r.temperature = m.Temperature;
    // The shown text is the voltage's shortest form, so 24.1 stays 24.1 in the file.
    r.voltage = FormatVoltage(m.Voltage).toDouble();
    return r;
}

bool TakeStep(ReadStep step, const Exchange& x, DetectorEntry* entry) {
    if (!x.answered)
        return false;
    const QString model = entry->identity ? entry->identity->model : QString();
    switch (step) {
    case ReadStep::Status: {
        if (!StatusReplyComplete(x.reply))
            return false;
        DetectorRecord record;
        DecodeStatusReply(x.reply, record);
        entry->identity = Identity{record.ModelCode, record.ModelName, record.SerialNumber,
                                   record.StatusChar, record.FaultFlag};
        return true;
    }
    case ReadStep::Firmware:
        entry->firmware = VersionText(x.reply);
        return true;
    case ReadStep::Setup:
        entry->setup = SetupEntryFromReply(x.reply, model);
        return entry->setup.has_value();
    case ReadStep::Bit:
        return BitPerformed(x.reply);
    case ReadStep::Readings:
        entry->readings = ReadingsFromReply(x.reply, model);
        return entry->readings.has_value();
    }
    return false;
}

void CountReplyFault(const Exchange& x, DetectorEntry* entry) {
    if (x.portError)
        return;
    if (!x.verdict.ok())
        ++entry->replyFaults[ReplyFaultKey(x.verdict.fault)];
    else if (x.verdict.checkBytesBad)
        ++entry->replyFaults[QStringLiteral("accepted_bad_check")];
}

} // namespace fh::visit
