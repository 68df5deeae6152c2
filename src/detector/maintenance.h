#pragma once
// The maintenance readings: decoding the read-input-registers reply and the texts the
// maintenance screen shows for it.
#include <optional>
#include <QByteArray>
#include <QString>

namespace fh {

struct MaintenanceReadings {
    float Sum4 = 0, Sum45 = 0, Sum5 = 0;
    float BitSum4 = 0, BitSum45 = 0, BitSum5 = 0;
    quint8 Noise4 = 0, Noise45 = 0, Noise5 = 0;
    quint8 Gain = 0; // 3 minus the gain code
    qint16 Temperature = 0;
    double Voltage = 0;
    quint16 SerialNumber = 0;
    quint8 StatusChar = 0;
    QString FaultText;
    QString Address;
    quint8 LastSumsStatusByte = 0; // only for asking the sums log for a record
};

// The texts the maintenance screen shows for a reply, one per reading. A text left as nullopt
// keeps what is shown: the reply did not carry that value, or the decode stopped early.
struct MaintenanceDisplay {
    QString model; // always set
    std::optional<QString> status, fault, address, serial;
    std::optional<QString> sum4, sum45, sum5;
    std::optional<QString> bitSum4, bitSum45, bitSum5;
    std::optional<QString> noise4, noise45, noise5;
    std::optional<QString> gain, temperature, voltage;
};

// Gain codes run from 0 to this; the gain shown is this minus the code.
inline constexpr quint8 MaxGainCode = 3;

struct MaintenanceDecode {
    MaintenanceReadings readings;
    MaintenanceDisplay display;
    bool stoppedEarly = false; // a 22-register model's reply without function 4
    // Byte 12 as the reply carried it, also outside 0..MaxGainCode (then Gain keeps its value
    // and the gain text its number, which the detector did not send this time).
    std::optional<quint8> gainCode;
};

// Four bytes to a single-precision value; the first argument is the least significant byte,
// so a group received as b, b+1, b+2, b+3 is Com2Float(b+3, b+2, b+1, b): big-endian IEEE-754.
float Com2Float(quint8 b0, quint8 b1, quint8 b2, quint8 b3);

// "##0.00": at least one digit before the point, two after it, rounded.
QString FormatSum(float value);
// Shortest text of the voltage with up to 15 significant digits (24, 24.1, 0.5).
QString FormatVoltage(double value);

// The new readings and the texts to show. Reads only bytes the reply carries: a field whose
// bytes are missing keeps its previous value and its control keeps its text.
MaintenanceDecode DecodeMaintenanceReply(const QByteArray& reply,
                                         const MaintenanceReadings& previous,
                                         const QString& modelName, const QString& addressText);

// Remembers a changed status byte (byte 10) and returns true when the sums log should be
// asked for a record. Looks at the byte also when the decode stopped early.
bool SumsStatusChanged(MaintenanceReadings& readings, const QByteArray& reply);

} // namespace fh
