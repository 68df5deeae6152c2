// Maintenance replies into readings and screen texts, including short and refused replies.
#include "detector/maintenance.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

// A read-input-registers reply of n registers, all data zero; set() fills single bytes.
struct InputReply {
    explicit InputReply(int registers, quint8 function = 4) : bytes(3 + 2 * registers + 2, '\0') {
        bytes[0] = 1;
        bytes[1] = char(function);
        bytes[2] = char(2 * registers);
    }
    InputReply& set(int index, std::initializer_list<int> values) {
        for (int v : values)
            bytes[index++] = char(v);
        return *this;
    }
    QByteArray bytes;
};

MaintenanceDecode decode(const QByteArray& reply, const QString& model = "Zorvan A1",
                         const MaintenanceReadings& previous = {}) {
    return DecodeMaintenanceReply(reply, previous, model, "12");
}

TEST(FormatTexts, SumsAndVoltage) {
    const std::pair<float, const char*> sums[] = {{0.5f, "0.50"},      {-0.001f, "0.00"},
                                                  {0.125f, "0.13"},    {-0.125f, "-0.13"},
                                                  {99.999f, "100.00"}, {123456.0f, "123456.00"}};
    for (const auto& [value, text] : sums)
        EXPECT_EQ(FormatSum(value), text) << value;

    const std::pair<int, const char*> volts[] = {
        {5, "0.5"}, {0, "0"}, {-1, "-0.1"}, {32767, "3276.7"}, {-32768, "-3276.8"}};
    for (const auto& [word, text] : volts)
        EXPECT_EQ(FormatVoltage(word * 0.1), text) << word;
}

TEST(DecodeMaintenanceReply, FieldTexts) {
    using D = MaintenanceDisplay;
    const struct {
        const char* what;
        InputReply reply;
        std::optional<QString> D::*field;
        const char* text;
    } cases[] = {
        {"temperature -128", InputReply(15).set(26, {0x80}), &D::temperature, "-128"},
        {"voltage 24.1", InputReply(15).set(27, {0x00, 0xF1}), &D::voltage, "24.1"},
        {"voltage word above 32767", InputReply(15).set(27, {0xFF, 0xF6}), &D::voltage, "-1"},
        {"gain code 2", InputReply(15).set(12, {2}), &D::gain, "1"},
        {"gain code 0", InputReply(15).set(12, {0}), &D::gain, "3"},
        {"gain code 7 keeps 0", InputReply(15).set(12, {7}), &D::gain, "0"},
        {"fault 0", InputReply(15).set(9, {0}), &D::fault, "N"},
        {"fault 2", InputReply(15).set(9, {2}), &D::fault, "F"},
        {"serial", InputReply(15).set(5, {0xFF, 0xFF}), &D::serial, "65535"},
        {"status", InputReply(15).set(10, {'W'}), &D::status, "W"},
        {"sum4", InputReply(15).set(13, {0x3F, 0xC0, 0, 0}), &D::sum4, "1.50"},
        {"sum45", InputReply(15).set(17, {0xC0, 0x10, 0, 0}), &D::sum45, "-2.25"},
        {"sum5", InputReply(15).set(21, {0x44, 0x9A, 0x52, 0x25}), &D::sum5, "1234.57"},
        {"noise", InputReply(15).set(29, {0, 7, 255}), &D::noise5, "255"},
        {"noise45", InputReply(15).set(29, {0, 7, 255}), &D::noise45, "7"},
        {"bit sum4", InputReply(22).set(35, {0x3F, 0xC0, 0, 0}), &D::bitSum4, "1.50"},
        {"bit sum5", InputReply(22).set(43, {0xC0, 0x10, 0, 0}), &D::bitSum5, "-2.25"},
    };
    for (const auto& c : cases) {
        const MaintenanceDecode out = decode(c.reply.bytes, "Zorvan B1");
        ASSERT_TRUE((out.display.*c.field).has_value()) << c.what;
        EXPECT_EQ(*(out.display.*c.field), c.text) << c.what;
        EXPECT_EQ(out.display.model, "Model  Zorvan B1");
        EXPECT_EQ(out.display.address, "12");
    }
}

// Readings kept from an earlier reply.
const MaintenanceReadings Earlier{.Sum4 = 3,
                                  .BitSum4 = 7,
                                  .BitSum5 = 9,
                                  .Gain = 2,
                                  .Temperature = 40,
                                  .StatusChar = 'N',
                                  .FaultText = "N",
                                  .Address = {}};

TEST(DecodeMaintenanceReply, FieldsTheReplyDoesNotCarryKeepTheirValues) {
    // A 15-register reply has no BIT sums: they, and their texts, stay.
    auto out =
        decode(InputReply(15).set(13, {0x3F, 0xC0, 0, 0}).set(12, {7}).bytes, "Zorvan A1", Earlier);
    EXPECT_EQ(out.readings.BitSum4, 7.0f);
    EXPECT_EQ(out.readings.BitSum5, 9.0f);
    EXPECT_FALSE(out.display.bitSum4 || out.display.bitSum5);
    EXPECT_EQ(out.readings.Sum4, 1.5f);
    EXPECT_EQ(out.display.gain, "2") << "gain code 7 leaves the previous gain";

    // An exception reply for a short-read model carries nothing to decode.
    out = decode(QByteArray::fromHex("01 84 02 C2 C1"), "Zorvan A1", Earlier);
    EXPECT_FALSE(out.stoppedEarly);
    EXPECT_EQ(out.readings.Sum4, 3.0f);
    EXPECT_EQ(out.readings.Temperature, 40);
    EXPECT_EQ(out.readings.StatusChar, 'N');
    EXPECT_FALSE(out.display.status || out.display.temperature || out.display.sum4);
    EXPECT_EQ(out.display.address, "12");

    // Cut just before the voltage's second byte.
    out = decode(InputReply(15).set(26, {0x19, 0x00, 0xF1}).bytes.left(28), "Zorvan A1", Earlier);
    EXPECT_EQ(out.display.temperature, "25");
    EXPECT_FALSE(out.display.voltage.has_value());
}

TEST(DecodeMaintenanceReply, LongReadModelNeedsFunction4) {
    const InputReply refused = InputReply(22, 0x84).set(10, {'W'}).set(26, {0x19});
    for (const char* model : {"Zorvan C1", "Zorvan C2", "Zorvan C3", "Zorvan B1"}) {
        for (const QByteArray& reply : {refused.bytes, QByteArray::fromHex("01 84 02 C2 C1")}) {
            const auto out = decode(reply, model, Earlier);
            EXPECT_TRUE(out.stoppedEarly) << model;
            EXPECT_EQ(out.display.model, QString("Model  ") + model);
            EXPECT_FALSE(out.display.status || out.display.address || out.display.temperature ||
                         out.display.sum4 || out.display.bitSum4 || out.display.voltage)
                << model;
            EXPECT_EQ(out.readings.Temperature, 40);
            EXPECT_EQ(out.readings.StatusChar, 'N');
        }
    }
    // The function byte is not looked at for other models.
    EXPECT_EQ(decode(refused.bytes, "Zorvan A2").display.temperature, "25");
}

TEST(SumsStatusChanged, ByteTenAgainstLastValue) {
    MaintenanceReadings m;
    EXPECT_FALSE(SumsStatusChanged(m, InputReply(15).bytes)) << "first reply with byte 10 = 0";
    EXPECT_TRUE(SumsStatusChanged(m, InputReply(15).set(10, {'N'}).bytes));
    EXPECT_EQ(m.LastSumsStatusByte, 'N');
    EXPECT_FALSE(SumsStatusChanged(m, InputReply(15).set(10, {'N'}).bytes));
    EXPECT_TRUE(SumsStatusChanged(m, InputReply(22, 0x84).set(10, {'5'}).bytes))
        << "any change counts, also on a refused reply";
    EXPECT_FALSE(SumsStatusChanged(m, QByteArray::fromHex("01 84 02 C2 C1")));
    EXPECT_EQ(m.LastSumsStatusByte, '5');
}

} // namespace
