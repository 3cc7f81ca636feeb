#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "chips/ChipDatabaseFile.h"
#include "chips/ChipRow.h"
#include "core/MessageCatalogue.h"
#include "chips/ChipText.h"
#include "chips/SplitTitle.h"

namespace {

// The database the build puts beside the executables; tests run in that folder.
class DefaultDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto result = ChipDatabaseFile::read(*catalogue, "belcor.Dat", "damaged", English);
        ASSERT_EQ(result.outcome, ChipDatabaseFile::ReadResult::Loaded) << result.message;
        count = catalogue->recordCount();
        ASSERT_GT(count, 0);
    }
    std::vector<ChipRecord> Records() const
    {
        return {catalogue->ChipDatabase.begin(), catalogue->ChipDatabase.begin() + count};
    }

    std::unique_ptr<ChipCatalogue> catalogue = std::make_unique<ChipCatalogue>();
    int32_t count = 0;
};

bool IsPowerOfTwo(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

TEST_F(DefaultDatabaseTest, EveryRecordIsWellFormed)
{
    for (const ChipRecord& record : Records()) {
        const std::string title = ChipText::titleBytes(record);
        SCOPED_TRACE(title);
        EXPECT_LE(title.size(), 47u);
        const std::vector<std::string> items = SplitTitle(title);
        ASSERT_EQ(items.size(), 3u);
        for (const std::string& item : items)
            EXPECT_FALSE(item.empty());
        EXPECT_TRUE(IsPowerOfTwo(record.flashSize));
        EXPECT_GE(record.flashSize, 64u);
        EXPECT_LE(record.flashSize, 0x4000000u);
        EXPECT_TRUE(IsPowerOfTwo(record.flashPage));
        EXPECT_LE(record.flashPage, 256u);
        EXPECT_LE(record.eepromSize, 8192u);
        EXPECT_LE(record.voltage, 1u);
        EXPECT_EQ(record.xmlLink != 0, record.chipClass == Avr);
        EXPECT_EQ(record.eepromSize != 0, record.chipClass == Avr);
        // The erase of a 25-series chip waits up to delay polls of about 100 ms.
        if (record.chipClass == SpiFlash25) {
            EXPECT_GE(record.delay, record.flashSize <= 0x100000 ? 200u : 600u);
        }
        // Editing and saving a record unchanged gives the same record.
        ChipRecord back{};
        ASSERT_EQ(ChipRow::fromRecord(record).toRecord(back, English), "");
        EXPECT_EQ(std::memcmp(&back, &record, sizeof record), 0);
    }
}

TEST_F(DefaultDatabaseTest, ClassesStandInOrderWithOneTypeEach)
{
    EXPECT_EQ(ClassOrderProblem(Records(), English), "");
    std::set<uint8_t> classes;
    for (const ChipRecord& record : Records())
        classes.insert(record.chipClass);
    EXPECT_EQ(classes, (std::set<uint8_t>{0, 1, 2, 3, 4}));
}

TEST_F(DefaultDatabaseTest, RecordsSharingAnIdAreInterchangeable)
{
    // Flash chips and AVRs are told apart by their id; a chip found by its id
    // gets the first record with it, so later ones must describe the same
    // memory. The one exception is two parts the reference table lists under
    // one id although their capacity bytes differ.
    const std::set<std::string> knownConflicts = {"SPI_FLASH,Winbond,W77Q32JW"};
    std::map<std::pair<uint8_t, uint32_t>, ChipRecord> first;
    for (const ChipRecord& record : Records()) {
        if (record.chipClass != SpiFlash25 && record.chipClass != Avr)
            continue;
        const auto [it, inserted] = first.try_emplace({record.chipClass, record.chipId}, record);
        if (inserted || knownConflicts.count(ChipText::titleBytes(record)))
            continue;
        SCOPED_TRACE(ChipText::titleBytes(record));
        const ChipRecord& earlier = it->second;
        EXPECT_EQ(std::tie(record.flashSize, record.flashPage, record.algorithm, record.eepromSize),
                  std::tie(earlier.flashSize, earlier.flashPage, earlier.algorithm, earlier.eepromSize));
    }
}

TEST_F(DefaultDatabaseTest, DetectionFindsTheCurrentPartFirst)
{
    auto firstWithId = [&](uint32_t id) {
        for (const ChipRecord& record : Records()) {
            if (record.chipClass == SpiFlash25 && record.chipId == id)
                return ChipText::titleBytes(record);
        }
        return std::string();
    };
    EXPECT_EQ(firstWithId(0xEF4017), "SPI_FLASH,Winbond,W25Q64JV");
    EXPECT_EQ(firstWithId(0xEF4018), "SPI_FLASH,Winbond,W25Q128JV");
    EXPECT_EQ(firstWithId(0xC22018), "SPI_FLASH,Macronix,MX25L12835F");
}

}  // namespace
