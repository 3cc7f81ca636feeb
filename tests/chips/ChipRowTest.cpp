#include <gtest/gtest.h>

#include "ChipTestData.h"
#include "chips/ChipRow.h"
#include "core/MessageCatalogue.h"
#include "chips/ChipText.h"

namespace {

ChipRow ValidRow()
{
    ChipRow row;
    row.cells = {"SPI_FLASH", "Winbond", "W25Q64JV", "0xEF4017", "8388608", "256", "0",
                 "0", "3000", "0", "0", "0", "0"};
    return row;
}

TEST(CellToInt, ReadsDecimalAndHexadecimal)
{
    EXPECT_EQ(CellToInt("123"), 123);
    EXPECT_EQ(CellToInt("  -5"), -5);
    EXPECT_EQ(CellToInt("0xEF4017"), 0xEF4017);
    EXPECT_EQ(CellToInt("$ff"), 255);
    EXPECT_EQ(CellToInt("0xFFFFFFFF"), -1);
    EXPECT_EQ(CellToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(CellToInt("2147483648"), std::nullopt);
    EXPECT_EQ(CellToInt("0x100000000"), std::nullopt);
    EXPECT_EQ(CellToInt(""), std::nullopt);
    EXPECT_EQ(CellToInt("0x"), std::nullopt);
    EXPECT_EQ(CellToInt("12 "), std::nullopt);
    EXPECT_EQ(CellToInt("1a"), std::nullopt);
}

struct TitleCase {
    const char* name;
    std::string title;
    std::array<std::string, 3> cells;
};

class ChipRowTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ChipRowTitleTest, CutsAtTheFirstTwoCommas)
{
    const ChipRow row = ChipRow::fromRecord(MakeRecord(GetParam().title));
    EXPECT_EQ(row.cells[ChipRow::Type], GetParam().cells[0]);
    EXPECT_EQ(row.cells[ChipRow::Manufacturer], GetParam().cells[1]);
    EXPECT_EQ(row.cells[ChipRow::Name], GetParam().cells[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ChipRowTitleTest,
    ::testing::Values(TitleCase{"Three", "A,B,C", {"A", "B", "C"}},
                      TitleCase{"NoComma", "ALONE", {"", "", "ALONE"}},
                      TitleCase{"OneComma", "A,B", {"A", "", "B"}},
                      TitleCase{"MoreCommas", "A,B,C,D", {"A", "B", "C,D"}},
                      TitleCase{"NothingTrimmed", " A , B ,C ", {" A ", " B ", "C "}},
                      TitleCase{"Gbk", "\xB2\xE2,\xCA\xD4,X", {"测", "试", "X"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChipRow, StoresTrimmedNamesAndTheNumbers)
{
    ChipRow row = ValidRow();
    row.cells[ChipRow::Type] = "  SPI_FLASH ";
    row.cells[ChipRow::Name] = "\tW25Q64JV ";
    ChipRecord record{};
    ASSERT_EQ(row.toRecord(record, English), "");
    EXPECT_EQ(ChipText::titleBytes(record), "SPI_FLASH,Winbond,W25Q64JV");
    EXPECT_EQ(record.chipId, 0xEF4017u);
    EXPECT_EQ(record.flashSize, 8388608u);
    EXPECT_EQ(record.delay, 3000);
}

TEST(ChipRow, KeepsAFortySevenByteTitleAndItsGbkForm)
{
    ChipRow row = ValidRow();
    row.cells[ChipRow::Manufacturer] = "测试";
    row.cells[ChipRow::Name] = std::string(47 - 15, 'N');  // "SPI_FLASH," + 4 + ","
    ChipRecord record{};
    ASSERT_EQ(row.toRecord(record, English), "");
    EXPECT_EQ(ChipText::titleBytes(record).size(), 47u);
    EXPECT_EQ(ChipRow::fromRecord(record).cells[ChipRow::Manufacturer], "测试");
}

struct RefusalCase {
    const char* name;
    ChipRow::Column column;
    std::string text;
    std::string messagePart;
};

class ChipRowRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ChipRowRefusalTest, RefusesAndLeavesTheRecordAlone)
{
    ChipRow row = ValidRow();
    row.cells[GetParam().column] = GetParam().text;
    ChipRecord record = MakeRecord("OLD,OLD,OLD");
    const ChipRecord before = record;
    const std::string message = row.toRecord(record, English);
    EXPECT_NE(message.find(GetParam().messagePart), std::string::npos) << message;
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ChipRowRefusalTest,
    ::testing::Values(
        RefusalCase{"NotAnInteger", ChipRow::Delay, "1O0", "Column \"延时\": '1O0' is not a valid integer value."},
        RefusalCase{"EmptyAlgorithm", ChipRow::Algorithm, "", "'' is not a valid integer value"},
        RefusalCase{"FlashAbove64MiB", ChipRow::FlashSize, "67108865", "between 0 and 67108864"},
        RefusalCase{"NegativeFlash", ChipRow::FlashSize, "-1", "between 0 and 67108864"},
        RefusalCase{"EepromAboveBuffer", ChipRow::EepromSize, "16384", "8192"},
        RefusalCase{"EepromPage256", ChipRow::EepromPage, "256", "255"},
        RefusalCase{"NoFlashPageChosen", ChipRow::FlashPage, "-2147483648", "65535"},
        RefusalCase{"NoClassChosen", ChipRow::Class, "-1", "Column \"类型\": the value must be between 0 and 255."},
        RefusalCase{"BlankInName", ChipRow::Name, "W25Q64 JV", "blanks"},
        RefusalCase{"CommaInMaker", ChipRow::Manufacturer, "Win,bond", "commas"},
        RefusalCase{"QuoteInType", ChipRow::Type, "SPI\"FLASH", "double quotes"},
        RefusalCase{"NotInCodePage936", ChipRow::Name, "W25Q😀", "code page 936"},
        RefusalCase{"TitleTooLong", ChipRow::Name, std::string(48 - 18, 'N'), "at most 47"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClassOrder, AcceptsOneTypePerClassInOrder)
{
    EXPECT_EQ(ClassOrderProblem({MakeRecord("F,A,1", 64, 0), MakeRecord("f,B,2", 64, 0)}, English),
              "Record 2 (f,B,2) spells its type \"f\" unlike \"F\" before it.");
    EXPECT_EQ(ClassOrderProblem({MakeRecord("F,A,1", 64, 0), MakeRecord("E,A,2", 64, 1), MakeRecord("F,A,3", 64, 0)}, English),
              "");
    EXPECT_NE(ClassOrderProblem({MakeRecord("E,A,1", 64, 1), MakeRecord("F,A,2", 64, 0)}, English), "");
    EXPECT_NE(ClassOrderProblem({MakeRecord("F,A,1", 64, 0), MakeRecord("F,A,2", 64, 1)}, English), "");
    EXPECT_NE(ClassOrderProblem({MakeRecord("F,A,1", 64, 0), MakeRecord("X,A,2", 64, 2)}, English), "");
}

}  // namespace
