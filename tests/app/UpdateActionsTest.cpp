#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <fstream>

#include <gtest/gtest.h>

#include "app/PanelStatusBar.h"
#include "app/TForm1.h"
#include "buffers/BufferSet.h"
#include "core/MessageCatalogue.h"
#include "maint/SimulatorLibrary.h"
#include "support/MessageBoxCatcher.h"

#include "BenchWindow.h"
#include "Screenshots.h"
#include "support/CaseName.h"

namespace {

// The Operation menu's Update, clicked in each language, on the first chip of
// the shipped database seated holding an image file through the scenario's
// "contents file=". With BELCOR_SCREENSHOT_DIR set, the menu and the window
// after the run are saved there as update-menu-<language>.png and
// update-window-<language>.png.
class UpdateActionsTest : public BenchWindow, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        BenchWindow::SetUp();
        image.resize(ChipSize);
        for (uint32_t i = 0; i < ChipSize; ++i)
            image[i] = uint8_t(i * 13 + i / 4096);
        std::ofstream(path("old.bin").toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), ChipSize);
        open(GetParam(), "chip class=0 id=0x373011 size=131072 page=256\n"
                         "contents file=old.bin\n"
                         "erase_time_ms 60\n");
        waitUntil([this] { return window->ui.StatusBar1->panelText(1) == text(Msg::Connected); });
    }

    QString text(Msg message) const { return QString::fromStdString(MessageCatalogue::text(message, GetParam())); }

    void save(QWidget& widget, const QString& name) const
    {
        if (const QString folder = screenshotFolder(); !folder.isEmpty())
            widget.grab().save(folder + "/" + name + languageSuffix(GetParam()) + ".png");
    }

    std::vector<uint8_t> image;
};

TEST_P(UpdateActionsTest, ClickingUpdateChangesOnlyWhatDiffers)
{
    std::vector<uint8_t> wanted = image;
    wanted[0x1234] &= 0x0F;  // programming alone
    wanted[0x9000] = 0xFF;   // erase needed
    Workbench& workbench = window->workbench();
    std::copy(wanted.begin(), wanted.end(), workbench.buffers.flash());
    workbench.buffers.dataLength = ChipSize;
    window->host().flashBufferChanged(ChipSize);

    QMenu& menu = *window->ui.O3;
    QAction* update = menu.findChild<QAction*>("UpdateItem");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->text(), text(Msg::UpdateMenuItem));
    menu.popup(window->mapToGlobal(QPoint(0, 0)));
    waitUntil([&] { return menu.isVisible(); });
    save(menu, "update-menu");
    MessageBoxCatcher boxes;
    const QPointF point = menu.actionGeometry(update).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, point, menu.mapToGlobal(point), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&menu, &click);
    }

    const QString done = text(Msg::UpdateDoneSectors).arg(30).arg(1).arg(1);
    waitUntil([&] { return window->ui.RichEdit1->document()->firstBlock().text().startsWith(done); });
    EXPECT_TRUE(window->ui.RichEdit1->document()->firstBlock().text().startsWith(done))
        << window->ui.RichEdit1->toPlainText().toStdString();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
    EXPECT_TRUE(chipContents() == wanted);
    save(*window, "update-window");
}

INSTANTIATE_TEST_SUITE_P(Languages, UpdateActionsTest, testing::Values(0, 1, 2),
                         [](const auto& info) { return LanguageCaseName(info.param); });

}  // namespace
