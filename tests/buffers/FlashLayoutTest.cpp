#include <gtest/gtest.h>

#include <string>

#include "buffers/FlashLayout.h"

namespace {

struct LayoutCase {
    const char* name;
    std::string text;
    // Either the regions read, as "start-end:name;" each, or the error's text.
    std::string regions;
    std::string error;
};

std::string regionsText(const FlashLayout& layout)
{
    std::string text;
    for (const LayoutRegion& region : layout.regions)
        text += std::to_string(region.start) + "-" + std::to_string(region.end) + ":" + region.name + ";";
    return text;
}

class FlashLayoutParse : public testing::TestWithParam<LayoutCase> {};

TEST_P(FlashLayoutParse, ReadsRegionsOrNamesTheFault)
{
    const LayoutCase& c = GetParam();
    const FlashLayoutRead read = ParseFlashLayout(c.text);
    if (c.error.empty()) {
        ASSERT_TRUE(read.layout) << read.error;
        EXPECT_EQ(regionsText(*read.layout), c.regions);
    } else {
        EXPECT_FALSE(read.layout);
        EXPECT_EQ(read.error, c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , FlashLayoutParse,
    testing::Values(
        LayoutCase{"PlainLines", "00000000:00000fff fd\n00001000:0007ffff bios\n", "0-4095:fd;4096-524287:bios;", ""},
        LayoutCase{"PrefixesCommentsBlankLinesAndCrLf", "# board\r\n\r\n0x0:0X1F boot \r\n  20:3f\tapp\n",
                   "0-31:boot;32-63:app;", ""},
        LayoutCase{"OneByteRegionAtTheTop", "ffffffff:ffffffff last", "4294967295-4294967295:last;", ""},
        LayoutCase{"NoColon", "0000 1000 boot\n", "", "line 1: is not START:END NAME"},
        LayoutCase{"NoName", "0:fff\n", "", "line 1: is not START:END NAME"},
        LayoutCase{"BadHex", "0:fgh boot\n", "", "line 1: \"fgh\" is not a hexadecimal address of at most 32 bits"},
        LayoutCase{"EmptyStart", ":ff boot\n", "", "line 1: \"\" is not a hexadecimal address of at most 32 bits"},
        LayoutCase{"NegativeNumber", "-1:ff boot\n", "", "line 1: \"-1\" is not a hexadecimal address of at most 32 bits"},
        LayoutCase{"Beyond32Bits", "0:100000000 big\n", "",
                   "line 1: \"100000000\" is not a hexadecimal address of at most 32 bits"},
        LayoutCase{"StartAfterEnd", "# x\n2000:1fff back\n", "",
                   "line 2: the region starts at 0x2000, after its end 0x1fff"},
        LayoutCase{"Overlap", "0:fff a\n1000:1fff b\nfff:1000 c\n", "",
                   "line 3: the region \"c\" overlaps \"a\" (0x0:0xfff)"},
        LayoutCase{"DuplicateName", "0:fff a\n1000:1fff a\n", "", "line 2: the name \"a\" is given twice"},
        LayoutCase{"NameWithSpace", "0:fff two words\n", "",
                   "line 1: the region's name may hold only printable ASCII characters and no spaces"},
        LayoutCase{"ControlCharacterInName", "0:fff a\x1b[2J\n", "",
                   "line 1: the region's name may hold only printable ASCII characters and no spaces"},
        LayoutCase{"NulByte", std::string("0:fff a\0b\n", 10), "", "line 1: holds a NUL character"},
        LayoutCase{"LongName", "0:fff " + std::string(257, 'n') + "\n", "",
                   "line 1: the region's name is longer than 256 characters"},
        LayoutCase{"NothingInIt", "# only a comment\n\n", "", "names no region"}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

}  // namespace
