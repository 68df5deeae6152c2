#pragma once
// The setup table in holding registers 1 to 4: which settings each model offers, decoding the
// setup read reply into the setup screen's values, and packing those values into the write.
#include <optional>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace fh {

enum class SensitivityList { Sens, SensFast, MI, MI3, SensSingle, UVIR };

// The setup screen's control name of a sensitivity list ("cmbSens", ...).
QString SensitivityListName(SensitivityList list);
// Items in the order the screen fills them; item i writes code i, except cmbUVIR whose
// only item writes code 1.
QStringList SensitivityItems(SensitivityList list);
// The text shown for a decoded code; empty where the list has none.
QString SensitivityText(SensitivityList list, int code);
// The list item a text stands for: the item itself, or a number equal to an item's value
// (" 10.0" is "10"); nothing for any other text.
std::optional<QString> SensitivityItemFor(SensitivityList list, const QString& text);
// The code written for a text, always 0..3 (0..1 for the one-bit lists): the position of the
// item the text stands for, 0 for any other text (which the callers refuse before writing).
quint8 SensitivityCode(SensitivityList list, const QString& text);

// False for typed text that stands for none of the list's items ("abc", "99", "10.5"): it would
// write the first code without a word, so the setup screen refuses it. Empty text passes.
bool SensitivityTextWritable(SensitivityList list, const QString& text);

QStringList DelayItems();    // cmbDelay: code = position
QStringList HeatModeItems(); // cmbHeatMode: code = position
QStringList HeatOnItems();   // cmbHeatOn: the threshold is the number itself

// One row of the model table: what the setup screen shows and how it reads and writes.
struct SetupRow {
    SensitivityList sensitivity = SensitivityList::Sens;
    bool delayShown = false;
    bool heatShown = false;
    bool allFlagsShown = true; // else only chkAlarmL, chkAutoBit and chkAccBit
    int readRegisters = 1;
    bool fourRegisterWrite = false;
};

// The row of a model text; a name not in the table gets the last row.
SetupRow SetupRowFor(const QString& modelName);

// SetupHi flag bits; hidden flags are decoded and written back all the same.
struct SetupFlags {
    bool alarmL = false;    // 0x01 chkAlarmL
    bool accOnWarn = false; // 0x02 chkAccOnWarn
    bool autoBit = false;   // 0x04 chkAutoBit
    bool accBit = false;    // 0x08 chkAccBit
    bool rBit = false;      // 0x10 chkRBit
    bool eol = false;       // 0x80 chkEOL
    friend bool operator==(const SetupFlags&, const SetupFlags&) = default;
};

// The setup screen's values as texts; an empty text is a list without a value.
struct SetupValue {
    QString sensitivity; // text of the row's sensitivity list
    QString delay;       // cmbDelay, set for the models that show it
    QString heatMode;    // cmbHeatMode, heat models only
    QString heatOn;      // cmbHeatOn, heat models only
    SetupFlags flags;
    friend bool operator==(const SetupValue&, const SetupValue&) = default;
};

// The bytes the write carries.
struct SetupBytes {
    quint8 setupHi = 0;
    quint8 setupLo = 0;
    quint8 heatMode = 0; // low byte of register 3
    quint8 heatOn = 0;   // low byte of register 4
    friend bool operator==(const SetupBytes&, const SetupBytes&) = default;
};

// True when the reply answers the setup read the model asks for: function 3, the byte count
// of the registers asked and every data and check byte there.
bool SetupReadReplyProper(const QByteArray& reply, const QString& modelName);

// The screen's values from a setup read reply; nothing when the reply is not a proper answer,
// so no value of another reply is ever shown or written back.
std::optional<SetupValue> DecodeSetupReply(const QByteArray& reply, const QString& modelName);

SetupBytes EncodeSetup(const QString& modelName, const SetupValue& value);

// The write frame: function 6 to register 1 (8 bytes) or, for the heat models, function 16
// to registers 1 to 4 (17 bytes).
QByteArray WriteSetup(quint8 address, const QString& modelName, const SetupValue& value);

// A setting that a write of the values would change although nobody changed it: it was read
// outside its list (a heat byte not listed, a Zorvan A1 sensitivity code 2 or 3, ...).
struct SetupDrift {
    QString key;  // "sensitivity", "heat_mode" or "heat_on"
    int rawValue; // as read: the sensitivity code, or the register's low byte
    friend bool operator==(const SetupDrift&, const SetupDrift&) = default;
};

// The settings of a proper setup read reply whose written value would differ from the value
// read; empty when the reply is not a proper answer.
std::vector<SetupDrift> SetupDrifts(const QByteArray& reply, const QString& modelName,
                                    const SetupValue& toWrite);

// One line for the operator: which settings OK will change, with their raw values.
QString SetupDriftWarning(const std::vector<SetupDrift>& drifts);

// True when the reply acknowledges the frame WriteSetup builds for this model.
bool SetupReplyOK(const QByteArray& reply, const QString& modelName);

} // namespace fh
