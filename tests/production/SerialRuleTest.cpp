#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "production/SerialRule.h"

namespace {

struct EncodeCase {
    const char* name;
    SerialRule rule;
    uint64_t value;
    std::optional<std::vector<uint8_t>> bytes;  // nothing: the value overflows
};

SerialRule rule(uint32_t width, SerialForm form, std::string prefix = {})
{
    SerialRule made;
    made.width = width;
    made.form = form;
    made.first = 0;
    made.prefix = std::move(prefix);
    return made;
}

std::vector<uint8_t> text(const std::string& written)
{
    return {written.begin(), written.end()};
}

class SerialEncoding : public testing::TestWithParam<EncodeCase> {};

TEST_P(SerialEncoding, WritesTheFormOrRefusesOverflow)
{
    EXPECT_EQ(GetParam().rule.encode(GetParam().value), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SerialEncoding,
    testing::Values(
        EncodeCase{"LittleEndian", rule(4, SerialForm::LittleEndian), 0x12345678,
                   std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}},
        EncodeCase{"BigEndian", rule(3, SerialForm::BigEndian), 0x123456, std::vector<uint8_t>{0x12, 0x34, 0x56}},
        EncodeCase{"LittleEndianFullWidth", rule(8, SerialForm::LittleEndian), ~uint64_t{0},
                   std::vector<uint8_t>(8, 0xFF)},
        EncodeCase{"BinaryOverflow", rule(1, SerialForm::BigEndian), 256, std::nullopt},
        EncodeCase{"Bcd", rule(3, SerialForm::Bcd), 12345, std::vector<uint8_t>{0x01, 0x23, 0x45}},
        EncodeCase{"BcdLargest", rule(1, SerialForm::Bcd), 99, std::vector<uint8_t>{0x99}},
        EncodeCase{"BcdOverflow", rule(1, SerialForm::Bcd), 100, std::nullopt},
        EncodeCase{"DecimalPadded", rule(6, SerialForm::Decimal), 42, text("000042")},
        EncodeCase{"DecimalWithPrefix", rule(8, SerialForm::Decimal, "SN"), 7, text("SN000007")},
        EncodeCase{"DecimalOverflow", rule(4, SerialForm::Decimal, "S"), 1000, std::nullopt},
        EncodeCase{"HexUpperCase", rule(4, SerialForm::Hexadecimal), 0xBEEF, text("BEEF")},
        EncodeCase{"HexWithPrefix", rule(6, SerialForm::Hexadecimal, "0x"), 0xAB, text("0x00AB")},
        EncodeCase{"HexOverflow", rule(2, SerialForm::Hexadecimal), 0x100, std::nullopt}),
    [](const testing::TestParamInfo<EncodeCase>& info) { return std::string(info.param.name); });

struct ParseCase {
    const char* name;
    const char* text;
    bool accepted;
};

class SerialRuleText : public testing::TestWithParam<ParseCase> {};

TEST_P(SerialRuleText, AcceptsTheCommandLineFormOnly)
{
    std::string error;
    const std::optional<SerialRule> parsed = ParseSerialRule(GetParam().text, error);
    EXPECT_EQ(parsed.has_value(), GetParam().accepted) << error;
    EXPECT_EQ(error.empty(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SerialRuleText,
    testing::Values(ParseCase{"HexAddressWithPrefix", "0x1F0:4:le:1000", true},
                    ParseCase{"HexAddressWithoutPrefix", "1F0:4:dec:1:5", true},
                    ParseCase{"WidthZero", "0:0:le:1", false},
                    ParseCase{"WidthNine", "0:9:le:1", false},
                    ParseCase{"UnknownForm", "0:4:ascii:1", false},
                    ParseCase{"StepZero", "0:4:le:1:0", false},
                    ParseCase{"StepNegative", "0:4:le:1:-1", false},
                    ParseCase{"StepPastTheWidth", "0:1:le:1:256", false},
                    ParseCase{"StepPast64Bits", "0:8:le:1:18446744073709551616", false},
                    ParseCase{"FirstTooLarge", "0:1:le:256", false},
                    ParseCase{"MissingFirst", "0:4:le", false},
                    ParseCase{"AddressNotHex", "0xZZ:4:le:1", false}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(SerialRuleText, ReadsStepAndFirstInHex)
{
    std::string error;
    const std::optional<SerialRule> parsed = ParseSerialRule("100:4:be:0x10:0x2", error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->address, 0x100u);
    EXPECT_EQ(parsed->first, 16u);
    EXPECT_EQ(parsed->step, 2u);
    EXPECT_EQ(parsed->form, SerialForm::BigEndian);
}

}  // namespace
