// The Production menu and view through the real main window against the
// simulator's feeder: clicks go through the window's handlers and its host.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <fstream>

#include "app/TForm1.h"
#include "maint/SimulatorLibrary.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionFixture.h"
#include "production/ui/ProductionMenu.h"
#include "support/MessageBoxCatcher.h"

namespace {

class ProductionWindowTest : public ProductionFixture {
protected:
    void SetUp() override
    {
        ProductionFixture::SetUp();
        const std::string scenario = path("fed.scenario");
        std::ofstream(scenario) << "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\n"
                                   "feeder on 100\nversions H2.0 V3.10 BU2SIM0000013\n";
        std::ofstream(path("belcor.ini")) << "[DEVICE]\nLANGU=2\n";
        std::string error;
        simulator = SimulatorLibrary::open(simulatorPath(), error);
        ASSERT_TRUE(simulator) << error;
        ASSERT_TRUE(simulator->loadScenario(scenario, error)) << error;
        simulator->setTranscriptEnabled(false);
        window = std::make_unique<TForm1>(path("belcor.ini"),
                                          (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                          simulator.get());
        window->show();
        menu = window->Production();
        menu->view()->setLogPath(path("station.sqlite"));
        writeJob(true);
    }
    void TearDown() override
    {
        window.reset();
        ProductionFixture::TearDown();
    }

    // A job for the A25L512 with a serial number at 0x10, made on the test's
    // own workbench so the window starts without it.
    void writeJob(bool locked)
    {
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        selectChipAndLoad("image.bin");
        JobChoices choices;
        std::string error;
        choices.serial = ParseSerialRule("10:8:dec:1", error);
        choices.serial->prefix = "SN";
        choices.locked = locked;
        choices.note = "Board rev B";
        const std::optional<ProductionJob> job = CreateJob(workbench, path("line.belcorjob"), path("image.bin"),
                                                           choices, error);
        ASSERT_TRUE(job) << error;
        ASSERT_EQ(JobFile::write(path("line.belcorjob"), *job), "");
    }

    template <typename T>
    T* find(QWidget* parent, const char* name)
    {
        T* found = parent->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void screenshot(const std::string& name)
    {
        const char* folder = std::getenv("BELCOR_SCREENSHOT_DIR");
        if (folder && *folder)
            menu->view()->grab().save(QString::fromStdString(std::string(folder) + "/" + name));
    }

    MessageBoxCatcher boxes;
    std::unique_ptr<SimulatorLibrary> simulator;
    std::unique_ptr<TForm1> window;
    ProductionMenu* menu = nullptr;
};

TEST_F(ProductionWindowTest, LockedJobDisablesEveryControlThatChangesWhatIsProgrammed)
{
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    EXPECT_TRUE(window->windowTitle().endsWith("job line (locked)")) << window->windowTitle().toStdString();
    const auto enabled = [this](const char* name) {
        if (QWidget* control = window->findChild<QWidget*>(name))
            return control->isEnabled();
        return window->findChild<QAction*>(name)->isEnabled();
    };
    for (const char* name : ProductionMenu::lockedControls())
        EXPECT_FALSE(enabled(name)) << name;
    // A BULK run enables the tool bar when it stops; the lock holds.
    QTimer::singleShot(300, [this] { window->ui.ToolBulk->click(); });
    QTest::mouseClick(window->ui.ToolBulk, Qt::LeftButton);
    EXPECT_FALSE(enabled("ToolOpen"));

    menu->closeJob();
    for (const char* name : {"ComboBox1", "BitBtn1", "ToolOpen", "Fill", "FlashEditor", "GroupBox4", "GroupBox2"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_FALSE(window->windowTitle().contains("job"));
}

TEST_F(ProductionWindowTest, ViewRunsTheJobAndShowsEachResult)
{
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    ProductionView* view = menu->view();
    ASSERT_TRUE(view->isVisible());
    view->resize(900, 760);
    find<QSpinBox>(view, "TargetCount")->setValue(3);
    // The third chip fails its verify.
    int chips = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const int rows = find<QTableWidget>(view, "LogRows")->rowCount();
        if (rows == 2 && chips < 2)
            belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 0x100);
        chips = rows;
    });
    poll.start(5);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    poll.stop();

    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    ASSERT_EQ(rows->rowCount(), 3);
    EXPECT_EQ(rows->item(2, 3)->text(), "SN000001");
    EXPECT_EQ(rows->item(0, 2)->text(), "fail");
    EXPECT_EQ(find<QLabel>(view, "Indication")->text(), "FAIL");
    EXPECT_TRUE(find<QLabel>(view, "FailureText")->text().contains("100"));
    EXPECT_TRUE(find<QLabel>(view, "Counters")->text().startsWith("Passed 2    Failed 1    Total 3"))
        << find<QLabel>(view, "Counters")->text().toStdString();
    EXPECT_EQ(find<QLabel>(view, "NextSerial")->text(), "SN000004");
    EXPECT_TRUE(find<QLabel>(view, "LockState")->text().startsWith("Locked"));

    screenshot("production-view-en.png");
    window->ChinaClick();
    EXPECT_EQ(find<QLabel>(view, "Indication")->text(), QString::fromUtf8("失败"));
    screenshot("production-view-zh_CN.png");
    window->fantiClick();
    screenshot("production-view-zh_TW.png");
    window->EnlishClick();
}

}  // namespace
