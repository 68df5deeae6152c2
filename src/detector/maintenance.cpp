#include "detector/maintenance.h"

#include "detector/models.h"
#include "link/requests.h"

#include <bit>
#include <cmath>

namespace fh {

namespace {

// Reply byte positions (register r at bytes 3 + 2r and 4 + 2r).
constexpr int FunctionByte = 1;
constexpr int SerialByte = 5;
constexpr int FaultByte = 9;
constexpr int StatusByte = 10;
constexpr int GainByte = 12;
constexpr int SumBytes[3] = {13, 17, 21};
constexpr int TemperatureByte = 26;
constexpr int VoltageByte = 27;
constexpr int NoiseBytes[3] = {29, 30, 31};
constexpr int BitSumBytes[3] = {35, 39, 43};

class Reply {
public:
    explicit Reply(const QByteArray& bytes) : bytes_(bytes) {}
    // True when bytes first .. first + count - 1 were all received.
    bool has(int first, int count = 1) const { return first + count <= bytes_.size(); }
    quint8 operator[](int i) const { return static_cast<quint8>(bytes_.at(i)); }
    float floatAt(int b) const {
        const Reply& r = *this;
        return Com2Float(r[b + 3], r[b + 2], r[b + 1], r[b]);
    }

private:
    const QByteArray& bytes_;
};

QString charText(quint8 code) {
    return QString(QChar::fromLatin1(char(code)));
}

} // namespace

float Com2Float(quint8 b0, quint8 b1, quint8 b2, quint8 b3) {
    const quint32 bits = quint32(b3) << 24 | quint32(b2) << 16 | quint32(b1) << 8 | b0;
    return std::bit_cast<float>(bits);
}

QString FormatSum(float value) {
    QString text = QString::number(double(value), 'f', 2);
    // A value that rounds to zero shows no sign.
    if (text == QLatin1String("-0.00"))
        text.remove(0, 1);
    return text;
}

QString FormatVoltage(double value) {
    return QString::number(value, 'g', 15);
}

MaintenanceDecode DecodeMaintenanceReply(const QByteArray& bytes,
                                         const MaintenanceReadings& previous,
                                         const QString& modelName, const QString& addressText) {
    MaintenanceDecode out;
    MaintenanceReadings& m = out.readings;
    MaintenanceDisplay& d = out.display;
    m = previous;
    d.model = QStringLiteral("Model  ") + modelName;

    const Reply r(bytes);
    // The long-read models answer with function 4 or not at all; anything else (an exception
    // reply) changes nothing but the model line.
    if (model::IsLongReadModel(modelName) &&
        !(r.has(FunctionByte) && r[FunctionByte] == fn::ReadInput)) {
        out.stoppedEarly = true;
        return out;
    }

    if (r.has(StatusByte)) {
        m.StatusChar = r[StatusByte];
        d.status = charText(m.StatusChar);
    }
    if (r.has(FaultByte)) {
        m.FaultText = r[FaultByte] != 0 ? QStringLiteral("F") : QStringLiteral("N");
        d.fault = m.FaultText;
    }
    m.Address = addressText;
    d.address = addressText;
    if (r.has(SerialByte, 2)) {
        m.SerialNumber = quint16(r[SerialByte] << 8 | r[SerialByte + 1]);
        d.serial = QString::number(m.SerialNumber);
    }
    if (r.has(TemperatureByte)) {
        m.Temperature = static_cast<qint8>(r[TemperatureByte]);
        d.temperature = QString::number(m.Temperature);
    }
    if (r.has(VoltageByte, 2)) {
        // Signed, so a word above 32767 shows as a negative voltage.
        const auto word = static_cast<qint16>(quint16(r[VoltageByte] << 8 | r[VoltageByte + 1]));
        m.Voltage = word * 0.1;
        d.voltage = FormatVoltage(m.Voltage);
    }
    if (r.has(GainByte)) {
        out.gainCode = r[GainByte];
        if (r[GainByte] <= MaxGainCode)
            m.Gain = quint8(MaxGainCode - r[GainByte]);
        d.gain = QString::number(m.Gain);
    }

    float* sums[3] = {&m.Sum4, &m.Sum45, &m.Sum5};
    float* bitSums[3] = {&m.BitSum4, &m.BitSum45, &m.BitSum5};
    std::optional<QString>* sumTexts[3] = {&d.sum4, &d.sum45, &d.sum5};
    std::optional<QString>* bitTexts[3] = {&d.bitSum4, &d.bitSum45, &d.bitSum5};
    quint8* noises[3] = {&m.Noise4, &m.Noise45, &m.Noise5};
    std::optional<QString>* noiseTexts[3] = {&d.noise4, &d.noise45, &d.noise5};
    for (int k = 0; k < 3; ++k) {
        if (r.has(SumBytes[k], 4)) {
            *sums[k] = r.floatAt(SumBytes[k]);
            *sumTexts[k] = FormatSum(*sums[k]);
        }
        if (r.has(BitSumBytes[k], 4)) {
            *bitSums[k] = r.floatAt(BitSumBytes[k]);
            *bitTexts[k] = FormatSum(*bitSums[k]);
        }
        if (r.has(NoiseBytes[k])) {
            *noises[k] = r[NoiseBytes[k]];
            *noiseTexts[k] = QString::number(*noises[k]);
        }
    }
    return out;
}

bool SumsStatusChanged(MaintenanceReadings& readings, const QByteArray& reply) {
    if (reply.size() <= StatusByte)
        return false;
    const quint8 status = static_cast<quint8>(reply.at(StatusByte));
    if (status == readings.LastSumsStatusByte)
        return false;
    readings.LastSumsStatusByte = status;
    return true;
}

} // namespace fh
