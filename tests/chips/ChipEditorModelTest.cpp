#include <gtest/gtest.h>

#include <memory>

#include "ChipTestData.h"
#include "support/RecordingHost.h"
#include "chips/ChipDatabaseFile.h"
#include "chips/ChipEditorModel.h"
#include "core/MessageCatalogue.h"
#include "chips/ChipText.h"

namespace {

ChipRow Row(const std::string& type, const std::string& maker, const std::string& name, int chipClass,
            const std::string& algorithm, const std::string& flashSize = "4096")
{
    ChipRow row;
    row.cells = {type, maker, name, "0x0", flashSize, "256", std::to_string(chipClass), algorithm, "100", "0",
                 "512", "4", "1"};
    return row;
}

struct AlgorithmCase {
    const char* name;
    int chipClass;
    int code;
    const char* flashSize;
    int position;      // chosen by a double click
    int codeAfterAdd;  // stored again by Edit
};

class EditorAlgorithmTest : public ::testing::TestWithParam<AlgorithmCase> {};

TEST_P(EditorAlgorithmTest, DoubleClickChoosesThePositionAndEditStoresTheCode)
{
    const AlgorithmCase& c = GetParam();
    ChipEditorModel model;
    model.rows = {Row("T", "M", "N", c.chipClass, std::to_string(c.code), c.flashSize)};
    model.selectedRow = 1;
    ChipEditorControls controls;
    ASSERT_EQ(model.copySelectedRow(controls), "");
    EXPECT_EQ(controls.algorithmPosition, c.position);

    model.edit(controls);
    EXPECT_EQ(model.rows[0].cells[ChipRow::Algorithm], std::to_string(c.codeAfterAdd));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, EditorAlgorithmTest,
    ::testing::Values(AlgorithmCase{"Flash", 0, 0, "4096", 0, 0},
                      AlgorithmCase{"SstFlash", 0, 1, "4096", 1, 1},
                      AlgorithmCase{"FlashAbove16MiB", 0, 128, "33554432", 2, 128},
                      AlgorithmCase{"SstFlashAbove16MiB", 0, 129, "33554432", 3, 129},
                      AlgorithmCase{"I2cFrom4KiBWhateverTheCode", 1, 0, "4096", 1, 1},
                      AlgorithmCase{"I2cBelow4KiBWhateverTheCode", 1, 1, "2048", 0, 0},
                      AlgorithmCase{"Microwire8Bit", 2, 9, "512", 2, 9},
                      AlgorithmCase{"Microwire93C66x16", 2, 89, "512", 7, 89},
                      AlgorithmCase{"SpiEeprom24BitAddress", 3, 2, "131072", 2, 2},
                      AlgorithmCase{"AvrAlwaysStandard", 4, 3, "32768", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditorLists, Log2CountsHalvings)
{
    EXPECT_EQ(ChipEditorModel::log2(0), 0);
    EXPECT_EQ(ChipEditorModel::log2(1), 0);
    EXPECT_EQ(ChipEditorModel::log2(3), 1);
    EXPECT_EQ(ChipEditorModel::log2(67108864), 26);
}

TEST(EditorRowFromControls, TurnsPositionsIntoSizesAndCodes)
{
    ChipEditorControls controls;
    controls.classPosition = 2;
    controls.algorithmPosition = 7;
    controls.flashPosition = 18;
    controls.eepromPosition = 0;
    controls.eepromPagePosition = 8;
    ChipRow row;
    ChipEditorModel::fillRow(row, controls);
    EXPECT_EQ(row.cells[ChipRow::FlashSize], "16777216");
    EXPECT_EQ(row.cells[ChipRow::EepromSize], "0");
    EXPECT_EQ(row.cells[ChipRow::EepromPage], "256");
    EXPECT_EQ(row.cells[ChipRow::Algorithm], "89");
    EXPECT_EQ(row.cells[ChipRow::Delay], "100");
}

TEST(EditorDoubleClick, MapsSizesBackToPositions)
{
    ChipEditorModel model;
    model.rows = {Row("T", "M", "N", 4, "0", "32768")};
    model.rows[0].cells[ChipRow::Delay] = "0x10";
    model.selectedRow = 1;
    ChipEditorControls controls;
    ASSERT_EQ(model.copySelectedRow(controls), "");
    EXPECT_EQ(controls.flashPosition, 9);
    EXPECT_EQ(controls.flashPagePosition, 8);
    EXPECT_EQ(controls.eepromPosition, 9);
    EXPECT_EQ(controls.eepromPagePosition, 2);
    EXPECT_EQ(controls.delay, "16");
    EXPECT_EQ(controls.extend, "1");
    EXPECT_EQ(controls.type, "T");
}

TEST(EditorDoubleClick, PositionsOutsideTheListsLeaveNoSelection)
{
    ChipEditorModel model;
    model.rows = {Row("T", "M", "N", 7, "0", "32")};
    model.rows[0].cells[ChipRow::Voltage] = "2";
    model.selectedRow = 1;
    ChipEditorControls controls;
    ASSERT_EQ(model.copySelectedRow(controls), "");
    EXPECT_EQ(controls.classPosition, -1);
    EXPECT_EQ(controls.algorithmPosition, -1);
    EXPECT_EQ(controls.flashPosition, -1);
    EXPECT_EQ(controls.voltagePosition, -1);
}

TEST(EditorDoubleClick, NonIntegerCellLeavesTheControlsAlone)
{
    ChipEditorModel model;
    model.rows = {Row("T", "M", "N", 0, "0")};
    model.rows[0].cells[ChipRow::EepromPage] = "four";
    model.selectedRow = 1;
    ChipEditorControls controls;
    controls.type = "before";
    EXPECT_EQ(model.copySelectedRow(controls), "'four' is not a valid integer value");
    EXPECT_EQ(controls.type, "before");
}

TEST(EditorRows, EditBeforeAnySelectionChangesNothingAndAddSelectsTheNewRow)
{
    ChipEditorModel model;
    model.rows = {Row("T", "M", "N", 0, "0")};
    const ChipRow before = model.rows[0];
    ChipEditorControls controls;
    controls.type = "NEW";
    model.edit(controls);
    EXPECT_EQ(model.rows[0].cells, before.cells);

    model.add(controls);
    ASSERT_EQ(model.rows.size(), 2u);
    EXPECT_EQ(model.selectedRow, 2);
    EXPECT_EQ(model.rows[1].cells[ChipRow::Type], "NEW");
    // No class and no algorithm chosen: the new row's algorithm stays empty.
    EXPECT_EQ(model.rows[1].cells[ChipRow::Algorithm], "");

    model.remove(1);
    EXPECT_EQ(model.rows.size(), 1u);
    EXPECT_EQ(model.rows[0].cells[ChipRow::Type], "NEW");
    EXPECT_EQ(model.selectedRow, 1);
}

class EditorSaveTest : public ::testing::Test {
protected:
    EditorSaveTest()
    {
        catalogue->ChipDatabase[0] = MakeRecord("F,A,OLD1");
        catalogue->ChipDatabase[1] = MakeRecord("F,A,OLD2");
        EXPECT_EQ(ChipDatabaseFile::write(*catalogue, 2, path.string()), "");
        model.fill(*catalogue);
        before = std::make_unique<ChipCatalogue>(*catalogue);
        fileBefore = ReadBytes(path);
    }
    void ExpectNothingChanged()
    {
        EXPECT_EQ(std::memcmp(before->ChipDatabase.data(), catalogue->ChipDatabase.data(),
                              sizeof before->ChipDatabase),
                  0);
        EXPECT_EQ(ReadBytes(path), fileBefore);
    }

    ScratchFolder folder;
    std::filesystem::path path = folder.file("belcor.Dat");
    std::unique_ptr<ChipCatalogue> catalogue = std::make_unique<ChipCatalogue>();
    ChipEditorModel model;
    RecordingHost host;
    std::unique_ptr<ChipCatalogue> before;
    std::vector<uint8_t> fileBefore;
};

TEST_F(EditorSaveTest, BadCellInALaterRowChangesNeitherTableNorFile)
{
    model.rows.push_back(Row("F", "B", "NEW", 0, "0"));
    model.rows.push_back(Row("F", "B", "BAD", 0, ""));
    EXPECT_FALSE(model.save(*catalogue, host, path.string(), English));
    ASSERT_EQ(host.errorBoxes.size(), 1u);
    EXPECT_EQ(host.errorBoxes[0],
              "Row 4: Column \"子类型\": '' is not a valid integer value. Nothing was saved.");
    ExpectNothingChanged();
}

TEST_F(EditorSaveTest, MoreRowsThanTheTableHoldsAreRefused)
{
    model.rows.resize(1000, Row("F", "A", "X", 0, "0"));
    EXPECT_FALSE(model.save(*catalogue, host, path.string(), SimplifiedChinese));
    EXPECT_EQ(host.errorBoxes, std::vector<std::string>{"芯片数据库最多容纳 999 个芯片，表格中有 1000 行。没有保存。"});
    ExpectNothingChanged();
}

TEST_F(EditorSaveTest, BreakingTheClassOrderAsksFirst)
{
    model.rows.insert(model.rows.begin(), Row("E", "A", "EE", 1, "0"));
    host.defaultAnswer = false;
    EXPECT_FALSE(model.save(*catalogue, host, path.string(), English));
    ASSERT_EQ(host.questions.size(), 1u);
    ExpectNothingChanged();

    host.defaultAnswer = true;
    EXPECT_TRUE(model.save(*catalogue, host, path.string(), English));
    EXPECT_EQ(ReadBytes(path).size(), 68u * 4);
    EXPECT_EQ(ChipText::titleBytes(catalogue->ChipDatabase[0]), "E,A,EE");
}

TEST_F(EditorSaveTest, SavingTrimsTheNamesAndEndsTheTable)
{
    model.rows[1].cells[ChipRow::Name] = "  OLD2 ";
    model.rows.push_back(Row(" F", "B ", "NEW", 0, "0"));
    catalogue->ChipDatabase[3] = MakeRecord("F,A,BEHIND");
    catalogue->ChipDatabase[4] = MakeRecord("F,A,HIDDEN");
    EXPECT_TRUE(model.save(*catalogue, host, path.string(), English));
    EXPECT_TRUE(host.errorBoxes.empty());
    EXPECT_EQ(ChipText::titleBytes(catalogue->ChipDatabase[1]), "F,A,OLD2");
    EXPECT_EQ(ChipText::titleBytes(catalogue->ChipDatabase[2]), "F,B,NEW");
    EXPECT_EQ(catalogue->recordCount(), 3);
    EXPECT_EQ(ReadBytes(path).size(), 68u * 4);
    // Only the terminator is written over; the slot after it keeps its bytes.
    EXPECT_EQ(ChipText::titleBytes(catalogue->ChipDatabase[4]), "F,A,HIDDEN");
}

TEST_F(EditorSaveTest, DeletingEveryRowLeavesOnlyTheTerminator)
{
    model.remove(1);
    model.remove(1);
    model.remove(1);
    EXPECT_TRUE(model.rows.empty());
    EXPECT_TRUE(model.save(*catalogue, host, path.string(), English));
    EXPECT_EQ(ReadBytes(path), std::vector<uint8_t>(68, 0));
    EXPECT_EQ(catalogue->recordCount(), 0);
}

TEST_F(EditorSaveTest, ReloadShowsTheFileAndKeepsTheTableWhenItIsDamaged)
{
    WriteBytes(path, std::vector<uint8_t>(70, 1));
    model.rows.clear();
    model.reload(*catalogue, host, path.string(), English);
    EXPECT_EQ(host.messageBoxes, (std::vector<std::string>{"配置文件被破坏！"}));
    ASSERT_EQ(model.rows.size(), 2u);
    EXPECT_EQ(model.rows[1].cells[ChipRow::Name], "OLD2");
}

TEST(EditorFill, ListsDistinctNamesIgnoringCase)
{
    auto catalogue = std::make_unique<ChipCatalogue>();
    catalogue->ChipDatabase[0] = MakeRecord("F,A,X1");
    catalogue->ChipDatabase[1] = MakeRecord("f,a,x1");
    catalogue->ChipDatabase[2] = MakeRecord("LONE");
    ChipEditorModel model;
    model.fill(*catalogue);
    EXPECT_EQ(model.rows.size(), 3u);
    EXPECT_EQ(model.typeChoices, (std::vector<std::string>{"F", ""}));
    EXPECT_EQ(model.manufacturerChoices, (std::vector<std::string>{"A"}));
    EXPECT_EQ(model.nameChoices, (std::vector<std::string>{"X1", "LONE"}));
}

}  // namespace
