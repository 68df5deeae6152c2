#include "commands.h"

#include "detector/maintenance.h"
#include "detector/models.h"
#include "detector/replycheck.h"
#include "link/requests.h"
#include "operations/masterguard.h"

#include <charconv>
#include <cmath>

namespace fh::cli {

namespace {

// A float as the shortest decimal that reads back as the same float, so 1500.3 shows as
// 1500.3 and not as the double nearest to the float. NaN and infinities are text: JSON has
// no number for them, and null means "not in the reply".
QJsonValue floatValue(float f) {
    if (std::isnan(f))
        return QStringLiteral("NaN");
    if (std::isinf(f))
        return f > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, f).ptr;
    return QJsonValue(QByteArray(buffer, int(end - buffer)).toDouble());
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString refusedText(const QByteArray& reply, quint8 address, const QString& what) {
    return QStringLiteral("the detector at %1 did not answer %2 properly (%3 bytes: %4)")
        .arg(AddressText(address), what)
        .arg(reply.size())
        .arg(QString::fromLatin1(reply.toHex(' ')));
}

} // namespace

Transaction Session::transaction(Pattern pattern, const QByteArray& frame) const {
    Transaction t(pattern, frame);
    t.firstByteMs = options.timeoutMs;
    // A scan has hundreds of addresses to get through; it never needs the fixed window.
    t.fastReply = options.fastReplies || options.command == Command::Scan;
    return t;
}

QString AddressText(quint8 address) {
    return address == 0 ? QStringLiteral("address 0 (master mode)")
                        : QStringLiteral("address %1").arg(address);
}

std::optional<Outcome> Unanswered(const Exchange& x, quint8 address, const QString& what) {
    if (x.portError)
        return Outcome::failure(exitcode::Usage,
                                x.portErrorText.isEmpty()
                                    ? QStringLiteral("the port failed during the exchange")
                                    : x.portErrorText);
    if (!x.collected)
        return Outcome::failure(exitcode::NoAnswer,
                                QStringLiteral("no answer from %1").arg(AddressText(address)));
    if (x.answered)
        return std::nullopt;
    if (x.verdict.fault == ReplyFault::Exception)
        return Outcome::failure(exitcode::NoAnswer,
                                QStringLiteral("the detector at %1 refused %2 (exception code %3)")
                                    .arg(AddressText(address), what)
                                    .arg(x.verdict.exceptionCode));
    return Outcome::failure(exitcode::NoAnswer, refusedText(x.reply, address, what) +
                                                    QStringLiteral(": ") +
                                                    ReplyFaultText(x.verdict));
}

void AddReplyFaults(Outcome& outcome, const ReplyFaultCounts& counts) {
    if (!outcome.json.isObject())
        return;
    QJsonObject faults;
    for (int k = 0; k < ReplyFaultKinds; ++k) {
        const auto kind = ReplyFault(k);
        if (kind != ReplyFault::None && counts.count(kind) > 0)
            faults.insert(ReplyFaultKey(kind), qint64(counts.count(kind)));
    }
    if (counts.acceptedBadCheck > 0)
        faults.insert(QStringLiteral("accepted_bad_check"), qint64(counts.acceptedBadCheck));
    if (counts.trailingBytes > 0)
        faults.insert(QStringLiteral("trailing_bytes"), qint64(counts.trailingBytes));
    if (counts.overflowBytes > 0)
        faults.insert(QStringLiteral("overflow_bytes"), qint64(counts.overflowBytes));
    if (faults.isEmpty())
        return;
    QJsonObject o = outcome.json.toObject();
    o.insert(QStringLiteral("reply_faults"), faults);
    outcome.json = o;
}

std::optional<Outcome> PollStatus(const Session& s, DetectorRecord* record) {
    const quint8 a = s.options.address;
    record->Address = a;
    record->MasterMode = a == 0;
    const Exchange x = s.run(s.transaction(Pattern::Poll, SendCommand(a, cmd::Status)));
    // In master mode every detector on the line answers: a garbled reply means several did,
    // and nothing may follow. Any other fault is named below, as at an address.
    if (a == 0 && !x.portError && MasterModeClearance(x) == MasterClearance::Collision)
        return Outcome::failure(exitcode::NoAnswer, QString::fromLatin1(MasterCollisionText));
    if (auto failed = Unanswered(x, a, QStringLiteral("the status command")))
        return failed;
    DecodeStatusReply(x.reply, *record);
    return std::nullopt;
}

Outcome Status(const Session& s) {
    DetectorRecord record;
    const auto failed = PollStatus(s, &record);
    Fields f;
    if (failed) {
        if (failed->exitCode != exitcode::NoAnswer)
            return *failed;
        // Silence is an answer too: the main screen shows the bad-link state.
        BadLinkState(record);
        f.add("address", s.options.address);
        for (const char* key : {"model_code", "model", "serial", "status", "fault"})
            f.add(key, QJsonValue::Null);
        f.add("link", "BAD");
        Outcome o = *failed;
        o.show(f);
        return o;
    }
    f.add("address", record.Address);
    f.add("model_code", record.ModelCode);
    f.add("model", record.ModelName);
    f.add("serial", record.SerialNumber);
    f.add("status", StatusText(record));
    f.add("fault", record.FaultFlag);
    f.add("link", "GOOD");
    Outcome o;
    o.show(f);
    return o;
}

Outcome Bit(const Session& s) {
    // BIT follows a good status reply, as on the main screen: a line that echoes without Echo
    // fails that poll, so a copy of the request that answers the BIT is the detector's.
    DetectorRecord record;
    if (auto failed = PollStatus(s, &record))
        return *failed;
    const quint8 a = record.Address;
    const Exchange x = s.run(s.transaction(Pattern::ButtonRead, SendCommand(a, cmd::Bit)));
    if (x.portError || !x.collected)
        return *Unanswered(x, a, QStringLiteral("the BIT"));
    const bool performed = x.answered && BitPerformed(x.reply);
    Fields f;
    f.add("performed", performed, performed ? "yes" : "no");
    Outcome o = performed ? Outcome{} : *Unanswered(x, a, QStringLiteral("the BIT"));
    o.show(f);
    return o;
}

Outcome Version(const Session& s) {
    const quint8 a = s.options.address;
    const Exchange x = s.run(s.transaction(Pattern::Poll, SendCommand(a, cmd::Version)));
    if (auto failed = Unanswered(x, a, QStringLiteral("the version command")))
        return *failed;
    Fields f;
    f.add("version", VersionText(x.reply));
    Outcome o;
    o.show(f);
    return o;
}

Outcome ReportWrite(Fields& f, const Exchange& x, quint8 address, const QString& what) {
    f.add("acknowledged", x.acknowledged, x.acknowledged ? "yes" : "no");
    f.add("attempts", x.attempts);
    Outcome o =
        x.acknowledged
            ? Outcome{}
            : Outcome::failure(
                  exitcode::NoAnswer,
                  QStringLiteral("the detector at %1 did not acknowledge "
                                 "%2 in %3 attempts%4")
                      .arg(AddressText(address), what)
                      .arg(x.attempts)
                      .arg(x.collected && !x.verdict.ok()
                               ? QStringLiteral(" (last reply: %1)").arg(ReplyFaultText(x.verdict))
                               : QString()));
    o.show(f);
    return o;
}

Outcome Readings(const Session& s) {
    DetectorRecord record;
    if (auto failed = PollStatus(s, &record))
        return *failed;
    const quint8 a = record.Address;
    const Exchange x = s.run(s.transaction(Pattern::Poll, ReadInputs(a, record.ModelName)));
    if (auto failed = Unanswered(x, a, QStringLiteral("the readings request")))
        return *failed;
    const MaintenanceDecode decoded =
        DecodeMaintenanceReply(x.reply, {}, record.ModelName, QString::number(a));
    const MaintenanceReadings& m = decoded.readings;
    const MaintenanceDisplay& d = decoded.display;

    // A value the reply did not carry is null, never a stale or made-up number.
    Fields f;
    auto add = [&f](const char* key, const std::optional<QString>& shown, const QJsonValue& v) {
        if (shown)
            f.add(key, v, *shown);
        else
            f.add(key, QJsonValue::Null);
    };
    add("sum4", d.sum4, floatValue(m.Sum4));
    add("sum45", d.sum45, floatValue(m.Sum45));
    add("sum5", d.sum5, floatValue(m.Sum5));
    add("bit_sum4", d.bitSum4, floatValue(m.BitSum4));
    add("bit_sum45", d.bitSum45, floatValue(m.BitSum45));
    add("bit_sum5", d.bitSum5, floatValue(m.BitSum5));
    add("noise4", d.noise4, m.Noise4);
    add("noise45", d.noise45, m.Noise45);
    add("noise5", d.noise5, m.Noise5);
    // A gain code outside 0..3 has no gain: the detector's code is shown, never a number.
    if (decoded.gainCode && *decoded.gainCode > MaxGainCode)
        f.add("gain", QJsonValue::Null, QStringLiteral("unknown (code %1)").arg(*decoded.gainCode));
    else
        add("gain", d.gain, m.Gain);
    add("temperature", d.temperature, m.Temperature);
    // The shown text is the voltage's shortest form, so 24.1 is not 24.100000000000001.
    add("voltage", d.voltage, d.voltage.value_or(QString()).toDouble());
    add("serial", d.serial, m.SerialNumber);
    add("status", d.status, textOrNull(d.status.value_or(QString())));
    add("fault", d.fault, textOrNull(m.FaultText));
    Outcome o;
    o.show(f);
    return o;
}

Outcome RunCommand(const Session& s) {
    switch (s.options.command) {
    case Command::Status:
        return Status(s);
    case Command::Bit:
        return Bit(s);
    case Command::Version:
        return Version(s);
    case Command::Setup:
        return Setup(s);
    case Command::SetupSet:
        return SetupSet(s);
    case Command::Address:
        return Address(s);
    case Command::Readings:
        return Readings(s);
    case Command::Scan:
        return Scan(s);
    case Command::Monitor: // runs without a line worker, see monitor.h
    case Command::LogCsv:  // reads a file, see logcommand.h
    case Command::Visit:   // visitcommands.h
        break;
    }
    return Outcome::failure(exitcode::Usage, QStringLiteral("unknown command"));
}

} // namespace fh::cli
