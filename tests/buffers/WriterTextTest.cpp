#include <gtest/gtest.h>

#include "buffers/IntelHex.h"
#include "buffers/SRecord.h"
#include "TempFolder.h"

// The exact text the writers produce: programmers and other tools read these
// files, so record layout, case and line ends matter.

namespace {

using Writer = FileSave (*)(const std::string&, const uint8_t*, uint32_t);

struct WriterCase {
    const char* name;
    Writer write;
    std::vector<uint8_t> image;
    std::string expected;
};

std::vector<uint8_t> filled(size_t size, uint8_t value)
{
    return std::vector<uint8_t>(size, value);
}

std::vector<uint8_t> sequence(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

class WriterText : public ::testing::TestWithParam<WriterCase> {};

TEST_P(WriterText, WritesExactly)
{
    TempFolder folder;
    const WriterCase& c = GetParam();
    const std::string path = folder.file("out");
    ASSERT_EQ(c.write(path, c.image.data(), static_cast<uint32_t>(c.image.size())), FileSave::Written);
    EXPECT_EQ(readFile(path), c.expected);
}

std::vector<uint8_t> blankExceptAt(size_t size, size_t at)
{
    auto image = filled(size, 0xFF);
    image[at] = 0x00;
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    Records, WriterText,
    ::testing::Values(
        WriterCase{"IntelHexThreeBytes", WriteIntelHex, {0x00, 0x01, 0x02}, ":03000000000102FA\r\n:00000001FF\r\n"},
        WriterCase{"IntelHexBlank64KiB", WriteIntelHex, filled(0x10000, 0xFF), ":00000001FF\r\n"},
        WriterCase{"IntelHex33Bytes", WriteIntelHex, sequence(33),
                   ":20000000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FF0\r\n"
                   ":0100200020BF\r\n:00000001FF\r\n"},
        WriterCase{"IntelHexSecond64KiB", WriteIntelHex, blankExceptAt(0x10001, 0x10000),
                   ":020000040001F9\r\n:0100000000FF\r\n:00000001FF\r\n"},
        WriterCase{"SRecordThreeBytes", WriteSRecord, {0x00, 0x01, 0x02},
                   "S00600004844521B\r\nS1060000000102F6\r\nS9030000FC\r\n"},
        WriterCase{"SRecordBlank", WriteSRecord, filled(0x100, 0xFF), "S00600004844521B\r\nS9030000FC\r\n"},
        WriterCase{"SRecord17Bytes", WriteSRecord, filled(17, 0x00),
                   "S00600004844521B\r\nS113000000000000000000000000000000000000EC\r\n"
                   "S104001000EB\r\nS9030000FC\r\n"},
        WriterCase{"SRecord64KiBTakesS2", WriteSRecord, blankExceptAt(0x10000, 0xFFFF),
                   "S00600004844521B\r\n"
                   "S21400FFF0FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF000B\r\nS804000000FB\r\n"},
        WriterCase{"SRecordAbove16MiBTakesS3", WriteSRecord, blankExceptAt(0x1000001, 0x1000000),
                   "S00600004844521B\r\nS3060100000000F8\r\nS70500000000FA\r\n"}),
    [](const ::testing::TestParamInfo<WriterCase>& info) { return std::string(info.param.name); });

}  // namespace
