#pragma once
// The model table: display names, and what each model reads. Every model-dependent rule
// (request counts, setup rows, maintenance decode) compares the main screen's model text with
// these names, so they must match exactly.
#include "link/requests.h"

#include <QString>

namespace fh::model {

inline constexpr char ZorvanA1[] = "Zorvan A1";
inline constexpr char ZorvanA2[] = "Zorvan A2";
inline constexpr char ZorvanA3[] = "Zorvan A3";
inline constexpr char ZorvanA4[] = "Zorvan A4";
inline constexpr char ZorvanA5[] = "Zorvan A5";
inline constexpr char ZorvanB0[] = "Zorvan B0";
inline constexpr char ZorvanB1[] = "Zorvan B1";
inline constexpr char ZorvanB3[] = "Zorvan B3";
inline constexpr char ZorvanB4[] = "Zorvan B4";
inline constexpr char ZorvanC1[] = "Zorvan C1";
inline constexpr char ZorvanC2[] = "Zorvan C2";
inline constexpr char ZorvanC3[] = "Zorvan C3";
inline constexpr char ZorvanD1[] = "Zorvan D1";
inline constexpr char ZorvanD2[] = "Zorvan D2";
inline constexpr char ZorvanD3[] = "Zorvan D3";
inline constexpr char ZorvanE1[] = "Zorvan E1"; // setup screen's list only
inline constexpr char ZorvanV1Ntsc[] = "Zorvan V1 NTSC";
inline constexpr char ZorvanV2Pal[] = "Zorvan V2 PAL";
inline constexpr char Unknown[] = "Unknown Detector";

// The models with the heat settings and the four-register setup write.
inline bool IsHeatModel(const QString& name) {
    return name == QLatin1String(ZorvanC1) || name == QLatin1String(ZorvanC2) ||
           name == QLatin1String(ZorvanC3);
}

// The models that read four setup registers and 22 input registers.
inline bool IsLongReadModel(const QString& name) {
    return IsHeatModel(name) || name == QLatin1String(ZorvanB1);
}

} // namespace fh::model

namespace fh {

// Counts chosen by the model text as shown; empty or unknown names get the smaller ones.
inline int SetupRegisterCount(const QString& modelName) {
    return model::IsLongReadModel(modelName) ? SetupRegistersLong : SetupRegistersShort;
}
inline int InputRegisterCount(const QString& modelName) {
    return model::IsLongReadModel(modelName) ? InputRegistersLong : InputRegistersShort;
}

// The setup read and the maintenance read as the model asks for them.
inline QByteArray ReadSetup(quint8 address, const QString& modelName) {
    return ReadSetup(address, SetupRegisterCount(modelName));
}
inline QByteArray ReadInputs(quint8 address, const QString& modelName) {
    return ReadInputs(address, InputRegisterCount(modelName));
}

} // namespace fh
