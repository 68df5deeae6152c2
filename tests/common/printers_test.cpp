// A failed expectation on Qt's strings and byte arrays shows their contents, not their bytes
// in memory ("2-byte object <4D-00>").
#include <gtest/gtest.h>
#include <QStringList>

namespace {

TEST(Printers, ShowQtStringsAndBytesAsTheTestsWriteThem) {
    const std::pair<std::string, std::string> rows[] = {
        {testing::PrintToString(QString("Zorvan A2")), R"("Zorvan A2")"},
        {testing::PrintToString(QStringList{"GOOD", "BAD"}), R"({ "GOOD", "BAD" })"},
        {testing::PrintToString(QByteArray("12:00\tN\r\n")), R"("12:00\tN\r\n")"},
        {testing::PrintToString(QByteArray::fromHex("01c807")), R"(hex("01 C8 07"))"},
        {testing::PrintToString(QByteArray()), R"("")"},
    };
    for (const auto& [printed, expected] : rows)
        EXPECT_EQ(printed, expected);
}

} // namespace
