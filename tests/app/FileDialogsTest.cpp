#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "BenchWindow.h"
#include "app/BenchMenu.h"
#include "app/CursorReadout.h"

namespace {

const QStringList SpecifiedOpenFilters = {"Binary (*.bin)", "Intel Hex(*.hex)", "Bios Rom (*.rom)",
                                          "Asus Rom (*.cap)", "All files (*.*)"};
const QStringList SpecifiedSaveFilters = {"Binary (*.bin)", "Intel Hex(*.hex)", "Bios Rom (*.rom)",
                                          "All files (*.*)"};

class FileDialogsTest : public BenchWindow {
protected:
    void writeImage(const QString& name) { std::ofstream(path(name).toStdString(), std::ios::binary) << "\x12\x34"; }
    QString readout() const { return window->Bench()->readout()->text(); }
};

// The dialogs hold exactly their own filters, in their order, and every Open
// starts at the first of them, whichever was chosen the time before.
TEST_F(FileDialogsTest, OpenStartsAtTheFirstSpecifiedFilterEveryTime)
{
    TForm1& form = open();
    writeImage("image.hex.bin");
    for (int time = 0; time < 2; ++time) {
        QStringList filters;
        QString preselected;
        inNextDialog<QFileDialog>([&](QFileDialog& dialog) {
            filters = dialog.nameFilters();
            preselected = dialog.selectedNameFilter();
            dialog.selectNameFilter("Intel Hex(*.hex)");
            dialog.selectFile(path("image.hex.bin"));
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        form.ui.ToolOpen->click();
        EXPECT_EQ(filters, SpecifiedOpenFilters);
        EXPECT_EQ(preselected, SpecifiedOpenFilters.first());
    }
}

// A name typed without extension becomes .hex, whatever filter is chosen.
TEST_F(FileDialogsTest, SaveAddsHexWhateverTheFilter)
{
    TForm1& form = open();
    QStringList filters;
    inNextDialog<QFileDialog>([&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        dialog.setDirectory(dir.path());
        dialog.selectNameFilter("Binary (*.bin)");
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "plain");
        QTest::keyClick(name, Qt::Key_Return);
    });
    form.ui.ToolSave->click();
    EXPECT_EQ(filters, SpecifiedSaveFilters);
    EXPECT_TRUE(QFile::exists(path("plain.hex")));
    EXPECT_FALSE(QFile::exists(path("plain.bin")));
}

// The caption is the language's text whatever the buffer holds; the line
// under the FLASH view names the file instead.
TEST_F(FileDialogsTest, CaptionStaysAndTheReadoutNamesTheFile)
{
    TForm1& form = open();
    const QString caption = form.windowTitle();
    EXPECT_EQ(caption, "BelcorU2 USB High Programmer");
    EXPECT_TRUE(readout().startsWith("Offset ")) << readout().toStdString();
    writeImage("image.bin");
    chooseFileInNextDialog(path("image.bin"));
    form.ui.ToolOpen->click();
    EXPECT_EQ(form.windowTitle(), caption);
    EXPECT_TRUE(readout().startsWith("File image.bin   Offset ")) << readout().toStdString();
    chooseFileInNextDialog(path("copy.bin"));
    form.ui.ToolSave->click();
    EXPECT_EQ(form.windowTitle(), caption);
    EXPECT_TRUE(readout().startsWith("File copy.bin   ")) << readout().toStdString();
}

}  // namespace
