// The technician's whole day through the real main window against the
// simulator: every click goes through the window's handlers, its WindowHost
// and real (short) waits, as in the application.
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <vector>

#include "support/MessageBoxCatcher.h"
#include "core/MessageCatalogue.h"
#include "app/PanelStatusBar.h"
#include "app/TForm1.h"
#include "app/WindowHost.h"
#include "hexview/HexView.h"
#include "link/CommandBlock.h"
#include "maint/SimulatorLibrary.h"
#include "ops/ElapsedText.h"

#include "BenchWindow.h"
#include "Screenshots.h"

namespace {

// The first chip of the shipped database, selected at a first start, with
// rows naming their own address, a quick erase and instant transfers.
constexpr const char* Scenario =
    "chip class=0 id=0x373011 size=131072 page=256\n"
    "contents pattern\n"
    "erase_time_ms 60\n"
    "transfer_rate 0\n";

class TechnicianFlowTest : public BenchWindow {
protected:
    void SetUp() override
    {
        BenchWindow::SetUp();
        open(2, Scenario);
        waitUntil([this] { return state() == "Connected"; });
    }

    QString state() const { return window->ui.StatusBar1->panelText(1); }
    QStringList logLines() const { return window->ui.RichEdit1->toPlainText().split('\n'); }
    int logLinesStartingWith(const QString& text) const
    {
        int count = 0;
        for (const QString& line : logLines())
            count += line.startsWith(text) ? 1 : 0;
        return count;
    }

    std::vector<uint8_t> flashBuffer(uint32_t count = ChipSize)
    {
        const uint8_t* flash = window->workbench().buffers.flash();
        return std::vector<uint8_t>(flash, flash + count);
    }
};

TEST_F(TechnicianFlowTest, DetectReadEditWriteVerifyAutoAndThreeChipsInBatchMode)
{
    TForm1& form = *window;
    EXPECT_TRUE(firstLogLine().startsWith(
        QString::fromStdString(MessageCatalogue::text(Msg::ProgrammerFound, English)) + " ("));

    {
        MessageBoxCatcher boxes;
        form.ui.BitBtn1->click();
        EXPECT_EQ(boxes.texts, QStringList{"The chip was detected:A25L010\n\n Chip typeSPI_FLASH"});
    }
    EXPECT_EQ(form.ui.ComboBox3->currentText(), "A25L010");
    EXPECT_EQ(form.ui.Edit1->text(), "131072");
    EXPECT_EQ(form.ui.Edit4->text(), "1FFFF");
    EXPECT_FALSE(form.ui.Image1->pixmap().isNull());

    form.ui.ToolRead->click();
    EXPECT_TRUE(firstLogLine().startsWith("Read Complete! ("));
    EXPECT_EQ(state(), "Connected");
    EXPECT_EQ(form.ui.StatusBar1->panelText(3), "00:00:00");
    EXPECT_FALSE(form.ui.Progress->isVisible());
    EXPECT_EQ(flashBuffer(), chipContents());
    EXPECT_EQ(form.workbench().buffers.dataLength, int32_t(ChipSize));
    ASSERT_EQ(form.ui.FlashEditor->byteCount(), ChipSize);
    EXPECT_EQ(form.ui.FlashEditor->byteAt(0x25), chipContents()[0x25]);

    // The row at 0x20 reads "00000020 ..."; programming without an erase can
    // only clear bits, so 0x30 ('0') becomes 0x10.
    form.ui.FlashEditor->setCursorPosition(0x20);
    form.ui.FlashEditor->typeHexDigit(0x1);
    form.ui.FlashEditor->typeHexDigit(0x0);
    EXPECT_TRUE(form.ui.FlashEditor->isModified());
    EXPECT_EQ(form.workbench().buffers.flash()[0x20], 0x30) << "the buffer takes the edit only at Write";

    form.ui.ToolWrite->click();
    EXPECT_TRUE(firstLogLine().startsWith("Write Complete! ("));
    EXPECT_FALSE(form.ui.FlashEditor->isModified());
    EXPECT_EQ(form.workbench().buffers.flash()[0x20], 0x10);
    EXPECT_EQ(chipContents()[0x20], 0x10);
    EXPECT_EQ(flashBuffer(), chipContents());

    form.ui.ToolVerify->click();
    EXPECT_TRUE(firstLogLine().startsWith("Verify Complete! ("));

    // AUTO from a changed buffer: the erase lets the new bits in.
    form.ui.FlashEditor->setCursorPosition(0x40);
    form.ui.FlashEditor->typeHexDigit(0xC);
    form.ui.FlashEditor->typeHexDigit(0x3);
    form.ui.ToolAuto->click();
    EXPECT_TRUE(firstLogLine().startsWith("AUTO Complete! ("));
    EXPECT_EQ(chipContents()[0x40], 0xC3);
    EXPECT_EQ(flashBuffer(), chipContents());
    EXPECT_EQ(state(), "Connected");

    // Production: the feeder takes each programmed chip out and seats a blank one.
    belcor_sim_set_feeder(1, 100);
    int stopAfter = logLinesStartingWith("AUTO Complete!") + 3;
    bool controlsOffDuringBatch = false;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!form.ui.ToolRead->isEnabled() && !form.ui.ComboBox1->isEnabled() && form.ui.ToolBulk->isEnabled()
            && form.ui.ToolBulk->text() == "STOP")
            controlsOffDuringBatch = true;
        if (logLinesStartingWith("AUTO Complete!") == stopAfter && form.ui.ToolBulk->isChecked())
            form.ui.ToolBulk->click();
    });
    watch.start();
    QTimer::singleShot(15000, &form, [&form] {
        ADD_FAILURE() << "batch mode did not program three chips";
        form.ui.ToolBulk->click();
    });
    form.ui.ToolBulk->click();  // returns when STOP has ended the loop
    watch.stop();

    EXPECT_TRUE(controlsOffDuringBatch);
    EXPECT_EQ(logLinesStartingWith("AUTO Complete!"), stopAfter);
    EXPECT_GE(belcor_sim_feeder_done_count(), 2u) << "two fresh chips after the one already seated";
    EXPECT_EQ(form.ui.ToolBulk->text(), "BULK");
    EXPECT_FALSE(form.ui.ToolBulk->isChecked());
    EXPECT_TRUE(form.ui.ToolRead->isEnabled());
    EXPECT_TRUE(form.ui.ComboBox1->isEnabled());
    EXPECT_FALSE(form.ui.Edit3->isEnabled()) << "the range fields follow their check box again";
}

TEST_F(TechnicianFlowTest, SecondCommandDuringAnOperationIsRefused)
{
    TForm1& form = *window;
    // A read slow enough for clicks to arrive while it runs.
    belcor_sim_set_transfer_rate(200);
    const QString chip = form.ui.ComboBox3->currentText();
    ASSERT_GT(form.ui.ComboBox1->count(), 1);
    ASSERT_GT(form.ui.ComboBox3->count(), 1);
    QTimer::singleShot(50, &form, [&form] {
        EXPECT_TRUE(form.ui.Progress->isVisible());
        form.ui.ToolErase->click();
        form.ui.ToolRead->click();
        // Another type and another chip picked from the keyboard.
        QTest::keyClick(form.ui.ComboBox1, Qt::Key_Down);
        QTest::keyClick(form.ui.ComboBox3, Qt::Key_Down);
        form.ui.ToolBulk->click();
    });
    form.ui.ToolRead->click();
    EXPECT_EQ(logLinesStartingWith("Read Complete!"), 1);
    EXPECT_EQ(logLinesStartingWith("Erase Complete!"), 0);
    EXPECT_EQ(form.ui.ComboBox1->currentIndex(), 0) << "no chip selection under a running read";
    EXPECT_EQ(form.ui.ComboBox3->currentText(), chip) << "the lists show the chip that stays selected";
    EXPECT_EQ(form.workbench().catalogue.currentChip, 0);
    EXPECT_FALSE(form.ui.ToolBulk->isChecked()) << "batch mode does not start under a running read";
    EXPECT_EQ(form.ui.ToolBulk->text(), "BULK");
    EXPECT_TRUE(form.ui.ToolRead->isEnabled());
    EXPECT_EQ(flashBuffer(), chipContents());
}

// STOP clicked while batch mode waits after the fifth query, the one before
// the query that would start Auto: no chip is touched afterwards.
TEST_F(TechnicianFlowTest, StopBetweenQueriesTouchesNoChip)
{
    TForm1& form = *window;
    form.ui.ToolRead->click();  // data for Auto to program
    belcor_sim_set_transcript_enabled(1);
    belcor_sim_transcript_clear();
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!form.workbench().busy && commands(CommandBlock::Identify).size() == 5 && form.ui.ToolBulk->isChecked())
            QTest::mouseClick(form.ui.ToolBulk, Qt::LeftButton);
    });
    watch.start();
    QTimer::singleShot(5000, &form, [&form] { form.ui.ToolBulk->setChecked(false); });
    QTest::mouseClick(form.ui.ToolBulk, Qt::LeftButton);  // returns when the loop has ended
    watch.stop();

    EXPECT_EQ(commands(CommandBlock::Identify).size(), 5u);
    EXPECT_TRUE(commands(CommandBlock::BeginSession).empty());
    EXPECT_EQ(form.ui.ToolBulk->text(), "BULK");
    EXPECT_TRUE(form.ui.ToolRead->isEnabled());
}

TEST_F(TechnicianFlowTest, VerifyMismatchLeavesTheBarsAtTheLastBlockThatMatched)
{
    TForm1& form = *window;
    form.ui.ToolRead->click();
    const uint8_t changed = 0x00;
    belcor_sim_chip_write(0x10005, &changed, 1);

    MessageBoxCatcher boxes;
    form.ui.ToolVerify->click();
    EXPECT_EQ(boxes.texts, QStringList{"Flash check error address:10005h"});
    EXPECT_TRUE(firstLogLine().startsWith("Read Complete! ("));
    EXPECT_TRUE(form.ui.Progress->isVisible());
    EXPECT_EQ(form.ui.Progress->value(), 0xFF00);
    EXPECT_EQ(form.ui.Progress2->value(), 0xFF00);
}

// The bars may tell the time left while the verify runs; once it has failed
// they stay at the last block that matched, without a time, and the time
// panel keeps the operation's own time.
TEST_F(TechnicianFlowTest, FailedVerifyLeavesBarsAndTimePanelStill)
{
    TForm1& form = *window;
    form.ui.ToolRead->click();
    const uint8_t changed = 0x00;
    belcor_sim_chip_write(0x1F005, &changed, 1);
    belcor_sim_set_transfer_rate(64);
    bool timeLeftShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &form, [&] { timeLeftShown |= form.ui.Progress->isTextVisible(); });
    watch.start(20);
    MessageBoxCatcher boxes;
    form.ui.ToolVerify->click();
    watch.stop();

    ASSERT_EQ(boxes.texts, QStringList{"Flash check error address:1F005h"});
    EXPECT_TRUE(timeLeftShown);
    EXPECT_TRUE(form.ui.Progress->isVisible());
    EXPECT_EQ(form.ui.Progress->value(), 0x1EF00);
    EXPECT_EQ(form.ui.Progress2->value(), 0x1EF00);
    EXPECT_FALSE(form.ui.Progress->isTextVisible());
    const Workbench& bench = form.workbench();
    EXPECT_EQ(form.ui.StatusBar1->panelText(3).toStdString(), ElapsedText(bench.endMs - bench.startMs));
    for (const QTimer* timer : form.findChildren<QTimer*>())
        EXPECT_FALSE(timer->isActive() && timer->interval() == WindowHost::TickIntervalMs);
}

// A polled erase ends when the chip says so; its bars tell what remains of
// the time the chip is allowed, from the start, not an estimate from a rate.
class EraseAllowanceTest : public TechnicianFlowTest, public testing::WithParamInterface<int> {};

TEST_P(EraseAllowanceTest, BarsShowTheAllowanceLeft)
{
    TForm1& form = *window;
    void (TForm1::*const languages[])() = {&TForm1::ChinaClick, &TForm1::fantiClick, &TForm1::EnlishClick};
    (form.*languages[GetParam()])();
    belcor_sim_set_erase_time_ms(1500);
    const int64_t allowanceMs = int64_t{form.workbench().catalogue.currentRecord().delay} * 50;
    // The first text the bar shows during the erase.
    QString shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &form, [&] {
        if (!shown.isEmpty() || !form.ui.Progress->isTextVisible())
            return;
        shown = form.ui.Progress->format();
        if (const QString folder = screenshotFolder(); !folder.isEmpty())
            form.grab().save(folder + "/erase-allowance" + languageSuffix(GetParam()) + ".png");
    });
    watch.start(20);
    form.ui.ToolErase->click();
    const QString pattern = QString::fromStdString(
        MessageCatalogue::format(Msg::EraseAllowanceLeft, GetParam(), {"(\\d\\d):(\\d\\d):(\\d\\d)"}));
    const QRegularExpressionMatch time = QRegularExpression("^" + pattern + "$").match(shown);
    ASSERT_TRUE(time.hasMatch()) << shown.toStdString();
    const int64_t leftMs = (time.captured(1).toInt() * 3600 + time.captured(2).toInt() * 60 + time.captured(3).toInt()) * 1000;
    EXPECT_LE(leftMs, allowanceMs);
    EXPECT_GE(leftMs, allowanceMs - 1500);
}

INSTANTIATE_TEST_SUITE_P(Languages, EraseAllowanceTest, testing::Values(0, 1, 2));

TEST_F(TechnicianFlowTest, ProgrammerReplugDuringAReadIsShownOnceTheReadEnds)
{
    TForm1& form = *window;
    belcor_sim_set_transfer_rate(200);
    QTimer::singleShot(50, &form, [this] {
        simulator->setPlugged(false);
        simulator->setPlugged(true);
    });
    MessageBoxCatcher boxes;
    form.ui.ToolRead->click();
    EXPECT_EQ(boxes.texts.size(), 1) << "the lost link is reported";
    EXPECT_EQ(state(), "Connected") << "the programmer is back";
}

TEST_F(TechnicianFlowTest, ClosingDuringABatchAutoRunFinishesTheChipThenCloses)
{
    TForm1& form = *window;
    form.ui.ToolRead->click();
    bool closeRefused = false;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (state() == "Write Flash ..." && !closeRefused)
            closeRefused = !form.close();
    });
    watch.start();
    QTimer::singleShot(10000, &form, [&form] { form.ui.ToolBulk->setChecked(false); });
    form.ui.ToolBulk->click();
    watch.stop();

    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(firstLogLine().startsWith("AUTO Complete! ("));
    EXPECT_FALSE(form.ui.ToolBulk->isChecked());
    waitUntil([&form] { return !form.isVisible(); }, 1000);
}

TEST_F(TechnicianFlowTest, ClosingDuringAnOperationClosesWhenItEnds)
{
    TForm1& form = *window;
    belcor_sim_set_transfer_rate(200);
    QTimer::singleShot(50, &form, [&form] { EXPECT_FALSE(form.close()); });
    form.ui.ToolRead->click();
    EXPECT_TRUE(firstLogLine().startsWith("Read Complete! ("));
    waitUntil([&form] { return !form.isVisible(); }, 1000);
    EXPECT_EQ(state(), "Connected");
}

}  // namespace
