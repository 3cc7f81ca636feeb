#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>

#include "ChipTestData.h"
#include "support/RecordingHost.h"
#include "chips/ui/TForm3.h"
#include "ops/SelectChip.h"
#include "ops/OwnedWorkbench.h"

namespace {

class TForm3Test : public ::testing::Test {
protected:
    TForm3Test()
    {
        ChipCatalogue& catalogue = workbench->catalogue;
        catalogue.ChipDatabase[0] = MakeRecord("SPI_FLASH,Winbond,W25Q64JV");
        catalogue.ChipDatabase[1] = MakeRecord("SPI_FLASH,Winbond,W25Q32JV");
        catalogue.ChipDatabase[2] = MakeRecord("24_EEPROM,Atmel,AT24C02", 256, I2cEeprom24);
        SelectChip(*workbench, host, 0, 0, 0);
        workbench->languageIndex = 2;
        dialog.show();
    }
    QTreeWidget* list() { return dialog.findChild<QTreeWidget*>("ListView1"); }
    void Type(const QString& text) { dialog.findChild<QComboBox*>("ComboBox1")->setEditText(text); }
    void ClickSelect() { dialog.findChild<QPushButton*>("BitBtn1")->click(); }

    std::unique_ptr<OwnedWorkbench> workbench = std::make_unique<OwnedWorkbench>();
    RecordingHost host;
    TForm3 dialog{*workbench, host, nullptr};
};

TEST_F(TForm3Test, TypingListsTheMatchesWithTheirSlots)
{
    EXPECT_EQ(dialog.columnCount(), 3);
    EXPECT_EQ(list()->headerItem()->text(1), "Manufacturer");
    Type("JV");
    EXPECT_EQ(dialog.columnCount(), 4);
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_EQ(list()->topLevelItem(1)->text(2), "W25Q32JV");
    EXPECT_EQ(list()->topLevelItem(1)->text(3), "1");
    EXPECT_EQ(list()->columnWidth(3), 1);
    Type(" ");
    EXPECT_EQ(list()->topLevelItemCount(), 0);
}

TEST_F(TForm3Test, SelectWithoutARowKeepsTheDialogOpen)
{
    Type("AT24");
    ClickSelect();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(workbench->catalogue.currentChip, 0);
}

TEST_F(TForm3Test, SelectingARowSelectsTheChipAndCloses)
{
    Type("AT24");
    list()->setCurrentItem(list()->topLevelItem(0));
    ClickSelect();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(workbench->catalogue.currentChip, 2);
    EXPECT_EQ(workbench->catalogue.typeList.position, 1);
}

TEST_F(TForm3Test, CaptionsFollowTheLanguage)
{
    dialog.ApplyLanguage(2);
    EXPECT_EQ(dialog.windowTitle(), "Chip Select");
    EXPECT_EQ(dialog.findChild<QLabel*>("Label1")->text(), "Find");
    dialog.ApplyLanguage(7);
    EXPECT_EQ(dialog.windowTitle(), "Chip Select");
}

}  // namespace
