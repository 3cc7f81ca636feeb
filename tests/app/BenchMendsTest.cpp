#include <QMessageBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <fstream>
#include <iterator>

#include "BenchWindow.h"
#include "hexview/HexView.h"
#include "support/MessageBoxCatcher.h"

namespace {

class BenchMendsTest : public BenchWindow {
protected:
    // Open, the file chosen in its dialog: two bytes into the FLASH buffer.
    void openImage(TForm1& form)
    {
        std::ofstream(path("image.bin").toStdString(), std::ios::binary) << "\x12\x34";
        chooseFileInNextDialog(path("image.bin"));
        form.ui.ToolOpen->click();
    }
};

std::string readFile(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(BenchMendsTest, TypedBytesReachVerifyAndSave)
{
    TForm1& form = open();
    form.ui.FlashEditor->setFocus();
    typeKeys(form.ui.FlashEditor, "AA");
    ASSERT_EQ(form.ui.FlashEditor->byteAt(0), 0xAA);
    {
        MessageBoxCatcher boxes;
        form.ui.ToolVerify->click();
        EXPECT_EQ(boxes.texts, QStringList{"Flash check error address:0h"});
    }
    chooseFileInNextDialog(path("typed.bin"));
    form.ui.ToolSave->click();
    const std::string saved = readFile(path("typed.bin"));
    ASSERT_EQ(saved.size(), ChipSize);
    EXPECT_EQ(uint8_t(saved[0]), 0xAA);
}

TEST_F(BenchMendsTest, AnotherMakerWithEditsAsksAndNoKeepsEverything)
{
    TForm1& form = open();
    form.ui.FlashEditor->setFocus();
    typeKeys(form.ui.FlashEditor, "5A");
    MessageBoxCatcher no(QMessageBox::No);
    form.ui.ComboBox2->setFocus();
    QTest::keyClick(form.ui.ComboBox2, Qt::Key_Down);
    ASSERT_EQ(no.texts.size(), 1);
    EXPECT_TRUE(no.texts[0].startsWith("The buffer holds bytes typed in that were neither written to a chip nor "
                                       "saved. "));
    EXPECT_EQ(form.ui.ComboBox2->currentText(), "AMIC");
    EXPECT_EQ(form.ui.ComboBox3->currentText(), "A25L010");
    EXPECT_EQ(form.ui.FlashEditor->byteAt(0), 0x5A);
}

TEST_F(BenchMendsTest, ClosingWithEditsAsksFirst)
{
    TForm1& form = open();
    form.ui.FlashEditor->setFocus();
    typeKeys(form.ui.FlashEditor, "00");
    {
        MessageBoxCatcher no(QMessageBox::No);
        EXPECT_FALSE(form.close());
        EXPECT_EQ(no.texts, QStringList{"The buffer holds bytes typed in that were neither written to a chip nor "
                                        "saved. Close anyway and discard them?"});
    }
    EXPECT_TRUE(form.isVisible());
    MessageBoxCatcher yes(QMessageBox::Yes);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(yes.texts.size(), 1);
}

TEST_F(BenchMendsTest, ClosingWithALoadedFileAsksNothing)
{
    TForm1& form = open();
    openImage(form);
    MessageBoxCatcher boxes;
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(boxes.texts.isEmpty());
}

struct ReselectCase {
    const char* name;
    void (*select)(TForm1& form);
    QStringList boxes;
};

class SameChipAgain : public BenchMendsTest, public testing::WithParamInterface<ReselectCase> {};

// Choosing the chip already selected resets the buffer too: a loaded file is
// still on disk, so nothing asks.
TEST_P(SameChipAgain, DiscardsTheLoadedFileWithoutAQuestion)
{
    TForm1& form = open();
    openImage(form);
    ASSERT_EQ(form.workbench().buffers.dataLength, 2);
    MessageBoxCatcher boxes;
    GetParam().select(form);
    EXPECT_EQ(boxes.texts, GetParam().boxes);
    EXPECT_EQ(form.ui.ComboBox3->currentText(), "A25L010");
    EXPECT_EQ(form.workbench().buffers.dataLength, 0);
    EXPECT_EQ(form.ui.FlashEditor->byteAt(0), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SameChipAgain,
    testing::Values(ReselectCase{"Detect", [](TForm1& form) { form.ui.BitBtn1->click(); },
                                 {"The chip was detected:A25L010\n\n Chip typeSPI_FLASH"}},
                    ReselectCase{"Search",
                                 [](TForm1& form) {
                                     inNextDialog<QDialog>([](QDialog& dialog) {
                                         QTest::keyClicks(dialog.findChild<QComboBox*>("ComboBox1")->lineEdit(), "A25L010");
                                         auto* list = dialog.findChild<QTreeWidget*>("ListView1");
                                         const auto rows = list->findItems("A25L010", Qt::MatchExactly, 2);
                                         ASSERT_FALSE(rows.isEmpty());
                                         list->setCurrentItem(rows.first());
                                         QTest::mouseClick(dialog.findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
                                     });
                                     form.ui.BitBtn2->click();
                                 },
                                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The user's pick of a compatible record stands: no question before changing it.
TEST_F(BenchMendsTest, OtherSerialFlashIsErasedWithoutAQuestion)
{
    TForm1& form = open();
    belcor_sim_chip chip{0, 0xEF4018, ChipSize, 256};
    ASSERT_EQ(belcor_sim_seat_chip(&chip), 0);
    MessageBoxCatcher boxes;
    form.ui.ToolErase->click();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join("|").toStdString();
    EXPECT_TRUE(firstLogLine().startsWith("Erase Complete! ("));
}

TEST_F(BenchMendsTest, EmptySocketIsRefusedInTheWindow)
{
    TForm1& form = open(2, "transfer_rate 0\n");
    MessageBoxCatcher boxes;
    form.ui.ToolRead->click();
    EXPECT_EQ(boxes.texts, QStringList{"No chip in the socket"});
    EXPECT_FALSE(firstLogLine().startsWith("Read Complete!"));
}

TEST_F(BenchMendsTest, UnplugMidReadResetsTheBarsAndLogs)
{
    TForm1& form = open();
    belcor_sim_inject_fault(BELCOR_SIM_UNPLUG, 40);
    MessageBoxCatcher boxes;
    form.ui.ToolRead->click();
    EXPECT_EQ(boxes.texts, QStringList{"The programmer was disconnected during the read."});
    EXPECT_TRUE(firstLogLine().startsWith("The programmer was disconnected during the read. ("));
    EXPECT_EQ(form.ui.Progress->value(), 0);
    EXPECT_EQ(form.ui.Progress2->value(), 0);
}

}  // namespace
