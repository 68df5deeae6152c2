#include "sim/simmodels.h"

#include <algorithm>
#include <cstring>

namespace fh {

const std::array<SimModel, 17>& simModels() {
    static const std::array<SimModel, 17> models{{
        {101, "Zorvan D2"},
        {358, "Zorvan C1"},
        {614, "Zorvan C2"},
        {870, "Zorvan C3"},
        {1126, "Zorvan D3"},
        {102, "Zorvan D1"},
        {103, "Zorvan V1 NTSC"},
        {104, "Zorvan V2 PAL"},
        {113, "Zorvan A1"},
        {114, "Zorvan A4"},
        {115, "Zorvan A3"},
        {117, "Zorvan A2"},
        {118, "Zorvan B1"},
        {374, "Zorvan B3"},
        {630, "Zorvan A5"},
        {886, "Zorvan B0"},
        {129, "Zorvan B4"},
    }};
    return models;
}

std::optional<quint16> simModelCode(const QString& name) {
    for (const SimModel& m : simModels())
        if (name == QLatin1String(m.name))
            return m.code;
    return std::nullopt;
}

int simInputCount(quint16 modelCode) {
    switch (modelCode) {
    case 358:
    case 614:
    case 870:
    case 118:
        return 22;
    default:
        return 15;
    }
}

void simPutFloat(std::array<quint16, 22>& regs, int first, float value) {
    if (first < 0 || first + 1 >= static_cast<int>(regs.size()))
        return;
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    regs[first] = static_cast<quint16>(bits >> 16);
    regs[first + 1] = static_cast<quint16>(bits & 0xFFFF);
}

namespace {

const char* nameOf(quint16 code) {
    for (const SimModel& m : simModels())
        if (m.code == code)
            return m.name;
    return "Zorvan";
}

} // namespace

SimFactoryState simFactoryState(quint16 modelCode) {
    SimFactoryState s;
    const bool heatModel = modelCode == 358 || modelCode == 614 || modelCode == 870;
    // Register 1: sensitivity code 1, alarm latch and automatic BIT on; delay code 3 ("5"
    // on the models that show a delay).
    s.setup = {0x2530, 0, 0, 0};
    if (heatModel) {
        s.setup = {0x4505, 0, 1, 15}; // heat AUTO, heat on at 15
    } else if (modelCode == 118) {
        s.setup = {0x2400, 0, 0, 0};
    }

    // Spread the readings a little by model so two detectors on one bus differ.
    const float shift = static_cast<float>(modelCode % 50);
    auto& r = s.inputs;
    r[0] = modelCode;
    r[2] = 0;
    r[4] = 1; // gain code 1, shown as gain 2
    simPutFloat(r, 5, 1520.25f + shift);
    simPutFloat(r, 7, 1480.5f + shift);
    simPutFloat(r, 9, 35.75f + shift / 4);
    r[11] = heatModel ? 0x00FB : 25; // -5 degrees on the heated models, 25 on the others
    r[12] = 240;                     // 24.0 V
    r[13] = (3 << 8) | 4;            // NOISE4, NOISE45
    r[14] = 2 << 8;                  // NOISE5
    if (simInputCount(modelCode) == 22) {
        simPutFloat(r, 16, 4210.5f);
        simPutFloat(r, 18, 4105.25f);
        simPutFloat(r, 20, 88.0f);
    }
    s.version = QByteArray(nameOf(modelCode)) + " FW 2.07";
    return s;
}

} // namespace fh
