#include <gtest/gtest.h>

#include "ChipTestData.h"
#include "chips/ChipSearch.h"

namespace {

std::vector<int32_t> Slots(const std::vector<ChipSearchRow>& rows)
{
    std::vector<int32_t> slots;
    for (const ChipSearchRow& row : rows)
        slots.push_back(row.slot);
    return slots;
}

class ChipSearchTest : public ::testing::Test {
protected:
    ChipSearchTest()
    {
        const char* titles[] = {"SPI_FLASH,Winbond,W25Q64JV", "SPI_FLASH,ST,M25P80", "24_EEPROM,Atmel,AT24C02",
                                "X2,5Y,Z", "95_EEPROM,ST,M95080"};
        for (size_t i = 0; i < std::size(titles); ++i)
            catalogue.ChipDatabase[i] = MakeRecord(titles[i]);
        catalogue.ChipDatabase[6] = MakeRecord("SPI_FLASH,Hidden,W25Q80");
    }
    ChipCatalogue catalogue;
};

TEST_F(ChipSearchTest, FindsTheTextAnywhereInTheTitleInTableOrder)
{
    EXPECT_EQ(Slots(FindChips(catalogue, "25")), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(Slots(FindChips(catalogue, "2,5")), (std::vector<int32_t>{3}));
    EXPECT_EQ(Slots(FindChips(catalogue, "  ST  ")), (std::vector<int32_t>{1, 4}));
}

TEST_F(ChipSearchTest, IsCaseSensitiveAndStopsAtTheEndOfTheTable)
{
    EXPECT_TRUE(FindChips(catalogue, "winbond").empty());
    EXPECT_TRUE(FindChips(catalogue, "Hidden").empty());
}

TEST_F(ChipSearchTest, BlankTextFindsNothing)
{
    EXPECT_TRUE(FindChips(catalogue, "").empty());
    EXPECT_TRUE(FindChips(catalogue, "   ").empty());
}

TEST_F(ChipSearchTest, MatchesDecodedChineseTitles)
{
    catalogue.ChipDatabase[5] = MakeRecord("FLASH,\xB2\xE2\xCA\xD4,A1");  // 测试
    const std::vector<ChipSearchRow> rows = FindChips(catalogue, "测试");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].manufacturer, "测试");
}

}  // namespace
