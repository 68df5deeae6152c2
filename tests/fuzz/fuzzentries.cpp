#include "fuzzentries.h"

#include "cliargs.h"
#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "detector/models.h"
#include "detector/replycheck.h"
#include "detector/setupcodec.h"
#include "link/crc.h"
#include "link/requests.h"
#include "link/tuningfile.h"
#include "logging/logreader.h"
#include "visit/recordjson.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <QBuffer>

namespace fh::fuzz {

namespace {

void require(bool holds) {
    if (!holds)
        std::abort();
}

QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The entry of a target whose first byte picks a model or a request.
template <void (*F)(uint8_t, const QByteArray&)> void picked(const uint8_t* data, size_t size) {
    if (size > 0)
        F(data[0], bytes(data + 1, size - 1));
}

using namespace model;

// The first input byte picks a model; the rest is the reply.
const char* const Models[] = {ZorvanA1, ZorvanA2, ZorvanA3, ZorvanB1, ZorvanB3, ZorvanC1,
                              ZorvanC2, ZorvanD1, ZorvanA5, Unknown,  ""};

QString pickModel(uint8_t b) {
    return QString::fromLatin1(Models[b % std::size(Models)]);
}

// The first input byte picks a request, to address 0 (master mode) when bit 7 is set.
QByteArray pickRequest(uint8_t b) {
    const quint8 a = (b & 0x80) ? 0 : 5;
    const QByteArray requests[] = {SendCommand(a, cmd::Status),
                                   SendCommand(a, cmd::Bit),
                                   SendCommand(a, cmd::Version),
                                   ReadSetup(a, ZorvanC1),
                                   ReadSetup(a, ZorvanA2),
                                   ReadInputs(a, ZorvanB1),
                                   WriteAddr(a, 12),
                                   WriteSetup(a, ZorvanC2, {}),
                                   ReadInputs(a, QString())};
    return requests[b % std::size(requests)];
}

void replyCheck(uint8_t pick, const QByteArray& reply) {
    const QByteArray request = pickRequest(pick);
    const CheckOptions options{.acceptBadCheck = (pick & 0x40) != 0};
    const ReplyVerdict v = CheckReply(request, reply, options);
    if (!v.ok())
        return;
    // A passed reply is a whole frame of the function asked, from an address that fits.
    require(v.frameLength >= 5 && v.frameLength + v.trailingBytes == reply.size());
    const QByteArray frame = reply.left(v.frameLength);
    require(frame.at(1) == request.at(1));
    require(options.acceptBadCheck || withCrc(frame.left(frame.size() - 2)) == frame);
    const quint8 from = quint8(frame.at(0));
    require(request.at(0) == 0 ? from >= 1 && from <= 247 : from == quint8(request.at(0)));
    DetectorRecord record;
    DecodeStatusReply(frame, record);
    VersionText(frame);
    DecodeMaintenanceReply(frame, {}, QString::fromLatin1(ZorvanB1), QStringLiteral("5"));
}

void statusDecoder(const uint8_t* data, size_t size) {
    DetectorRecord record;
    record.MasterMode = size > 0 && (data[0] & 1);
    const QByteArray reply = bytes(data, size);
    const StatusDisplay d = DecodeStatusReply(reply, record);
    require(record.LinkGood == StatusReplyComplete(reply));
    require(!d.statusText.isEmpty());
    DetectStatusChange(record, reply);
}

void setupDecoder(uint8_t pick, const QByteArray& reply) {
    const QString model = pickModel(pick);
    const auto value = DecodeSetupReply(reply, model);
    require(value.has_value() == SetupReadReplyProper(reply, model));
    if (value)
        SetupDriftWarning(SetupDrifts(reply, model, *value));
}

void readingsDecoder(uint8_t pick, const QByteArray& reply) {
    MaintenanceReadings readings;
    const MaintenanceDecode d =
        DecodeMaintenanceReply(reply, readings, pickModel(pick), QStringLiteral("1"));
    require(d.display.model.startsWith(QStringLiteral("Model  ")));
    readings = d.readings;
    SumsStatusChanged(readings, reply);
}

// decode -> encode -> decode keeps every value that was in its list, and every flag.
void setupRoundTrip(uint8_t pick, const QByteArray& rest) {
    const QString model = pickModel(pick);
    const SetupRow row = SetupRowFor(model);
    QByteArray registers = rest.left(8);
    registers.resize(2 * row.readRegisters, '\0');
    QByteArray body;
    body.append(char(1)).append(char(fn::ReadHolding)).append(char(registers.size()));
    const auto first = DecodeSetupReply(withCrc(body + registers), model);
    require(first.has_value());

    const SetupBytes written = EncodeSetup(model, *first);
    QByteArray again(2 * row.readRegisters, '\0');
    again[0] = char(written.setupHi);
    again[1] = char(written.setupLo);
    if (row.readRegisters == SetupRegistersLong) {
        again[5] = char(written.heatMode);
        again[7] = char(written.heatOn);
    }
    const auto second = DecodeSetupReply(withCrc(body + again), model);
    require(second.has_value());
    require(second->flags == first->flags);
    for (auto field :
         {&SetupValue::sensitivity, &SetupValue::delay, &SetupValue::heatMode, &SetupValue::heatOn})
        require((*first).*field == QString() || (*first).*field == (*second).*field);
    // Only a value read outside its list may drift, and the drift is reported.
    const auto drifts = SetupDrifts(withCrc(body + registers), model, *first);
    require(drifts.empty() || !SetupDriftWarning(drifts).isEmpty());
}

void tuningReader(const uint8_t* data, size_t size) {
    int delay = -1;
    if (ParseTurnaroundDelay(TuningFileFirstLine(bytes(data, size)), &delay)) {
        require(delay >= 0 && delay <= MaxTurnaroundDelay);
        // One step up, or back to the default past the ceiling: never negative, never wrapped.
        const int next = NextTuningDelay(delay);
        require(next == delay + TuningStepUs || next == DefaultTurnaroundDelay);
        require(next >= 0 && next <= TuningMaxUs);
    }
}

// Arguments separated by NUL bytes, after the program name.
void cliArguments(const uint8_t* data, size_t size) {
    QStringList args{QStringLiteral("flamehost-cli")};
    for (const QByteArray& a : bytes(data, size).split('\0'))
        args << QString::fromUtf8(a);
    const cli::ParsedArgs parsed = cli::ParseArguments(args);
    require(parsed.help || parsed.options.has_value() != !parsed.error.isEmpty());
    if (parsed.options) {
        const cli::Options& o = *parsed.options;
        require(o.address <= 247 && o.timeoutMs >= 1 && o.from >= 1 && o.to <= 247);
        if (o.command == cli::Command::LogCsv)
            require(!o.logFile.isEmpty() && o.port.isEmpty() && !o.simulate);
        else
            require(cli::FilesOnly(o.visitCommand) || o.port.isEmpty() == o.simulate);
    }
}

// A log file: read whole and in chunks of 1 to 64 bytes (the first byte), the same records and
// unreadable lines come out, each in line order, and every line is counted.
void logReader(const uint8_t* data, size_t size) {
    const QByteArray file = bytes(data, size);
    using Lines = std::pair<std::vector<qint64>, std::vector<qint64>>; // records, unreadable
    auto read = [&file](qint64 chunk) {
        QBuffer buffer;
        buffer.setData(file);
        buffer.open(QIODevice::ReadOnly);
        LogReader reader(&buffer, LogKind::Unknown, QLocale(QLocale::English));
        Lines lines;
        while (!reader.atEnd()) {
            const LogBatch b = reader.read(chunk);
            for (const LogRecord& r : b.records)
                lines.first.push_back(r.line);
            for (const UnreadableLine& u : b.unreadable)
                lines.second.push_back(u.line);
        }
        for (const auto* v : {&lines.first, &lines.second})
            require(std::is_sorted(v->begin(), v->end()) &&
                    (v->empty() || v->back() <= reader.linesRead()));
        require(reader.linesRead() ==
                file.count('\n') + (file.endsWith('\n') || file.isEmpty() ? 0 : 1));
        return lines;
    };
    require(read(LogReader::DefaultChunkBytes) == read(size > 0 ? data[0] % 64 + 1 : 1));
}

// A site record read is one that writes back to the same record.
void siteRecord(const uint8_t* data, size_t size) {
    QString error;
    const auto record = visit::RecordFromBytes(bytes(data, size), &error);
    require(record.has_value() == error.isEmpty());
    if (record)
        require(visit::RecordFromBytes(visit::RecordBytes(*record), &error) == record);
}

const Target AllTargets[] = {{"replycheck", picked<replyCheck>},
                             {"status", statusDecoder},
                             {"setup", picked<setupDecoder>},
                             {"readings", picked<readingsDecoder>},
                             {"setup_roundtrip", picked<setupRoundTrip>},
                             {"tuning", tuningReader},
                             {"cliargs", cliArguments},
                             {"logreader", logReader},
                             {"site_record", siteRecord}};

} // namespace

std::span<const Target> Targets() {
    return AllTargets;
}

Entry FindTarget(const char* name) {
    for (const Target& t : AllTargets)
        if (std::strcmp(t.name, name) == 0)
            return t.entry;
    return nullptr;
}

} // namespace fh::fuzz
