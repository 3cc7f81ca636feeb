#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "buffers/BufferSet.h"
#include "buffers/Fill.h"
#include "core/MessageCatalogue.h"
#include "support/RecordingHost.h"

namespace {

struct FillCase {
    const char* name;
    FillRequest request;
    std::vector<uint8_t> expectedFromZero;  // bytes 0.. after filling a buffer of 0xC3
    int32_t dataLength;
};

class Filling : public ::testing::TestWithParam<FillCase> {
protected:
    Filling() : buffers(std::make_unique<BufferSet>()) { std::memset(buffers->flash(), 0xC3, 0x400); }

    std::unique_ptr<BufferSet> buffers;
    RecordingHost host;
};

TEST_P(Filling, FillsTheRange)
{
    const FillCase& c = GetParam();
    ASSERT_TRUE(FillFlashBuffer(*buffers, host, c.request, English));
    EXPECT_TRUE(host.errorBoxes.empty());
    for (size_t i = 0; i < c.expectedFromZero.size(); ++i)
        EXPECT_EQ(buffers->flash()[i], c.expectedFromZero[i]) << "at " << i;
    EXPECT_EQ(buffers->dataLength, c.dataLength);
    EXPECT_EQ(host.flashBufferChanges, std::vector<uint32_t>{static_cast<uint32_t>(c.dataLength)});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Filling,
    ::testing::Values(
        FillCase{"ByteOverAPage", {FillMode::Byte, "00", "FFFF", "0", "FF"}, std::vector<uint8_t>(256, 0x00), 0x100},
        FillCase{"ByteFromAnOffset", {FillMode::Byte, "7", "FFFF", "2", "3"}, {0xC3, 0xC3, 0x07, 0x07, 0xC3}, 4},
        FillCase{"WordLowByteFirst", {FillMode::Word, "FF", "1234", "0", "3"}, {0x34, 0x12, 0x34, 0x12, 0xC3}, 4},
        FillCase{"LengthRunsToTheEnd", {FillMode::Byte, "1", "FFFF", "100", "1FF"},
                 {0xC3, 0xC3}, 0x200},  // bytes below the start keep their contents
        FillCase{"RandomSeedZero", {FillMode::Random, "FF", "FFFF", "0", "2", 0}, {0x5A, 0x82, 0xE6, 0xC3}, 3}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

TEST(FillRandom, SameSecondSameBytes)
{
    auto buffers = std::make_unique<BufferSet>();
    RecordingHost host;
    const FillRequest first{FillMode::Random, "FF", "FFFF", "0", "FFF", 1733558400};
    ASSERT_TRUE(FillFlashBuffer(*buffers, host, first, English));
    const std::vector<uint8_t> once(buffers->flash(), buffers->flash() + 0x1000);
    ASSERT_TRUE(FillFlashBuffer(*buffers, host, first, English));
    EXPECT_TRUE(std::equal(once.begin(), once.end(), buffers->flash()));

    FillRequest next = first;
    next.randomSeed += 1;
    ASSERT_TRUE(FillFlashBuffer(*buffers, host, next, English));
    EXPECT_FALSE(std::equal(once.begin(), once.end(), buffers->flash()));
    // Every byte value turns up: the low bits of the generator are not stuck.
    for (int value = 0; value < 256; ++value)
        EXPECT_NE(std::find(once.begin(), once.end(), value), once.end()) << value;
}

struct RefusedCase {
    const char* name;
    FillRequest request;
    std::string message;
    int language = English;
};

class FillRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(FillRefused, ChangesNothing)
{
    auto buffers = std::make_unique<BufferSet>();
    buffers->dataLength = 9;
    RecordingHost host;
    const RefusedCase& c = GetParam();
    EXPECT_FALSE(FillFlashBuffer(*buffers, host, c.request, c.language));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{c.message});
    EXPECT_EQ(buffers->dataLength, 9);
    EXPECT_EQ(buffers->flash()[0], 0xFF);
    EXPECT_TRUE(host.flashBufferChanges.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FillRefused,
    ::testing::Values(
        RefusedCase{"EmptyWordFieldStopsAByteFill", {FillMode::Byte, "00", "", "0", "F"},
                    "'0x' is not a valid integer value"},
        RefusedCase{"NineDigits", {FillMode::Byte, "00", "0", "0", "100000000"},
                    "'0x100000000' is not a valid integer value"},
        RefusedCase{"EndBelowStart", {FillMode::Byte, "00", "0", "10", "F"},
                    "The end address F lies below the start address 10."},
        RefusedCase{"EndBelowStartInTraditionalChinese", {FillMode::Byte, "00", "0", "10", "F"},
                    "結束地址 F 小於開始地址 10。", TraditionalChinese},
        RefusedCase{"EndPastTheBuffer", {FillMode::Byte, "00", "0", "0", "4000000"},
                    "The range 0 to 4000000 does not lie inside the buffer (0 to 3FFFFFF)."},
        RefusedCase{"NegativeStart", {FillMode::Word, "00", "0", "80000000", "7FFFFFFF"},
                    "The range 80000000 to 7FFFFFFF does not lie inside the buffer (0 to 3FFFFFF)."}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
