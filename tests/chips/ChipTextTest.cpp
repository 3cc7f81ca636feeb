#include <gtest/gtest.h>

#include "chips/ChipText.h"

namespace {

TEST(ChipText, TrimsControlCodesAndBlanks)
{
    EXPECT_EQ(ChipText::trimmed(" \t\x01 W25Q64 \r\n"), "W25Q64");
    EXPECT_EQ(ChipText::trimmed("   "), "");
}

TEST(ChipText, IgnoresOnlyAsciiCase)
{
    EXPECT_TRUE(ChipText::equalsIgnoringCase("Spi_Flash", "SPI_FLASH"));
    EXPECT_FALSE(ChipText::equalsIgnoringCase("SPI", "SPI_"));
    EXPECT_FALSE(ChipText::equalsIgnoringCase("Ä", "ä"));
}

TEST(ChipText, ConvertsCodePage936BothWays)
{
    EXPECT_EQ(ChipText::gbkToUtf8("\xB2\xE2\xCA\xD4-x"), "测试-x");
    EXPECT_EQ(ChipText::utf8ToGbk("测试-x"), std::optional<std::string>("\xB2\xE2\xCA\xD4-x"));
    EXPECT_EQ(ChipText::gbkToUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(ChipText::utf8ToGbk("😀"), std::nullopt);
    EXPECT_EQ(ChipText::utf8ToGbk("\xC3"), std::nullopt);
}

}  // namespace
