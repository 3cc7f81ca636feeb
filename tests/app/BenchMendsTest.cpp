#include <QMessageBox>
#include <QComboBox>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <iterator>

#include "BenchWindow.h"
#include "hexview/HexView.h"
#include "support/MessageBoxCatcher.h"

namespace {

class BenchMendsTest : public BenchWindow {};

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
    EXPECT_TRUE(no.texts[0].startsWith("The buffer holds data that was not written to a chip or saved. "));
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
        EXPECT_EQ(no.texts, QStringList{"The buffer holds data that was not written to a chip or saved. "
                                        "Close anyway and discard it?"});
    }
    EXPECT_TRUE(form.isVisible());
    MessageBoxCatcher yes(QMessageBox::Yes);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(yes.texts.size(), 1);
}

TEST_F(BenchMendsTest, ClosingWithNothingUnsavedAsksNothing)
{
    TForm1& form = open();
    MessageBoxCatcher boxes;
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(boxes.texts.isEmpty());
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
