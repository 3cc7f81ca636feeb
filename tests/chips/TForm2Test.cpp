#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <memory>

#include "ChipTestData.h"
#include "chips/ChipDatabaseFile.h"
#include "chips/ChipText.h"
#include "chips/ui/TForm2.h"
#include "ops/OwnedWorkbench.h"
#include "support/RecordingHost.h"

namespace {

class TForm2Test : public ::testing::Test {
protected:
    TForm2Test()
    {
        auto source = std::make_unique<ChipCatalogue>();
        source->ChipDatabase[0] = MakeRecord("SPI_FLASH,Winbond,W25Q64JV", 0x800000);
        ChipRecord microwire = MakeRecord("93_EEPROM,Microchip,93C66", 512, MicrowireEeprom93);
        microwire.algorithm = 89;
        microwire.flashPage = 2;
        source->ChipDatabase[1] = MakeRecord("24_EEPROM,Atmel,AT24C02", 256, I2cEeprom24);
        source->ChipDatabase[2] = microwire;
        EXPECT_EQ(ChipDatabaseFile::write(*source, 3, path.string()), "");
        dialog.setDatabasePath(path.string());
        dialog.show();
    }
    template <typename T>
    T* control(const char* name)
    {
        return dialog.findChild<T*>(name);
    }
    QTableWidget* grid() { return control<QTableWidget>("StringGrid1"); }

    ScratchFolder folder;
    std::filesystem::path path = folder.file("belcor.Dat");
    std::unique_ptr<OwnedWorkbench> workbench = std::make_unique<OwnedWorkbench>();
    RecordingHost host;
    TForm2 dialog{*workbench, host, nullptr};
};

TEST_F(TForm2Test, ShowLoadsTheFileIntoTheGridAndTheNameLists)
{
    EXPECT_EQ(workbench->catalogue.recordCount(), 3);
    ASSERT_EQ(grid()->rowCount(), 3);
    EXPECT_EQ(grid()->horizontalHeaderItem(0)->text(), "芯片类型");
    EXPECT_EQ(grid()->columnWidth(2), 75);
    EXPECT_EQ(grid()->columnWidth(3), 60);
    EXPECT_EQ(grid()->item(0, 3)->text(), "0x0");
    EXPECT_EQ(grid()->item(2, 7)->text(), "89");
    EXPECT_EQ(control<QComboBox>("ComboBox1")->currentText(), "SPI_FLASH");
    EXPECT_EQ(control<QComboBox>("ComboBox3")->count(), 3);
}

TEST_F(TForm2Test, ControlsStartInTheirFirstState)
{
    EXPECT_EQ(control<QLineEdit>("Edit1")->text(), "100");
    EXPECT_EQ(control<QComboBox>("ComboBox4")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("ComboBox4")->placeholderText(), "25 flash 系列");
    EXPECT_EQ(control<QComboBox>("ComboBox8")->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>("ComboBox8")->itemText(3), "SST 大于16M bytes");
    EXPECT_EQ(control<QComboBox>("ComboBox5")->currentText(), "64B");
    EXPECT_EQ(control<QComboBox>("ComboBox10")->currentText(), "2B");
    EXPECT_EQ(control<QComboBox>("ComboBox11")->currentText(), "4");
    EXPECT_EQ(control<QComboBox>("ComboBox12")->currentText(), "0");
    EXPECT_EQ(control<QComboBox>("ComboBox9")->currentText(), "0");
}

TEST_F(TForm2Test, DoubleClickCopiesTheRowAndEditStoresItUnchanged)
{
    grid()->setCurrentCell(2, 0);
    emit grid()->cellDoubleClicked(2, 0);
    EXPECT_EQ(control<QComboBox>("ComboBox4")->currentText(), "93 eeprom 系列");
    EXPECT_EQ(control<QComboBox>("ComboBox8")->currentText(), "93C66 16 BITS");
    EXPECT_EQ(control<QComboBox>("ComboBox5")->currentText(), "512B");
    EXPECT_EQ(control<QComboBox>("ComboBox3")->currentText(), "93C66");

    control<QPushButton>("BtnEdit")->click();
    EXPECT_EQ(grid()->item(2, 7)->text(), "89");
}

TEST_F(TForm2Test, AddAndSaveWriteTheTableAndFile)
{
    control<QComboBox>("ComboBox3")->setEditText("W25Q128JV");
    control<QComboBox>("ComboBox4")->setCurrentIndex(0);
    emit control<QComboBox>("ComboBox4")->activated(0);
    control<QComboBox>("ComboBox5")->setCurrentIndex(18);
    control<QPushButton>("BtnAdd")->click();
    ASSERT_EQ(grid()->rowCount(), 4);
    EXPECT_EQ(grid()->currentRow(), 3);
    EXPECT_EQ(grid()->item(3, 4)->text(), "16777216");

    control<QPushButton>("BtnSave")->click();
    EXPECT_TRUE(host.errorBoxes.empty());
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(ReadBytes(path).size(), 68u * 5);
    EXPECT_EQ(ChipText::titleBytes(workbench->catalogue.ChipDatabase[3]), "SPI_FLASH,Winbond,W25Q128JV");
}

// A run reads the records on other threads and a locked job programs its
// chip: the editor's Save is refused meanwhile, table and file untouched.
class SaveWhileHeld : public TForm2Test, public testing::WithParamInterface<bool> {};

TEST_P(SaveWhileHeld, LeavesTableAndFileAsTheyWere)
{
    (GetParam() ? workbench->busy : workbench->jobLocked) = true;
    const std::vector<uint8_t> before = ReadBytes(path);
    grid()->setCurrentCell(0, 0);
    control<QPushButton>("BtnDelete")->click();
    control<QPushButton>("BtnSave")->click();
    EXPECT_EQ(host.beepCount, 1);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ChipText::titleBytes(workbench->catalogue.ChipDatabase[0]), "SPI_FLASH,Winbond,W25Q64JV");
}

INSTANTIATE_TEST_SUITE_P(Holds, SaveWhileHeld, testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Run" : "LockedJob"); });

TEST_F(TForm2Test, CaptionsFollowTheLanguage)
{
    dialog.ApplyLanguage(2);
    EXPECT_EQ(dialog.windowTitle(), "Chip Editor");
    EXPECT_EQ(control<QPushButton>("BtnExit")->text(), "Quit");
    EXPECT_EQ(dialog.findChild<QWidget*>("Label13")->property("text").toString(), "Extend");
    EXPECT_EQ(grid()->horizontalHeaderItem(1)->text(), "芯片厂家");
}

}  // namespace
