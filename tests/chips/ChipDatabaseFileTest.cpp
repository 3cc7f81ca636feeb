#include <gtest/gtest.h>

#include <memory>

#include "ChipTestData.h"
#include "chips/ChipDatabaseFile.h"
#include "chips/ChipText.h"
#include "core/MessageCatalogue.h"

namespace {

const std::string Damaged = "damaged";

class ChipDatabaseFileTest : public ::testing::Test {
protected:
    ChipDatabaseFile::ReadResult Read() { return ChipDatabaseFile::read(*catalogue, path.string(), Damaged, English); }

    ScratchFolder folder;
    std::filesystem::path path = folder.file("belcor.Dat");
    std::unique_ptr<ChipCatalogue> catalogue = std::make_unique<ChipCatalogue>();
};

TEST(ChipDatabasePath, ReplacesTheExtension)
{
    EXPECT_EQ(ChipDatabaseFile::pathFor("/opt/belcor/bin/belcor"), "/opt/belcor/bin/belcor.Dat");
    EXPECT_EQ(ChipDatabaseFile::pathFor("/opt/x.y/belcor.exe"), "/opt/x.y/belcor.Dat");
}

TEST(ChipRecordBytes, AreLittleEndianFieldByField)
{
    ChipRecord record = MakeRecord("A,B,C", 0x01020304);
    record.chipId = 0xEF4017;
    record.flashPage = 0x0100;
    record.delay = 0x0BB8;
    record.eepromSize = 0x0200;
    record.voltage = 1;
    uint8_t bytes[68];
    ChipDatabaseFile::encodeRecord(record, bytes);
    EXPECT_EQ(bytes[48], 0x17);
    EXPECT_EQ(bytes[50], 0xEF);
    EXPECT_EQ(bytes[52], 0x04);
    EXPECT_EQ(bytes[55], 0x01);
    EXPECT_EQ(bytes[57], 0x01);
    EXPECT_EQ(bytes[60], 0xB8);
    EXPECT_EQ(bytes[65], 0x02);
    EXPECT_EQ(bytes[67], 0x01);
    ChipRecord back = ChipDatabaseFile::decodeRecord(bytes);
    EXPECT_EQ(std::memcmp(&back, &record, sizeof record), 0);
}

TEST_F(ChipDatabaseFileTest, MissingFileLeavesTheTableQuietly)
{
    catalogue->ChipDatabase[0] = MakeRecord("A,B,C");
    const auto result = Read();
    EXPECT_EQ(result.outcome, ChipDatabaseFile::ReadResult::Missing);
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(catalogue->recordCount(), 1);
}

TEST_F(ChipDatabaseFileTest, EmptyFilesLoadAsEmptyCatalogues)
{
    WriteBytes(path, {});
    EXPECT_EQ(Read().outcome, ChipDatabaseFile::ReadResult::Loaded);
    EXPECT_EQ(catalogue->recordCount(), 0);

    std::vector<uint8_t> terminatorOnly(68, 0x55);
    terminatorOnly[0] = 0;
    WriteBytes(path, terminatorOnly);
    EXPECT_EQ(Read().outcome, ChipDatabaseFile::ReadResult::Loaded);
    EXPECT_EQ(catalogue->recordCount(), 0);
}

TEST_F(ChipDatabaseFileTest, RefusedFilesLeaveTheTableAsItWas)
{
    catalogue->ChipDatabase[0] = MakeRecord("A,B,C");
    const ChipCatalogue before = *catalogue;

    WriteBytes(path, std::vector<uint8_t>(100, 'x'));
    ChipDatabaseFile::ReadResult result = Read();
    EXPECT_EQ(result.outcome, ChipDatabaseFile::ReadResult::Refused);
    EXPECT_EQ(result.message, Damaged);

    WriteBytes(path, std::vector<uint8_t>(68 * 1001, 'x'));
    result = ChipDatabaseFile::read(*catalogue, path.string(), Damaged, TraditionalChinese);
    EXPECT_EQ(result.outcome, ChipDatabaseFile::ReadResult::Refused);
    EXPECT_EQ(result.message, "芯片數據庫 " + path.string() + " 超過 1000 條記錄，沒有載入。");

    EXPECT_EQ(std::memcmp(before.ChipDatabase.data(), catalogue->ChipDatabase.data(), sizeof before.ChipDatabase), 0);
}

TEST_F(ChipDatabaseFileTest, AFullTableStillLoads)
{
    std::vector<uint8_t> bytes(68 * 1000, 'x');
    WriteBytes(path, bytes);
    EXPECT_EQ(Read().outcome, ChipDatabaseFile::ReadResult::Loaded);
    EXPECT_EQ(catalogue->recordCount(), 1000);
}

TEST_F(ChipDatabaseFileTest, SlotsAfterAShorterFileKeepTheirBytesBehindTheTerminator)
{
    for (int i = 0; i < 3; ++i)
        catalogue->ChipDatabase[i] = MakeRecord("A,B,C" + std::to_string(i));
    std::vector<uint8_t> bytes(68 * 2, 0);
    ChipDatabaseFile::encodeRecord(MakeRecord("N,E,W"), bytes.data());
    WriteBytes(path, bytes);

    Read();
    EXPECT_EQ(catalogue->recordCount(), 1);
    EXPECT_EQ(ChipText::titleBytes(catalogue->ChipDatabase[2]), "A,B,C2");
}

TEST_F(ChipDatabaseFileTest, WritesRecordsAndTerminatorAndReadsThemBack)
{
    const std::string title47 = "SPI_FLASH,Manufacturer," + std::string(24, 'N');
    ASSERT_EQ(title47.size(), 47u);
    catalogue->ChipDatabase[0] = MakeRecord(title47, 0x4000000);
    catalogue->ChipDatabase[1] = MakeRecord("FLASH,\xB2\xE2\xCA\xD4,W25Q64");
    catalogue->ChipDatabase[2] = MakeRecord("stale,record,behind");

    ASSERT_EQ(ChipDatabaseFile::write(*catalogue, 2, path.string()), "");
    const std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 68u * 3);
    EXPECT_EQ(std::count(bytes.begin() + 136, bytes.end(), 0), 68);

    auto loaded = std::make_unique<ChipCatalogue>();
    ASSERT_EQ(ChipDatabaseFile::read(*loaded, path.string(), Damaged, English).outcome, ChipDatabaseFile::ReadResult::Loaded);
    EXPECT_EQ(ChipText::titleBytes(loaded->ChipDatabase[0]), title47);
    EXPECT_EQ(loaded->ChipDatabase[0].flashSize, 0x4000000u);
    EXPECT_EQ(ChipText::gbkToUtf8(ChipText::titleBytes(loaded->ChipDatabase[1])), "FLASH,测试,W25Q64");
    EXPECT_EQ(loaded->recordCount(), 2);
}

TEST_F(ChipDatabaseFileTest, FailedWriteLeavesNoTraceAndSaysWhere)
{
    // A folder in the file's place cannot be replaced by a file.
    std::filesystem::create_directories(path / "inside");
    catalogue->ChipDatabase[0] = MakeRecord("A,B,C");
    EXPECT_EQ(ChipDatabaseFile::write(*catalogue, 1, path.string()), "Cannot create file " + path.string());
    EXPECT_TRUE(std::filesystem::is_directory(path / "inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

    const std::string nowhere = folder.file("missing/belcor.Dat").string();
    EXPECT_EQ(ChipDatabaseFile::write(*catalogue, 1, nowhere), "Cannot create file " + nowhere);
}

}  // namespace
