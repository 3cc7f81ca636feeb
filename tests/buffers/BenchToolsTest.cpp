#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "buffers/BufferCompare.h"
#include "buffers/ByteSearch.h"
#include "buffers/CArrayText.h"
#include "buffers/Checksums.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

struct SearchCase {
    const char* name;
    std::string data;
    std::string pattern;
    bool forward;
    size_t from;
    std::optional<size_t> found;
};

class ByteSearch : public testing::TestWithParam<SearchCase> {};

TEST_P(ByteSearch, FindsTheNearestMatchInItsDirection)
{
    const SearchCase& c = GetParam();
    const std::vector<uint8_t> data = bytesOf(c.data);
    const std::vector<uint8_t> pattern = bytesOf(c.pattern);
    EXPECT_EQ(c.forward ? FindForward(data, pattern, c.from) : FindBackward(data, pattern, c.from), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ByteSearch,
    testing::Values(SearchCase{"ForwardAtTheStart", "abcabc", "abc", true, 0, 0},
                    SearchCase{"ForwardSkipsTheCaret", "abcabc", "abc", true, 1, 3},
                    SearchCase{"ForwardAtTheVeryEnd", "xxxxab", "ab", true, 0, 4},
                    SearchCase{"ForwardAbsent", "abcabc", "abd", true, 0, std::nullopt},
                    SearchCase{"ForwardFromPastTheEnd", "abc", "c", true, 3, std::nullopt},
                    SearchCase{"PatternLongerThanData", "ab", "abc", true, 0, std::nullopt},
                    SearchCase{"EmptyPatternFindsNothing", "abc", "", true, 0, std::nullopt},
                    SearchCase{"BackwardBeforeTheCaret", "abcabc", "abc", false, 3, 0},
                    SearchCase{"BackwardFromTheEnd", "abcabc", "abc", false, 6, 3},
                    SearchCase{"BackwardOverlapsTheCaret", "aaXbb", "Xb", false, 3, 2},
                    SearchCase{"BackwardOneByte", "a.b.c", ".", false, 3, 1},
                    SearchCase{"BackwardAtZeroFindsNothing", "abc", "abc", false, 0, std::nullopt},
                    SearchCase{"BackwardAbsent", "abcabc", "cb", false, 6, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct HexBytesCase {
    const char* name;
    std::string text;
    std::optional<std::vector<uint8_t>> bytes;
};

class HexBytes : public testing::TestWithParam<HexBytesCase> {};

TEST_P(HexBytes, ParsesPairsOfDigits)
{
    EXPECT_EQ(ParseHexBytes(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexBytes,
    testing::Values(HexBytesCase{"Spaced", "DE AD be ef", std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}},
                    HexBytesCase{"Packed", "00ff", std::vector<uint8_t>{0x00, 0xFF}},
                    HexBytesCase{"OddDigitCount", "ABC", std::nullopt},
                    HexBytesCase{"SplitPair", "A B", std::nullopt},
                    HexBytesCase{"NotHex", "0G", std::nullopt},
                    HexBytesCase{"Empty", "  ", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct ChecksumCase {
    const char* name;
    std::string data;
    std::string crc16, crc32, sum8, sum16, sum32, sha256;
};

class Checksums : public testing::TestWithParam<ChecksumCase> {};

// Whole at once and in uneven pieces give the same known values.
TEST_P(Checksums, MatchKnownVectors)
{
    const ChecksumCase& c = GetParam();
    const std::vector<uint8_t> data = bytesOf(c.data);
    ChecksumAccumulator pieces;
    for (size_t at = 0; at < data.size(); at += 7)
        pieces.add(data.data() + at, std::min<size_t>(7, data.size() - at));
    for (const ChecksumSet& set : {ChecksumsOf(data.data(), data.size()), pieces.finish()}) {
        EXPECT_EQ(set.crc16Text(), c.crc16);
        EXPECT_EQ(set.crc32Text(), c.crc32);
        EXPECT_EQ(set.sum8Text(), c.sum8);
        EXPECT_EQ(set.sum16Text(), c.sum16);
        EXPECT_EQ(set.sum32Text(), c.sum32);
        EXPECT_EQ(set.sha256Text(), c.sha256);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, Checksums,
    testing::Values(
        ChecksumCase{"CheckString", "123456789", "29B1", "CBF43926", "DD", "01DD", "000001DD",
                     "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225"},
        ChecksumCase{"Empty", "", "FFFF", "00000000", "00", "0000", "00000000",
                     "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        ChecksumCase{"Abc", "abc", "514A", "352441C2", "26", "0126", "00000126",
                     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        ChecksumCase{"SumWraps", std::string(300, '\xFF'), "B2F5", "1C0A1881", "D4", "2AD4", "00012AD4",
                     "5263250339d3961c91f0bb1150e95ff862f8cd6a4ca873bc8d274dbe86fd6ce7"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
    const char* name;
    std::string a;
    std::string b;
    std::vector<DifferingRange> ranges;
    size_t differing;
};

class BlockComparison : public testing::TestWithParam<CompareCase> {};

TEST_P(BlockComparison, ListsTheDifferingRanges)
{
    const CompareCase& c = GetParam();
    const Comparison result = CompareBlocks(bytesOf(c.a), bytesOf(c.b));
    EXPECT_EQ(result.ranges, c.ranges);
    EXPECT_EQ(result.differingBytes, c.differing);
    EXPECT_EQ(result.rangeCount, c.ranges.size());
    EXPECT_EQ(result.equal(), c.differing == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockComparison,
    testing::Values(CompareCase{"Equal", "abcdef", "abcdef", {}, 0},
                    CompareCase{"OneByte", "abcdef", "abXdef", {{2, 1}}, 1},
                    CompareCase{"AdjacentBytesJoin", "abcdef", "aXYdeZ", {{1, 2}, {5, 1}}, 3},
                    CompareCase{"ShorterSecond", "abcdef", "abc", {{3, 3}}, 3},
                    CompareCase{"DifferenceRunsIntoTheTail", "abcdef", "abX", {{2, 4}}, 4},
                    CompareCase{"BothEmpty", "", "", {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockComparison, CountsBeyondTheListLimit)
{
    const std::vector<uint8_t> a(10000, 0);
    std::vector<uint8_t> b(a);
    for (size_t i = 0; i < b.size(); i += 2)
        b[i] = 1;
    const Comparison result = CompareBlocks(a, b, 10);
    EXPECT_EQ(result.ranges.size(), 10u);
    EXPECT_EQ(result.rangeCount, 5000u);
    EXPECT_EQ(result.differingBytes, 5000u);
}

}  // namespace

namespace {

TEST(CArrayText, SixteenBytesToALine)
{
    std::vector<uint8_t> bytes(17);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 15);
    EXPECT_EQ(CArrayText(bytes.data(), bytes.size()),
              "const unsigned char data[17] = {\n"
              "    0x00, 0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78, 0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1,\n"
              "    0xF0\n"
              "};\n");
    EXPECT_EQ(CArrayText(nullptr, 0), "const unsigned char data[0] = {\n};\n");
}

}  // namespace
