#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "link/CommandBlock.h"

namespace {

// A 16 MiB serial flash, id 0xEF4018, page 256, erase allowance 100.
ChipParameters exampleFlash()
{
    ChipParameters chip;
    chip.flashSize = 0x01000000;
    chip.delay = 100;
    chip.flashPage = 256;
    chip.chipId = 0xEF4018;
    return chip;
}

ChipParameters eepromWithSpeed()
{
    ChipRecord record{};
    record.chipClass = I2cEeprom24;
    record.algorithm = 5;
    record.flashPage = 0x0020;
    record.delay = 0x0A0B;
    record.flashSize = 0x00008000;
    record.chipId = 0x11223344;
    record.voltage = 1;
    return ChipParameters::fromRecord(record, 300);  // only the low byte, 0x2C, travels
}

struct BlockCase {
    std::string name;
    CommandBlock block;
    std::map<size_t, std::vector<uint8_t>> nonZero;  // every other byte must be 0
    friend void PrintTo(const BlockCase& c, std::ostream* out) { *out << c.name; }
};

std::array<uint8_t, CommandBlock::Size> expectedBytes(const BlockCase& c)
{
    std::array<uint8_t, CommandBlock::Size> bytes{};
    for (const auto& [offset, run] : c.nonZero)
        std::copy(run.begin(), run.end(), bytes.begin() + offset);
    return bytes;
}

class CommandBlockLayout : public testing::TestWithParam<BlockCase> {};

TEST_P(CommandBlockLayout, MatchesWireBytes)
{
    EXPECT_EQ(GetParam().block.bytes(), expectedBytes(GetParam()));
}

const uint8_t fourByteMode[] = {0xB7};

INSTANTIATE_TEST_SUITE_P(
    Builders, CommandBlockLayout,
    testing::Values(
        BlockCase{"BeginSessionMsbFirst",
                  CommandBlock::beginSession(exampleFlash(), ByteOrder::MsbFirst),
                  {{0, {0x00, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00, 0x64, 0x01, 0x00, 0x00, 0x00, 0x00, 0xEF, 0x40,
                        0x18}}}},
        BlockCase{"BeginSessionLsbFirst",
                  CommandBlock::beginSession(exampleFlash(), ByteOrder::LsbFirst),
                  {{0, {0x00, 0x07, 0x00, 0x00, 0x00, 0x01, 0x64, 0x00, 0x00, 0x00, 0x00, 0x01, 0x18, 0x40, 0xEF,
                        0x00}}}},
        BlockCase{"IdentifyCarriesClassSpeedAndVoltage",
                  CommandBlock::identify(eepromWithSpeed(), ByteOrder::MsbFirst),
                  {{0, {0x00, 0x09, 0x01, 0x05, 0x00, 0x20, 0x0A, 0x0B, 0x00, 0x00, 0x80, 0x00, 0x11, 0x22, 0x33,
                        0x44, 0x2C}},
                   {28, {0x01}}}},
        BlockCase{"SetAddressMsbFirst",
                  CommandBlock::setAddress(0x12345678, ByteOrder::MsbFirst),
                  {{0, {0x00, 0x05}}, {8, {0x12, 0x34, 0x56, 0x78}}}},
        BlockCase{"SetAddressLsbFirst",
                  CommandBlock::setAddress(0x12345678, ByteOrder::LsbFirst),
                  {{0, {0x00, 0x05}}, {8, {0x78, 0x56, 0x34, 0x12}}}},
        BlockCase{"EraseMsbFirst", CommandBlock::erase(0x1234, ByteOrder::MsbFirst),
                  {{0, {0x01, 0x02}}, {26, {0x12, 0x34}}}},
        BlockCase{"EraseLsbFirst", CommandBlock::erase(0x1234, ByteOrder::LsbFirst),
                  {{0, {0x01, 0x02}}, {26, {0x34, 0x12}}}},
        BlockCase{"EndSession", CommandBlock::endSession(), {{0, {0x01, 0x08}}}},
        BlockCase{"GetHardwareInfo", CommandBlock::getHardwareInfo(), {{0, {0x00, 0x0C}}}},
        BlockCase{"FourByteModeChipCommand", CommandBlock::chipCommand(fourByteMode),
                  {{0, {0x00, 0x0B, 0x03, 0x01, 0xB7}}}}),
    [](const auto& info) { return info.param.name; });

TEST(CommandBlock, ByteOrderFollowsReplyEndpoint)
{
    EXPECT_EQ(CommandBlock::byteOrderFor(0x82), ByteOrder::MsbFirst);
    EXPECT_EQ(CommandBlock::byteOrderFor(0x81), ByteOrder::LsbFirst);
}

TEST(CommandBlock, ChipCommandCutsBytesThatDoNotFit)
{
    std::vector<uint8_t> chipBytes(CommandBlock::MaxChipBytes + 5);
    for (size_t i = 0; i < chipBytes.size(); ++i)
        chipBytes[i] = uint8_t(i + 1);
    const CommandBlock block = CommandBlock::chipCommand(chipBytes);
    EXPECT_EQ(block[3], CommandBlock::MaxChipBytes);
    EXPECT_EQ(block[CommandBlock::Size - 1], CommandBlock::MaxChipBytes);
}

TEST(CommandBlock, PollStatusAndEnterUpgradeKeepThePreviousBlock)
{
    CommandBlock block = CommandBlock::erase(0xBEEF, ByteOrder::MsbFirst);
    block.setByte(40, 0x5A);
    auto expected = block.bytes();

    block.reuseForPollStatus();
    expected[0] = 0;
    expected[1] = CommandBlock::PollStatus;
    EXPECT_EQ(block.bytes(), expected);

    block.reuseForEnterUpgrade();
    expected[1] = CommandBlock::EnterUpgrade;
    EXPECT_EQ(block.bytes(), expected);
}

TEST(CommandBlockReply, IdentifyAndPollStatusFields)
{
    CommandBlock reply;
    reply.setByte(0, 0x03);
    reply.setByte(1, 0xEF);
    reply.setByte(2, 0x40);
    reply.setByte(3, 0x18);
    EXPECT_EQ(reply.identificationValue(), 0xEF4018u);
    EXPECT_TRUE(reply.chipBusy());
    reply.setByte(0, 0xFE);
    EXPECT_FALSE(reply.chipBusy());
}

struct HardwareInfoCase {
    std::string name;
    std::string bytes42to63;  // as stored, '\0' included
    std::string hardware;
    std::string firmware;
    std::string serial;
    friend void PrintTo(const HardwareInfoCase& c, std::ostream* out) { *out << c.name; }
};

class HardwareInfoReply : public testing::TestWithParam<HardwareInfoCase> {};

TEST_P(HardwareInfoReply, SplitsTheTextFields)
{
    CommandBlock reply;
    const std::string& stored = GetParam().bytes42to63;
    ASSERT_LE(stored.size(), 22u);
    for (size_t i = 0; i < stored.size(); ++i)
        reply.setByte(42 + i, uint8_t(stored[i]));
    EXPECT_EQ(reply.hardwareVersion(), GetParam().hardware);
    EXPECT_EQ(reply.firmwareVersion(), GetParam().firmware);
    EXPECT_EQ(reply.serialNumber(), GetParam().serial);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Fields, HardwareInfoReply,
    testing::Values(
        // Every field full: each ends at the next field, the serial at the block's end.
        HardwareInfoCase{"FullFields", "V2.1" "1.2.3" "ABCDEFGHIJKLM"s, "V2.1", "1.2.3", "ABCDEFGHIJKLM"},
        HardwareInfoCase{"ShortFields", "V2\0\0" "1.0\0\0" "S123\0XYZ"s, "V2", "1.0", "S123"},
        HardwareInfoCase{"EmptyFields", ""s, "", "", ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
