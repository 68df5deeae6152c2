#pragma once
// The models a simulated detector can be, seen from the detector: which code it reports,
// how many maintenance registers it keeps and what it reads when left alone.
#include <array>
#include <optional>
#include <QString>
#include <QtGlobal>

namespace fh {

struct SimModel {
    quint16 code;
    const char* name;
};

// Every model the detector family reports, by the name printed on its label.
const std::array<SimModel, 17>& simModels();

// The code of a model given by its label name, or nothing for an unknown name.
std::optional<quint16> simModelCode(const QString& name);

// 22 for the models that keep BIT sums (C1, C2, C3 and B1), 15 for all others.
int simInputCount(quint16 modelCode);

// Holding registers 1..4 and input registers 0..21 of a detector fresh from the factory.
struct SimFactoryState {
    std::array<quint16, 4> setup{};
    std::array<quint16, 22> inputs{};
    QByteArray version;
};
SimFactoryState simFactoryState(quint16 modelCode);

// Puts a float into two registers, high word first, each word high byte first: on the line
// the four bytes are the big-endian IEEE-754 single.
void simPutFloat(std::array<quint16, 22>& regs, int first, float value);

} // namespace fh
