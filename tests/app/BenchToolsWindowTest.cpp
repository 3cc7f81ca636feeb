#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <fstream>
#include <iterator>
#include <vector>

#include "BenchWindow.h"
#include "app/BenchMenu.h"
#include "app/CursorReadout.h"
#include "app/FileCommands.h"
#include "app/StatusRegisterDialog.h"
#include "buffers/ui/ChecksumDialog.h"
#include "buffers/ui/CompareDialog.h"
#include "buffers/ui/FindDialog.h"
#include "buffers/ui/GoToAddressDialog.h"
#include "hexview/HexView.h"
#include "ops/StatusRegister.h"
#include "support/MessageBoxCatcher.h"

namespace {

class BenchToolsWindowTest : public BenchWindow {
protected:
    // Rows naming their own address would be nice; a counting pattern does.
    void fillBuffer(TForm1& form)
    {
        uint8_t* flash = form.workbench().buffers.flash();
        for (uint32_t i = 0; i < ChipSize; ++i)
            flash[i] = uint8_t(i);
        std::memcpy(flash + 0x1F000, "NEEDLE", 6);
        std::memcpy(flash + 0x100, "NEEDLE", 6);
        form.host().flashBufferChanged(ChipSize);
    }
    void writeFile(const QString& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path(name).toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

TEST_F(BenchToolsWindowTest, CtrlGGoesToTheTypedAddress)
{
    TForm1& form = open();
    form.activateWindow();
    inNextDialog<GoToAddressDialog>([](GoToAddressDialog& dialog) {
        QTest::keyClicks(dialog.addressField(), "1fff0");
        QTest::keyClick(dialog.addressField(), Qt::Key_Return);
    });
    QTest::keyClick(form.ui.FlashEditor, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(form.ui.FlashEditor->cursorPosition(), 0x1FFF0u);
    const int row = 0x1FFF0 / 16;
    EXPECT_GE(row, form.ui.FlashEditor->firstVisibleRow());
    EXPECT_LT(row, form.ui.FlashEditor->firstVisibleRow() + form.ui.FlashEditor->visibleRowCount());
}

TEST_F(BenchToolsWindowTest, GoToPastTheEndIsRefused)
{
    TForm1& form = open();
    GoToAddressDialog& dialog = *form.Bench()->goToDialog();
    dialog.addressField()->setText("20000");
    MessageBoxCatcher boxes;
    dialog.accept();
    EXPECT_EQ(boxes.texts, QStringList{"The address 20000 lies outside the buffer (0 to 1FFFF)."});
}

TEST_F(BenchToolsWindowTest, FindForwardAndBackwardWithF3)
{
    TForm1& form = open();
    fillBuffer(form);
    form.activateWindow();
    inNextDialog<FindDialog>([](FindDialog& dialog) {
        dialog.textOption()->setChecked(true);
        QTest::keyClicks(dialog.patternField(), "NEEDLE");
        QTest::keyClick(dialog.patternField(), Qt::Key_Return);
    });
    QTest::keyClick(form.ui.FlashEditor, Qt::Key_F, Qt::ControlModifier);
    HexView& view = *form.ui.FlashEditor;
    EXPECT_EQ(view.selectionStart(), 0x100u);
    EXPECT_EQ(view.selectionEnd(), 0x106u);
    // The closed dialog hands the activation back to the window.
    QApplication::setActiveWindow(&form);
    settle();
    QTest::keyClick(form.ui.FlashEditor, Qt::Key_F3);
    EXPECT_EQ(view.selectionStart(), 0x1F000u);
    QTest::keyClick(form.ui.FlashEditor, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(view.selectionStart(), 0x100u);
    MessageBoxCatcher boxes;
    QTest::keyClick(form.ui.FlashEditor, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(boxes.texts, QStringList{"\"NEEDLE\" was not found."});
}

TEST_F(BenchToolsWindowTest, ReadoutShowsOffsetSelectionAndValues)
{
    TForm1& form = open();
    fillBuffer(form);
    HexView& view = *form.ui.FlashEditor;
    view.setCursorPosition(0x10);
    EXPECT_EQ(form.Bench()->readout()->text(),
              "Offset " + view.offsetText(0x10) +
                  "   Selection 0 bytes   8-bit 10   16-bit LE 1110 BE 1011   32-bit LE 13121110 BE 10111213");
    view.select(0x1FFFE, 2);
    view.setCursorPosition(0x1FFFF, true);
    EXPECT_EQ(form.Bench()->readout()->text(),
              "Offset " + view.offsetText(0x1FFFF) + "   Selection 1 bytes   8-bit FF   16-bit LE - BE -   32-bit LE - BE -");
}

TEST_F(BenchToolsWindowTest, ContextMenuCopiesAsCArrayAndRefusesHugeText)
{
    TForm1& form = open();
    fillBuffer(form);
    form.ui.FlashEditor->select(0x20, 3);
    form.Bench()->copyCArrayAction->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "const unsigned char data[3] = {\n    0x20, 0x21, 0x22\n};\n");
    form.Bench()->copyHexAction->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "20 21 22");

    form.ui.FlashEditor->load(form.workbench().buffers.flash(), 0x2000000);
    form.ui.FlashEditor->select(0, BenchMenu::LargestTextCopy + 1);
    MessageBoxCatcher boxes;
    form.Bench()->copyHexAction->trigger();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("The selection holds 16777217 bytes;"));
}

TEST_F(BenchToolsWindowTest, ChecksumsOverTheSelectionAndTheWholeBuffer)
{
    TForm1& form = open();
    std::memcpy(form.workbench().buffers.flash(), "123456789", 9);
    form.host().flashBufferChanged(ChipSize);
    form.ui.FlashEditor->select(0, 9);
    ChecksumDialog& dialog = *form.Bench()->checksumDialog();
    dialog.setSpan(ChecksumDialog::Span::Selection);
    ASSERT_TRUE(dialog.calculate());
    EXPECT_EQ(dialog.resultText(ChecksumDialog::Crc32), "CBF43926");
    EXPECT_EQ(dialog.resultText(ChecksumDialog::Crc16), "29B1");
    EXPECT_EQ(dialog.resultText(ChecksumDialog::Sha256),
              "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225");
    dialog.setSpan(ChecksumDialog::Span::Buffer);
    EXPECT_EQ(dialog.spanText(), "131072 bytes from 0 to 1FFFF");
}

// The sums run on a worker: the window's events go on meanwhile, and a
// cancel from them ends the run with no results shown.
TEST_F(BenchToolsWindowTest, ChecksumsCancelledWhileTheWorkerRunsShowNothing)
{
    TForm1& form = open();
    form.ui.FlashEditor->load(form.workbench().buffers.flash(), 0x2000000);
    ChecksumDialog& dialog = *form.Bench()->checksumDialog();
    dialog.setSpan(ChecksumDialog::Span::Buffer);
    bool eventsRan = false;
    QTimer::singleShot(0, &dialog, [&] {
        eventsRan = true;
        dialog.findChild<QProgressDialog*>()->cancel();
    });
    EXPECT_FALSE(dialog.calculate());
    EXPECT_TRUE(eventsRan);
    EXPECT_TRUE(dialog.resultText(ChecksumDialog::Crc32).isEmpty());
}

TEST_F(BenchToolsWindowTest, CompareListsRangesAndDoubleClickSelects)
{
    TForm1& form = open();
    fillBuffer(form);
    std::vector<uint8_t> file(form.workbench().buffers.flash(), form.workbench().buffers.flash() + ChipSize);
    file[0x40] ^= 1;
    file[0x41] ^= 1;
    file[0x1234] ^= 1;
    writeFile("other.bin", file);
    CompareDialog& dialog = *form.Bench()->compareDialog();
    ASSERT_TRUE(dialog.compareWith(path("other.bin").toStdString()));
    EXPECT_EQ(dialog.summaryText(), "other.bin: 2 differing ranges, 3 differing bytes.");
    ASSERT_EQ(dialog.rangeList()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.rangeList()->topLevelItem(1)->text(0), "1234");
    emit dialog.rangeList()->itemDoubleClicked(dialog.rangeList()->topLevelItem(1), 0);
    EXPECT_EQ(form.ui.FlashEditor->selectionStart(), 0x1234u);
    EXPECT_EQ(form.ui.FlashEditor->selectionEnd(), 0x1235u);
}

// The window shows the bits by name; a write needs the question's yes.
TEST_F(BenchToolsWindowTest, StatusRegisterShowsItsBitsAndWritesOnlyAfterYes)
{
    TForm1& form = open();
    belcor_sim_chip_set_status(0x1C);
    StatusRegisterDialog& dialog = *form.Bench()->statusRegisterDialog();
    ASSERT_TRUE(dialog.readRegister());
    QTableWidget& bits = *dialog.bitTable();
    EXPECT_EQ(bits.item(0, 1)->text(), "SRP");
    EXPECT_EQ(bits.item(3, 1)->text() + bits.item(3, 2)->text(), "BP21");
    EXPECT_EQ(bits.item(7, 1)->text() + bits.item(7, 2)->text(), "BUSY0");

    dialog.valueField()->setText("00");
    {
        MessageBoxCatcher boxes(QMessageBox::No);
        EXPECT_FALSE(dialog.writeRegister());
        EXPECT_EQ(boxes.texts, QStringList{"Write 0h into the status register? Protection bits that are set block "
                                           "programming and erasing."});
    }
    uint8_t status = 0;
    ASSERT_TRUE(RunReadStatusRegister(form.workbench(), form.host(), status));
    EXPECT_EQ(status, 0x1C);
    {
        MessageBoxCatcher boxes(QMessageBox::Yes);
        EXPECT_TRUE(dialog.writeRegister());
    }
    ASSERT_TRUE(RunReadStatusRegister(form.workbench(), form.host(), status));
    EXPECT_EQ(status, 0x00);
    EXPECT_EQ(bits.item(3, 2)->text(), "0");
}

TEST_F(BenchToolsWindowTest, DroppedFileOpensAsOpenDoesAndIsRememberedInBelcorsOwnFile)
{
    TForm1& form = open();
    writeFile("dropped.bin", {0xDE, 0xAD});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path("dropped.bin"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_EQ(form.workbench().buffers.flash()[1], 0xAD);
    EXPECT_EQ(form.workbench().buffers.dataLength, 2);
    EXPECT_TRUE(firstLogLine().startsWith("Open" + path("dropped.bin")));
    ASSERT_TRUE(form.close());
    window.reset();

    TForm1& again = open();
    const QList<QAction*> recent = again.Files()->recentMenu()->actions();
    ASSERT_EQ(recent.size(), 1);
    EXPECT_TRUE(recent[0]->text().endsWith(path("dropped.bin")));
    std::ifstream own(path("config/belcor/belcor.conf").toStdString());
    const std::string remembered{std::istreambuf_iterator<char>(own), {}};
    EXPECT_NE(remembered.find(path("dropped.bin").toStdString()), std::string::npos) << remembered;
    std::ifstream settings(settingsPath);
    const std::string text{std::istreambuf_iterator<char>(settings), {}};
    EXPECT_EQ(text.find("dropped"), std::string::npos) << text;
}

TEST_F(BenchToolsWindowTest, FunctionKeysRunTheOperations)
{
    TForm1& form = open();
    form.activateWindow();
    EXPECT_EQ(form.ui.R1->shortcut(), QKeySequence(Qt::Key_F4));
    QTest::keyClick(&form, Qt::Key_F4);
    EXPECT_TRUE(firstLogLine().startsWith("Read Complete! ("));
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_TRUE(firstLogLine().startsWith("Bank Complete! ("));
}

// Ctrl+Shift+S opens Save as on every desktop, and the menu shows the key.
TEST_F(BenchToolsWindowTest, CtrlShiftSOpensSaveAs)
{
    TForm1& form = open();
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    const auto* saveAs = form.findChild<QAction*>("SaveAs");
    ASSERT_NE(saveAs, nullptr);
    EXPECT_EQ(saveAs->shortcut().toString(), "Ctrl+Shift+S");
    bool asked = false;
    QTimer::singleShot(0, [&asked] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            asked = dialog->acceptMode() == QFileDialog::AcceptSave;
            dialog->reject();
        }
    });
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(asked);
}

}  // namespace
