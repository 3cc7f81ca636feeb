#include <gtest/gtest.h>

#include <memory>

#include "ChipTestData.h"
#include "support/RecordingHost.h"
#include "core/MessageCatalogue.h"
#include "chips/ChipDatabaseFile.h"
#include "chips/ChipSearch.h"
#include "ops/SelectChip.h"
#include "ops/OwnedWorkbench.h"

namespace {

using Items = std::vector<std::string>;

class SelectChipTest : public ::testing::Test {
protected:
    void SetRecords(const std::vector<ChipRecord>& records)
    {
        std::copy(records.begin(), records.end(), catalogue().ChipDatabase.begin());
    }
    ChipCatalogue& catalogue() { return workbench->catalogue; }
    int32_t Select(int32_t type, int32_t manufacturer, int32_t name)
    {
        return SelectChip(*workbench, host, type, manufacturer, name);
    }

    std::unique_ptr<OwnedWorkbench> workbench = std::make_unique<OwnedWorkbench>();
    RecordingHost host;
};

// Two types, two makers of the first, in database order.
std::vector<ChipRecord> SmallDatabase()
{
    ChipRecord lowVoltage = MakeRecord("SPI_FLASH,GigaDevice,GD25LQ64", 0x800000);
    lowVoltage.voltage = 1;
    ChipRecord withConfig = MakeRecord("AVR,Atmel,ATmega8", 0x2000, Avr, 512);
    withConfig.xmlLink = 1;
    return {
        MakeRecord("SPI_FLASH,Winbond,W25Q64JV", 0x800000),
        MakeRecord("SPI_FLASH,Winbond,W25Q32JV", 0x400000),
        lowVoltage,
        MakeRecord("24_EEPROM,Atmel,AT24C02", 256, I2cEeprom24),
        MakeRecord("24_EEPROM,ST,M24C64", 8192, I2cEeprom24),
        withConfig,
    };
}

TEST_F(SelectChipTest, PositionsDesignateTheRecordAndResetTheBuffers)
{
    SetRecords(SmallDatabase());
    workbench->buffers.flash()[5] = 0x12;
    workbench->buffers.dataLength = 9;

    EXPECT_EQ(Select(0, 0, 1), 1);

    EXPECT_EQ(catalogue().currentChip, 1);
    EXPECT_EQ(catalogue().typeList.items, (Items{"SPI_FLASH", "24_EEPROM", "AVR"}));
    EXPECT_EQ(catalogue().manufacturerList.items, (Items{"Winbond", "GigaDevice"}));
    EXPECT_EQ(catalogue().nameList.items, (Items{"W25Q64JV", "W25Q32JV"}));
    EXPECT_EQ(catalogue().nameList.position, 1);
    EXPECT_EQ(catalogue().sizeText(), "4194304");
    EXPECT_EQ(catalogue().firstTabCaption(), "FLASH");
    EXPECT_EQ(workbench->buffers.flash()[5], 0xFF);
    EXPECT_EQ(workbench->buffers.dataLength, 0);
    EXPECT_EQ(workbench->buffers.range.end, 0x3FFFFF);
    EXPECT_EQ(host.chipSelectionChanges, 1);
}

TEST_F(SelectChipTest, DetailsFollowTheSelectedRecord)
{
    SetRecords(SmallDatabase());
    Select(0, 1, 0);
    EXPECT_TRUE(catalogue().lowVoltageNoticeVisible());
    EXPECT_FALSE(catalogue().eepromTabVisible());

    Select(2, 0, 0);
    EXPECT_EQ(catalogue().currentChip, 5);
    EXPECT_FALSE(catalogue().lowVoltageNoticeVisible());
    EXPECT_TRUE(catalogue().eepromTabVisible());
    EXPECT_TRUE(catalogue().configTabVisible());
    EXPECT_EQ(catalogue().dataSizeText(), "512");
    EXPECT_EQ(catalogue().pageSizeText(), "256");
    EXPECT_EQ(catalogue().firstTabCaption(), "EEPROM");

    Select(1, 0, 0);
    EXPECT_EQ(catalogue().firstTabCaption(), "EEPROM");
    EXPECT_FALSE(catalogue().configTabVisible());
}

TEST_F(SelectChipTest, OnlyTheFirstOfTwoSameNamedRecordsCanBeSelected)
{
    SetRecords({MakeRecord("T,M,CHIP", 64), MakeRecord("T,M,Chip", 128), MakeRecord("T,M,OTHER", 256),
                MakeRecord("T,M,CHIP", 512)});
    for (int32_t name = 0; name < 4; ++name) {
        int32_t found = Select(0, 0, name);
        EXPECT_NE(found, 1);
        EXPECT_NE(found, 3);
    }
    EXPECT_EQ(catalogue().nameList.items, (Items{"CHIP", "OTHER"}));
}

TEST_F(SelectChipTest, TypesDifferingInCaseKeepTheFirstSpelling)
{
    SetRecords({MakeRecord("FLASH,A,ONE"), MakeRecord("EEPROM,B,TWO"), MakeRecord("flash,C,THREE")});
    Select(0, 0, 0);
    EXPECT_EQ(catalogue().typeList.items, (Items{"FLASH", "EEPROM"}));
    EXPECT_EQ(catalogue().manufacturerList.items, (Items{"A"}));
    EXPECT_EQ(Select(0, 1, 0), -1);
}

TEST_F(SelectChipTest, PositionsOutsideTheListsSelectNothing)
{
    SetRecords(SmallDatabase());
    Select(0, 0, 1);

    EXPECT_EQ(Select(9, 0, 0), -1);
    EXPECT_EQ(catalogue().currentChip, 1);
    EXPECT_TRUE(catalogue().manufacturerList.items.empty());
    EXPECT_TRUE(catalogue().nameList.items.empty());
    EXPECT_EQ(catalogue().typeList.position, -1);
    EXPECT_EQ(workbench->buffers.range.end, 0x3FFFFF);
    EXPECT_EQ(host.chipSelectionChanges, 2);

    EXPECT_EQ(Select(0, 5, 0), -1);
    EXPECT_EQ(catalogue().manufacturerList.items, (Items{"Winbond", "GigaDevice"}));
    EXPECT_TRUE(catalogue().nameList.items.empty());
    EXPECT_EQ(catalogue().typeList.position, 0);
    EXPECT_EQ(catalogue().manufacturerList.position, -1);

    EXPECT_EQ(Select(0, 0, -1), -1);
    EXPECT_EQ(catalogue().nameList.position, -1);
}

TEST_F(SelectChipTest, EmptyDatabaseLeavesEmptyListsAndTheEndAtFFFFFFFF)
{
    EXPECT_EQ(Select(0, 0, 0), -1);
    EXPECT_TRUE(catalogue().typeList.items.empty());
    EXPECT_EQ(catalogue().typeList.position, -1);
    EXPECT_EQ(catalogue().currentChip, 0);
    EXPECT_EQ(catalogue().sizeText(), "0");
    EXPECT_EQ(static_cast<uint32_t>(workbench->buffers.range.end), 0xFFFFFFFFu);
    EXPECT_EQ(host.chipSelectionChanges, 1);
}

TEST_F(SelectChipTest, TypeListGrowsButIsNeverEmptied)
{
    SetRecords(SmallDatabase());
    Select(0, 0, 0);
    SetRecords({MakeRecord("95_EEPROM,ST,M95080", 1024, SpiEeprom95), ChipRecord{}});
    Select(0, 0, 0);
    EXPECT_EQ(catalogue().typeList.items, (Items{"SPI_FLASH", "24_EEPROM", "AVR", "95_EEPROM"}));
}

TEST_F(SelectChipTest, ChangingTheTypeSelectsItsFirstMakerAndChipAndRemembersIt)
{
    SetRecords(SmallDatabase());
    Select(0, 1, 0);

    EXPECT_EQ(TypeListChanged(*workbench, host, 1), 3);
    EXPECT_EQ(catalogue().INDEX1, 1);
    EXPECT_EQ(catalogue().INDEX2, 0);
    EXPECT_EQ(catalogue().INDEX3, 0);
    EXPECT_EQ(catalogue().manufacturerList.items, (Items{"Atmel", "ST"}));

    EXPECT_EQ(ManufacturerListChanged(*workbench, host, 1), 4);
    EXPECT_EQ(catalogue().INDEX2, 1);
    EXPECT_EQ(catalogue().INDEX3, 0);

    TypeListChanged(*workbench, host, 0);
    EXPECT_EQ(NameListChanged(*workbench, host, 1), 1);
    EXPECT_EQ(catalogue().INDEX3, 1);
}

TEST_F(SelectChipTest, ListChangesAreRefusedDuringADeviceSession)
{
    SetRecords(SmallDatabase());
    Select(0, 0, 0);
    workbench->busy = true;
    EXPECT_EQ(TypeListChanged(*workbench, host, 1), -1);
    EXPECT_EQ(catalogue().typeList.position, 0);
    EXPECT_EQ(catalogue().currentChip, 0);
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_EQ(host.chipSelectionChanges, 1);
}

TEST_F(SelectChipTest, SearchResultOfAnotherTypeEndsWithAllThreeListsOnIt)
{
    SetRecords(SmallDatabase());
    Select(0, 0, 0);
    TypeListChanged(*workbench, host, 0);
    const std::vector<ChipSearchRow> rows = FindChips(catalogue(), "M24");
    ASSERT_EQ(rows.size(), 1u);

    EXPECT_EQ(SelectSearchResult(*workbench, host, rows[0]), 4);
    EXPECT_EQ(catalogue().currentChip, 4);
    EXPECT_EQ(catalogue().typeList.position, 1);
    EXPECT_EQ(catalogue().manufacturerList.selectedText(), "ST");
    EXPECT_EQ(catalogue().nameList.selectedText(), "M24C64");
    EXPECT_EQ(catalogue().INDEX1, 0);
    EXPECT_EQ(catalogue().INDEX2, 0);
    EXPECT_EQ(catalogue().INDEX3, 0);
}

TEST_F(SelectChipTest, StartUpLoadSelectsTheRememberedChip)
{
    ScratchFolder folder;
    {
        OwnedWorkbench source;
        const std::vector<ChipRecord> records = SmallDatabase();
        std::copy(records.begin(), records.end(), source.catalogue.ChipDatabase.begin());
        ASSERT_EQ(ChipDatabaseFile::write(source.catalogue, int32_t(records.size()), folder.file("belcor.Dat").string()),
                  "");
    }
    EXPECT_EQ(LoadChipDatabase(*workbench, host, folder.file("missing.Dat").string()), 0);
    EXPECT_EQ(host.chipSelectionChanges, 0);

    catalogue().INDEX1 = 1;
    catalogue().INDEX2 = 1;
    catalogue().INDEX3 = 0;
    EXPECT_EQ(LoadChipDatabase(*workbench, host, folder.file("belcor.Dat").string()), 1);
    EXPECT_EQ(host.chipSelectionChanges, 1);
    EXPECT_EQ(catalogue().currentChip, 4);
    EXPECT_EQ(catalogue().nameList.items, (Items{"M24C64"}));
    EXPECT_EQ(catalogue().sizeText(), "8192");

    WriteBytes(folder.file("belcor.Dat"), std::vector<uint8_t>(100));
    workbench->languageIndex = English;
    EXPECT_EQ(LoadChipDatabase(*workbench, host, folder.file("belcor.Dat").string()), 0);
    EXPECT_EQ(host.messageBoxes, (Items{"The configuration file was destroyed."}));
    EXPECT_EQ(host.chipSelectionChanges, 1);
}

}  // namespace
