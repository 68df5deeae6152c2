#pragma once
// The site record: what one visit learned about every detector on a line, as plain values.
// recordjson.h turns it into the flamehost-site/1 file and back (docs/site-record.md).
#include "detector/setupcodec.h"

#include <map>
#include <optional>
#include <QDateTime>
#include <QString>
#include <vector>

namespace fh::visit {

struct LineInfo {
    QString port;         // the device, "tcp://HOST:PORT", or "simulated"
    QString lineMode;     // rts, rts-inverted, auto, kernel
    bool echo = false;    // the adapter returns what it sends
    int turnaroundUs = 0; // the line's turnaround delay
    friend bool operator==(const LineInfo&, const LineInfo&) = default;
};

struct Visit {
    QString site;
    QString technician;
    QDateTime started, ended; // with their offset from UTC
    QString program;          // name and version of the program that made the record
    LineInfo line;
    QString addresses;     // what was surveyed: "1-247 (scanned)" or the list given
    bool bitAsked = false; // BIT was run on each detector
    bool complete = false; // the survey went through every address it meant to
    QString interrupted;   // why it did not ("cancelled", "line lost"); empty when complete
    friend bool operator==(const Visit&, const Visit&) = default;
};

// What the status reply said.
struct Identity {
    quint16 modelCode = 0;
    QString model; // the model table's name for the code
    quint16 serial = 0;
    quint8 statusChar = 0; // the status character as received
    quint8 fault = 0;      // the fault flag
    friend bool operator==(const Identity&, const Identity&) = default;
};

// The setup table as read: the raw holding registers from register 1, and the setup
// screen's values decoded from them. A setting the model offers is empty when its value was
// read outside its list; outsideLists then names it with the raw value.
struct SetupEntry {
    std::vector<quint16> registers;
    SetupValue settings;
    std::vector<SetupDrift> outsideLists;
    friend bool operator==(const SetupEntry&, const SetupEntry&) = default;
};

// The maintenance readings of one reply. Only values the reply carried: the BIT sums are in
// 22-register replies only, and a gain code outside 0..3 gives no gain at all.
struct Readings {
    float sum4 = 0, sum45 = 0, sum5 = 0;
    std::optional<float> bitSum4, bitSum45, bitSum5;
    quint8 noise4 = 0, noise45 = 0, noise5 = 0;
    std::optional<quint8> gain; // 3 minus the gain code
    qint16 temperature = 0;
    double voltage = 0;
    friend bool operator==(const Readings& a, const Readings& b);
};

enum class BitOutcome { NotRun, Performed, NoAnswer };

struct BitResult {
    BitOutcome outcome = BitOutcome::NotRun;
    QDateTime time; // when it was asked; invalid when not run
    friend bool operator==(const BitResult&, const BitResult&) = default;
};

// A part of a detector that was meant to be read and was not, and why.
struct Unread {
    QString part; // "status", "firmware", "setup" or "readings"
    QString reason;
    friend bool operator==(const Unread&, const Unread&) = default;
};

struct DetectorEntry {
    quint8 address = 0;
    std::optional<Identity> identity; // nothing when the status was not read
    std::optional<QString> firmware;
    std::optional<SetupEntry> setup;
    std::optional<Readings> readings;
    BitResult bit;
    // Replies that failed the reply check while this detector was surveyed, by kind
    // (ReplyFaultKey), and "accepted_bad_check" for replies taken with bad check bytes.
    std::map<QString, qint64> replyFaults;
    std::vector<Unread> unread;
    bool fullyRead() const { return unread.empty(); }
    friend bool operator==(const DetectorEntry&, const DetectorEntry&) = default;
};

struct SiteRecord {
    Visit visit;
    std::vector<DetectorEntry> detectors; // by address
    friend bool operator==(const SiteRecord&, const SiteRecord&) = default;
};

QString BitOutcomeText(BitOutcome outcome); // "performed", "no answer", "not run"
std::optional<BitOutcome> BitOutcomeFromText(const QString& text);

// The status character as text ("N"); "f" is not made up here, the fault flag stands beside it.
QString StatusCharText(quint8 statusChar);

// The setup entry of a proper setup read reply; nothing when the reply is not one.
std::optional<SetupEntry> SetupEntryFromReply(const QByteArray& reply, const QString& model);

// The registers a write of value leaves in the detector whose registers were `before`: the
// setup word in register 1, and for the heat models register 2 as 0 and the heat bytes.
std::vector<quint16> RegistersAfterWrite(const QString& model, const SetupValue& value,
                                         const std::vector<quint16>& before);
// The registers a setup write of this model covers (1, or 4 for the heat models).
int WrittenRegisterCount(const QString& model);

} // namespace fh::visit
