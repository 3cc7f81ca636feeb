#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "app/PanelStatusBar.h"
#include "app/TForm1.h"
#include "buffers/BufferSet.h"
#include "core/MessageCatalogue.h"
#include "maint/SimulatorLibrary.h"
#include "support/MessageBoxCatcher.h"
#include "support/SimulatorFixture.h"

namespace {

// The first chip of the shipped database, seated holding an image file
// through the scenario's "contents file=".
constexpr uint32_t ChipSize = 0x20000;

std::vector<uint8_t> chipContents()
{
    std::vector<uint8_t> contents(ChipSize);
    belcor_sim_chip_read(0, contents.data(), ChipSize);
    return contents;
}

void waitUntil(const std::function<bool()>& done, int limitMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The Operation menu's Update, clicked in each language. With
// BELCOR_SCREENSHOT_DIR set, the menu and the window after the run are saved
// there as update-menu-<language>.png and update-window-<language>.png.
class UpdateActionsTest : public SimulatorFixture, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        image.resize(ChipSize);
        for (uint32_t i = 0; i < ChipSize; ++i)
            image[i] = uint8_t(i * 13 + i / 4096);
        const std::string imagePath = dir.filePath("old.bin").toStdString();
        std::ofstream(imagePath, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), ChipSize);
        const std::string scenario = dir.filePath("update.scenario").toStdString();
        std::ofstream(scenario) << "chip class=0 id=0x373011 size=131072 page=256\n"
                                   "contents file=old.bin\n"
                                   "erase_time_ms 60\n";
        const std::string settingsPath = dir.filePath("belcor.ini").toStdString();
        std::ofstream(settingsPath) << "[DEVICE]\nLANGU=" << GetParam() << "\n";

        std::string error;
        simulator = SimulatorLibrary::open(simulatorPath(), error);
        ASSERT_TRUE(simulator) << error;
        ASSERT_TRUE(simulator->loadScenario(scenario, error)) << error;
        window = std::make_unique<TForm1>(settingsPath,
                                          (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                          simulator.get());
        window->show();
        waitUntil([this] { return window->ui.StatusBar1->panelText(1) == text(Msg::Connected); });
    }

    void TearDown() override
    {
        window.reset();
        SimulatorFixture::TearDown();
    }

    QString text(Msg message) const { return QString::fromStdString(MessageCatalogue::text(message, GetParam())); }

    void save(QWidget& widget, const QString& name) const
    {
        const QByteArray folder = qgetenv("BELCOR_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            widget.grab().save(QString::fromLocal8Bit(folder) + "/" + name + "-" + QString::number(GetParam()) + ".png");
    }

    QTemporaryDir dir;
    std::vector<uint8_t> image;
    std::unique_ptr<SimulatorLibrary> simulator;
    std::unique_ptr<TForm1> window;
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

const char* const LanguageNames[] = {"Simplified", "Traditional", "English"};

INSTANTIATE_TEST_SUITE_P(Languages, UpdateActionsTest, testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(LanguageNames[info.param]); });

}  // namespace
