#pragma once
// The one detector the host works with, the model table, and what a status reply means for
// the main screen's identity and status displays.
#include "detector/rgb.h"

#include <QByteArray>
#include <QString>

namespace fh {

struct DetectorRecord {
    quint8 Address = 1;
    bool MasterMode = false;
    quint16 ModelCode = 0;
    QString ModelName; // empty while the link is bad
    quint16 SerialNumber = 0;
    quint8 StatusChar = 0;
    quint8 FaultFlag = 0;
    bool LinkGood = false;
    quint8 LastStatusByte = 0; // only for noticing status changes
};

// What the main screen shows for the record.
struct StatusDisplay {
    QString addressText = QStringLiteral("1");
    QString statusText = QStringLiteral("D");
    Rgb statusBackground = colour::LightPeach;
    Rgb statusCharColour = colour::Blue;
    QString modelText;
    QString serialText;
    Rgb linkLamp = colour::White; // neither red nor green until the first poll ends
    QString linkText;
    Rgb linkTextColour = colour::Green;
    friend bool operator==(const StatusDisplay&, const StatusDisplay&) = default;
};

// Status reply byte positions.
namespace statusbyte {
inline constexpr int Address = 0;
inline constexpr int ModelHigh = 5;
inline constexpr int ModelLow = 6;
inline constexpr int SerialHigh = 7;
inline constexpr int SerialLow = 8;
inline constexpr int Fault = 9;
inline constexpr int Status = 10;
} // namespace statusbyte

// Display name of a 16-bit model code; "Unknown Detector" for codes not in the table.
QString GetModelName(quint16 code);

// The status display's background for a status character: yellow for a warning, red for an
// alarm, light peach for the rest.
Rgb StatusBackground(quint8 statusChar);

// "D" while the link is bad, "f" on a fault, else the status character.
QString StatusText(const DetectorRecord& record);

// Decodes the reply of a successful poll into the record and returns the displays with the
// link shown good. A reply that fails StatusReplyComplete is a failed poll: the bad-link state.
StatusDisplay DecodeStatusReply(const QByteArray& reply, DetectorRecord& record);

// A failed poll: "D", emptied model and serial, red lamp and "BAD"; address, model code and
// LastStatusByte are kept.
StatusDisplay BadLinkState(DetectorRecord& record);

// The poll has just moved to another target: nothing is known of the detector there until it
// answers. As BadLinkState, but the lamp is neither green nor red and there is no link text.
StatusDisplay UnheardState(DetectorRecord& record);

// The main screen shows "f" for this record.
bool ShowsFault(const DetectorRecord& record);

// Called after DecodeStatusReply: remembers a changed status byte and returns true when the
// status log should append a record (the new byte is a letter).
bool DetectStatusChange(DetectorRecord& record, const QByteArray& reply);

} // namespace fh
