#include "detector/setupverify.h"

#include "detector/setupcodec.h"
#include "link/requests.h"

namespace fh {

namespace {

struct Bits {
    const char* key;
    const char* caption;
    int reg;      // setup register 1..4
    quint16 mask; // within the register's word
};

// Every setting's bits; what a model does not show counts as "other bits".
constexpr Bits Settings[] = {
    {"sensitivity", "Sensitivity", 1, 0x6000},
    {"alarm_latch", "Enable Alarm Latch", 1, 0x0100},
    {"relay_on_warning", "Activate Accessory Relay on Warning", 1, 0x0200},
    {"auto_bit", "Enable Automatic BIT", 1, 0x0400},
    {"alarm_on_bit", "Activate Alarm on successfull manual BIT", 1, 0x0800},
    {"relay_on_bit", "Activate Accessory Relay on successful manual BIT", 1, 0x1000},
    {"relay_as_eol", "Accessory Relay as EOL", 1, 0x8000},
    {"delay", "Delay", 1, 0x0070},
    {"heat_mode", "Heat Mode", 3, 0x00FF},
    {"heat_on", "Heat On", 4, 0x00FF},
};
const QString OtherBits = QStringLiteral("other bits");

bool shown(const Bits& b, const SetupRow& row) {
    const QLatin1String key(b.key);
    if (key == QLatin1String("delay"))
        return row.delayShown;
    if (key == QLatin1String("heat_mode") || key == QLatin1String("heat_on"))
        return row.heatShown;
    // Hidden flags are read and written back all the same, so they are compared by name.
    return b.reg == 1;
}

quint16 word(const QByteArray& bytes, int at) {
    return quint16(quint8(bytes.at(at)) << 8 | quint8(bytes.at(at + 1)));
}

// The registers a setup write frame carries, from register 1 on.
QList<quint16> writtenWords(const QByteArray& frame) {
    QList<quint16> words;
    if (frame.size() >= 8 && quint8(frame.at(1)) == fn::WriteSingle)
        words << word(frame, 4);
    else if (frame.size() >= 7 && quint8(frame.at(1)) == fn::WriteMultiple)
        for (int i = 0; i < quint8(frame.at(5)) && 7 + 2 * i + 1 < frame.size(); ++i)
            words << word(frame, 7 + 2 * i);
    return words;
}

} // namespace

QStringList SetupReadBackDifferences(const QString& modelName, const QByteArray& writeFrame,
                                     const QByteArray& readBack) {
    const SetupRow row = SetupRowFor(modelName);
    const QList<quint16> written = writtenWords(writeFrame);
    QStringList out;
    bool other = written.isEmpty();
    for (int i = 0; i < written.size(); ++i) {
        const int reg = i + 1;
        if (readBack.size() < 3 + 2 * reg) {
            other = true;
            break;
        }
        const quint16 diff = written.at(i) ^ word(readBack, 3 + 2 * i);
        quint16 named = 0;
        for (const Bits& b : Settings) {
            if (b.reg != reg || !shown(b, row))
                continue;
            named |= b.mask;
            if (diff & b.mask)
                out << QLatin1String(b.key);
        }
        other = other || (diff & ~named) != 0;
    }
    if (other)
        out << OtherBits;
    return out;
}

QString SetupSettingCaption(const QString& key) {
    for (const Bits& b : Settings)
        if (key == QLatin1String(b.key))
            return QLatin1String(b.caption);
    return key;
}

} // namespace fh
