#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
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

// The grid starts empty with its three columns; the field keeps its text,
// selected, and takes the keys.
TEST_F(TForm3Test, ReopensWithAnEmptyGridKeepingItsTextAndTakesTheKeys)
{
    Type("JV");
    dialog.hide();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(dialog.columnCount(), 3);
    EXPECT_EQ(list()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog.findChild<QComboBox*>("ComboBox1")->currentText(), "JV");

    QTest::keyClicks(QApplication::focusWidget(), "AT24");
    EXPECT_EQ(dialog.findChild<QComboBox*>("ComboBox1")->currentText(), "AT24");
    ASSERT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(list()->topLevelItem(0)->text(2), "AT24C02");
}

struct CaptionCase {
    const char* name;
    int language;
    const char* title;
    const char* find;
    const char* manufacturer;
};

class TForm3Captions : public TForm3Test, public ::testing::WithParamInterface<CaptionCase> {};

// Each language starts from another one's captions, so every caption changes.
TEST_P(TForm3Captions, FollowTheLanguage)
{
    dialog.ApplyLanguage((GetParam().language + 1) % 3);
    workbench->languageIndex = GetParam().language;
    dialog.ApplyLanguage(GetParam().language);
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(GetParam().title));
    EXPECT_EQ(dialog.findChild<QLabel*>("Label1")->text(), QString::fromUtf8(GetParam().find));
    EXPECT_EQ(list()->headerItem()->text(1), QString::fromUtf8(GetParam().manufacturer));
    dialog.ApplyLanguage(7);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(GetParam().title)) << "an unknown language changes nothing";
}

INSTANTIATE_TEST_SUITE_P(Languages, TForm3Captions,
                         ::testing::Values(CaptionCase{"SimplifiedChinese", 0, "芯片选择", "查找", "厂商"},
                                           CaptionCase{"TraditionalChinese", 1, "芯片選擇", "查找", "廠商"},
                                           CaptionCase{"English", 2, "Chip Select", "Find", "Manufacturer"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
