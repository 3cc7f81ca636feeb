#include <gtest/gtest.h>

#include "buffers/IntelHex.h"
#include "buffers/SRecord.h"
#include "core/MessageCatalogue.h"
#include "TempFolder.h"

namespace {

using Reader = FileLoad (*)(const std::string&, LoadTarget, int);

struct ReaderCase {
    const char* name;
    Reader read;
    std::string text;
    std::vector<std::string> errors;  // empty: loads
    int32_t count = 0;
    // Bytes expected in a 0x40-byte destination that started as 0x55.
    std::vector<std::pair<size_t, uint8_t>> bytes = {};
};

class Reading : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(Reading, GivesTheExpectedResult)
{
    const ReaderCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.file("in");
    writeFile(path, c.text);
    std::vector<uint8_t> destination(0x40, 0x55);
    const FileLoad load = c.read(path, {destination.data(), static_cast<uint32_t>(destination.size())}, English);
    EXPECT_EQ(load.errors, c.errors);
    EXPECT_EQ(load.count, c.errors.empty() ? c.count : 0);
    EXPECT_FALSE(load.notOpened);
    for (const auto& [at, value] : c.bytes)
        EXPECT_EQ(destination[at], value) << "at " << at;
}

std::string name(const ::testing::TestParamInfo<ReaderCase>& info)
{
    return info.param.name;
}

using Errors = std::vector<std::string>;
const Errors NoEndRecord = {"File Read Operation Failed", "Error reading File"};
const std::string TooLongAtOne = "Line 1 is longer than 8192 characters; the file was not read to its end.";
const std::string TooLongAtTwo = "Line 2 is longer than 8192 characters; the file was not read to its end.";

INSTANTIATE_TEST_SUITE_P(
    IntelHex, Reading,
    ::testing::Values(
        ReaderCase{"Loads", ReadIntelHex, ":03000000000102FA\r\n:00000001FF\r\n", {}, 3, {{0, 0}, {2, 2}, {3, 0x55}}},
        ReaderCase{"LowerCaseDigits", ReadIntelHex, ":03001000aabbccbc\r\n:00000001ff\r\n", {}, 0x13, {{0x10, 0xAA}}},
        ReaderCase{"LineFeedEndings", ReadIntelHex, ":0100000011EE\n:00000001FF\n", {}, 1, {{0, 0x11}}},
        ReaderCase{"CarriageReturnEndings", ReadIntelHex, ":0100000011EE\r:00000001FF", {}, 1, {{0, 0x11}}},
        ReaderCase{"DoubledCarriageReturnEndings", ReadIntelHex, ":0100000011EE\r\r\n:00000001FF\r\r\n", {}, 1},
        ReaderCase{"LineTooLong", ReadIntelHex, ":0100000011EE\r\n:" + std::string(9000, '0') + "\r\n", {TooLongAtTwo}},
        ReaderCase{"NoLineEndingInAHugeFile", ReadIntelHex, ":" + std::string(3 << 20, '0'), {TooLongAtOne}},
        ReaderCase{"TextAfterTheChecksum", ReadIntelHex, ":0100000011EE junk\r\n:00000001FF\r\n", {}, 1},
        ReaderCase{"OverlapLaterWins", ReadIntelHex, ":020000001122CB\r\n:0100010033CB\r\n:00000001FF\r\n", {}, 2,
                   {{0, 0x11}, {1, 0x33}}},
        ReaderCase{"AnyOrder", ReadIntelHex, ":0100200011CE\r\n:0100000022DD\r\n:00000001FF\r\n", {}, 0x21},
        ReaderCase{"SegmentBase", ReadIntelHex, ":020000020002FA\r\n:010000007788\r\n:00000001FF\r\n", {}, 0x21,
                   {{0x20, 0x77}}},
        ReaderCase{"StartAddressesIgnored", ReadIntelHex,
                   ":0400000300000000XX\r\n:0400000500000000XX\r\n:00000001FF\r\n", {}, 0},
        ReaderCase{"BadDataChecksum", ReadIntelHex, ":03000000000102FB\r\n:00000001FF\r\n", {"Checksum Error type 0"},
                   0, {{2, 2}}},
        ReaderCase{"BadEndRecord", ReadIntelHex, ":0100000011EE\r\n:00000001FE\r\n", {"Invalid EOF Record"}},
        ReaderCase{"EndRecordWithAddress", ReadIntelHex, ":00000101FE\r\n", {"Invalid EOF Record"}},
        ReaderCase{"NoEndRecord", ReadIntelHex, ":0100000011EE\r\n", NoEndRecord, 0, {{0, 0x11}}},
        ReaderCase{"EmptyFile", ReadIntelHex, "", NoEndRecord},
        ReaderCase{"BlankLine", ReadIntelHex, ":0100000011EE\r\n\r\n:00000001FF\r\n", {"Illegal Line found"}},
        ReaderCase{"LeadingBlank", ReadIntelHex, " :00000001FF\r\n", {"Illegal Line found"}},
        ReaderCase{"RecordTypeSix", ReadIntelHex, ":00000006FA\r\n", {"Invalid Record type"}},
        ReaderCase{"SegmentLength", ReadIntelHex, ":03000002000000FB\r\n", {"Invalid Record Length for type 2"}},
        ReaderCase{"LinearLength", ReadIntelHex, ":0100000400FB\r\n", {"Invalid Record Length for type 4"}},
        ReaderCase{"SegmentChecksum", ReadIntelHex, ":020000020002FB\r\n", {"Checksum Error type 2"}},
        ReaderCase{"LinearChecksum", ReadIntelHex, ":020000040000FB\r\n", {"Checksum Error type 4"}},
        ReaderCase{"BadCountDigit", ReadIntelHex, ":0G000000FF\r\n", {"Illegal Char in File"}},
        ReaderCase{"BadLastAddressDigit", ReadIntelHex, ":0100X00011EE\r\n", {"Illegal Char in File"}},
        ReaderCase{"BadDataDigitKeepsEarlierBytes", ReadIntelHex, ":0200000011Z2EB\r\n", {"Illegal Char in File"}, 0,
                   {{0, 0x11}, {1, 0x55}}},
        ReaderCase{"TruncatedRecord", ReadIntelHex, ":04000000112233\r\n", {"Illegal Char in File"}},
        ReaderCase{"PastTheCapacityStoresNothing", ReadIntelHex, ":0100000011EE\r\n:02003F00AABB5A\r\n",
                   {"File exceeds Maximum Size"}, 0, {{0, 0x11}, {0x3F, 0x55}}},
        ReaderCase{"LinearBasePastTheCapacity", ReadIntelHex, ":020000040001F9\r\n:0100000011EE\r\n",
                   {"File exceeds Maximum Size"}}),
    name);

INSTANTIATE_TEST_SUITE_P(
    SRecord, Reading,
    ::testing::Values(
        ReaderCase{"Loads", ReadSRecord, "S00600004844521B\r\nS1060000000102F6\r\nS9030000FC\r\n", {}, 3,
                   {{0, 0}, {2, 2}, {3, 0x55}}},
        ReaderCase{"SkipsHeaderAndCount", ReadSRecord, "S0030000FC\r\nS1040010AA41\r\nS5030001FB\r\nS9030000FC\r\n",
                   {}, 0x11, {{0x10, 0xAA}}},
        ReaderCase{"ThreeByteAddresses", ReadSRecord, "S205000020AA30\r\nS804000000FB\r\n", {}, 0x21},
        ReaderCase{"FourByteAddresses", ReadSRecord, "S30600000030AA1F\r\nS70500000000FA\r\n", {}, 0x31},
        ReaderCase{"TerminatorNotExamined", ReadSRecord, "S1040000AA51\r\nS9\r\n", {}, 1},
        ReaderCase{"DoubledCarriageReturnEndings", ReadSRecord, "S1040000AA51\r\r\nS9030000FC\r\r\n", {}, 1},
        ReaderCase{"LineTooLong", ReadSRecord, "S1040000AA51\r\nS1" + std::string(9000, '0') + "\r\n", {TooLongAtTwo}},
        ReaderCase{"NoLineEndingInAHugeFile", ReadSRecord, "S0" + std::string(3 << 20, '0'), {TooLongAtOne}},
        ReaderCase{"LowerCaseAndLineFeeds", ReadSRecord, "S1040000aa51\nS9030000fc\n", {}, 1, {{0, 0xAA}}},
        ReaderCase{"BadChecksum", ReadSRecord, "S1060000000102F7\r\nS9030000FC\r\n", {"Checksum Error"}},
        ReaderCase{"NoTerminator", ReadSRecord, "S1040000AA51\r\n", {"File Read Operation Failed"}, 0, {{0, 0xAA}}},
        ReaderCase{"NotARecord", ReadSRecord, ":00000001FF\r\n", {"Illegal Line found"}},
        ReaderCase{"CountBelowTheAddress", ReadSRecord, "S1020000FD\r\nS9030000FC\r\n", {"Illegal Line found"}},
        ReaderCase{"BadDigit", ReadSRecord, "S1040000AG51\r\n", {"Illegal Char in File"}},
        ReaderCase{"PastTheCapacityStoresNothing", ReadSRecord, "S105003FAABB56\r\nS9030000FC\r\n",
                   {"File exceeds Maximum Size"}, 0, {{0x3F, 0x55}}}),
    name);

// Records longer than the classic line limits (512 and 100 characters).
TEST(ReaderLongLines, LoadsWholeRecords)
{
    TempFolder folder;
    std::string hex = ":FF000000";
    std::string srec = "S1FF0000";
    uint32_t hexSum = 0xFF, srecSum = 0xFF;
    for (int i = 0; i < 255; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", i);
        hex += digits;
        hexSum += static_cast<uint32_t>(i);
        if (i < 252) {
            srec += digits;
            srecSum += static_cast<uint32_t>(i);
        }
    }
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - (hexSum & 0xFF)) & 0xFF);
    hex += std::string(checksum) + "\r\n:00000001FF\r\n";
    std::snprintf(checksum, sizeof checksum, "%02X", 0xFF - (srecSum & 0xFF));
    srec += std::string(checksum) + "\r\nS9030000FC\r\n";

    std::vector<uint8_t> destination(0x100, 0x55);
    writeFile(folder.file("long.hex"), hex);
    const FileLoad hexLoad = ReadIntelHex(folder.file("long.hex"), {destination.data(), 0x100}, English);
    EXPECT_TRUE(hexLoad.ok());
    EXPECT_EQ(hexLoad.count, 255);
    EXPECT_EQ(destination[254], 254);

    writeFile(folder.file("long.s19"), srec);
    const FileLoad srecLoad = ReadSRecord(folder.file("long.s19"), {destination.data(), 0x100}, English);
    EXPECT_TRUE(srecLoad.ok());
    EXPECT_EQ(srecLoad.count, 252);
}

TEST(ReaderMissingFile, CannotOpen)
{
    uint8_t destination[4];
    for (Reader read : {ReadIntelHex, ReadSRecord}) {
        const FileLoad load = read("/nonexistent/x", {destination, 4}, English);
        EXPECT_TRUE(load.notOpened);
        EXPECT_EQ(load.errors, Errors{"Cannot open file /nonexistent/x"});
    }
}

// The text readers' in-memory entry gives what the file entry gives, in the
// language asked for.
TEST(ReaderInMemory, ReportsALineTooLongInEveryLanguage)
{
    const std::string hex = ":" + std::string(9000, '0');
    const std::string srec = "S1" + std::string(9000, '0');
    std::vector<uint8_t> destination(0x40);
    const std::pair<int, const char*> expected[] = {
        {SimplifiedChinese, "第 1 行超过 8192 个字符，文件没有读完。"},
        {TraditionalChinese, "第 1 行超過 8192 個字符，文件沒有讀完。"},
        {English, "Line 1 is longer than 8192 characters; the file was not read to its end."}};
    for (const auto& [language, message] : expected) {
        EXPECT_EQ(ReadIntelHexText(hex, {destination.data(), 0x40}, language).errors, Errors{message});
        EXPECT_EQ(ReadSRecordText(srec, {destination.data(), 0x40}, language).errors, Errors{message});
    }
}

TEST(ReaderInMemory, TakesNoTextAsAnEmptyFile)
{
    uint8_t destination[4];
    EXPECT_EQ(ReadIntelHexText({}, {destination, 4}, English).errors, NoEndRecord);
    EXPECT_EQ(ReadSRecordText({}, {destination, 4}, English).errors, Errors{"File Read Operation Failed"});
}

}  // namespace
