#include <filesystem>

#include "cli/CliTest.h"

#include "buffers/Checksums.h"

namespace {

class BenchCommands : public CliTest {};

TEST_F(BenchCommands, ChecksumOfTheExtentAndOfARange)
{
    writeFile("check.bin", Bytes("123456789"));
    const CliResult whole = run({"checksum", path("check.bin")});
    EXPECT_EQ(whole.exitCode, 0) << whole.err;
    EXPECT_EQ(whole.out, "Extent: 9 bytes (0x9)\nCRC-32: CBF43926\n"
                         "SHA-256: 15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225\n");
    const CliResult range = run({"checksum", path("check.bin"), "--range", "1", "3"});
    EXPECT_EQ(range.exitCode, 0) << range.err;
    EXPECT_TRUE(Contains(range.out, "Range: 0x1 to 0x3 (3 bytes)\n")) << range.out;
    EXPECT_TRUE(Contains(range.out, "SHA-256: 114bd151f8fb0c58642d2170da4ae7d7c57977260ac2cc8905306cab6b2acabc"))
        << range.out;
}

TEST_F(BenchCommands, ChecksumOfAnSRecordFileUsesItsImage)
{
    writeFile("check.s19", Bytes("S10C000031323334353637383916\r\nS9030000FC\r\n"));
    const CliResult result = run({"checksum", path("check.s19")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "CRC-32: CBF43926")) << result.out << result.err;
}

struct ChecksumCase {
    const char* name;
    const char* fileName;
    std::vector<uint8_t> file;
    std::vector<std::string> range;
    std::vector<uint8_t> hashed;  // the image bytes the hashes cover
};

std::vector<uint8_t> pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 13 >> 2);
    return bytes;
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& bytes, size_t from, size_t to)
{
    return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + to);
}

std::vector<uint8_t> join(std::vector<uint8_t> head, const std::vector<uint8_t>& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

class ChecksumCommand : public BenchCommands, public testing::WithParamInterface<ChecksumCase> {};

// The file is hashed as it is read; what is hashed is the image loading makes
// of it, erased past the file's end.
TEST_P(ChecksumCommand, HashesTheLoadedImage)
{
    const ChecksumCase& c = GetParam();
    writeFile(c.fileName, c.file);
    std::vector<std::string> arguments = {"checksum", path(c.fileName)};
    arguments.insert(arguments.end(), c.range.begin(), c.range.end());
    const CliResult result = run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ImageHash hash;
    hash.add(c.hashed.data(), c.hashed.size());
    const ImageHashes expected = hash.finish();
    EXPECT_TRUE(Contains(result.out, "CRC-32: " + expected.crc32Text() + "\nSHA-256: " + expected.sha256Text() + "\n"))
        << result.out;
}

const std::vector<uint8_t> LargeImage = pattern(600 << 10);

INSTANTIATE_TEST_SUITE_P(
    Cases, ChecksumCommand,
    testing::Values(
        ChecksumCase{"WholeFileInPieces", "large.bin", LargeImage, {}, LargeImage},
        ChecksumCase{"RangeAcrossPieces", "large.bin", LargeImage, {"--range", "3FFF0", "4000F"},
                     slice(LargeImage, 0x3FFF0, 0x40010)},
        ChecksumCase{"StartOnly", "large.bin", LargeImage, {"--start", "80000"},
                     slice(LargeImage, 0x80000, LargeImage.size())},
        ChecksumCase{"RangePastTheEndIsErased", "small.bin", Bytes("123456789"), {"--range", "4", "F"},
                     join(Bytes("56789"), std::vector<uint8_t>(7, 0xFF))},
        ChecksumCase{"RangeBeyondTheEnd", "small.bin", Bytes("123456789"), {"--range", "20", "2F"},
                     std::vector<uint8_t>(16, 0xFF)},
        ChecksumCase{"CapsuleWithoutItsHeader", "bios.cap", join(std::vector<uint8_t>(2048, 'H'), Bytes("123456789")),
                     {}, Bytes("123456789")}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
    const char* name;
    std::vector<uint8_t> second;
    int exitCode;
    const char* out;
};

class Compare : public CliTest, public testing::WithParamInterface<CompareCase> {};

TEST_P(Compare, ExitsZeroOneOrFour)
{
    writeFile("a.bin", Bytes("ABCDEFGH"));
    if (!GetParam().second.empty())
        writeFile("b.bin", GetParam().second);
    const CliResult result = run({"compare", path("a.bin"), path("b.bin")});
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_TRUE(Contains(result.out, GetParam().out)) << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Compare,
    testing::Values(CompareCase{"Equal", Bytes("ABCDEFGH"), 0, "Equal over 8 bytes\n"},
                    CompareCase{"ErasedTailIsEqual", Bytes("ABCDEFGH\xFF\xFF"), 0, "Equal over 10 bytes\n"},
                    CompareCase{"Different", Bytes("AXCDEFYY"), 1,
                                "0x1 to 0x1: 1 byte\n0x6 to 0x7: 2 bytes\n2 differing ranges, 3 differing bytes\n"},
                    CompareCase{"MissingFile", {}, 4, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A25L512 chosen, a W25Q128's identification seated.
TEST_F(BenchCommands, MismatchedChipIsRefusedUnlessForced)
{
    const std::string scenario = "chip class=0 id=0xEF4018 size=65536 page=256\nerase_time_ms 10\n";
    const CliResult refused = runScenario(scenario, {"--chip", "A25L512", "erase"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(Contains(refused.err, "reports the ID EF4018, but the selected chip A25L512 has the ID 373010"))
        << refused.err;
    EXPECT_TRUE(
        Contains(refused.err, "error: the seated chip was left as it was; --yes (or --force) changes it anyway"));
    const CliResult forced = runScenario(scenario, {"--chip", "A25L512", "--force", "erase"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
}

struct SeatedCase {
    const char* name;
    std::string scenario;
    const char* refusal;
};

class SeatedChipRefused : public BenchCommands, public testing::WithParamInterface<SeatedCase> {};

// Nothing is read, and no file written, from a socket that holds no chip of
// the chosen chip's family.
TEST_P(SeatedChipRefused, BeforeAnythingIsRead)
{
    const CliResult result = runScenario(GetParam().scenario, {"--chip", "AT24C02", "read", path("out.bin")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Contains(result.err, GetParam().refusal)) << result.err;
    EXPECT_FALSE(std::filesystem::exists(path("out.bin")));
}

INSTANTIATE_TEST_SUITE_P(
    Sockets, SeatedChipRefused,
    testing::Values(SeatedCase{"Empty", "", "No chip in the socket"},
                    SeatedCase{"SerialFlash", "chip class=0 id=0xEF4018 size=65536 page=256\n",
                               "The chip in the socket is a serial flash (25 series), but the selected chip AT24C02 is "
                               "a 24-series EEPROM."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
