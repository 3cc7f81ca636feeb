// The Production menu and view through the real main window against the
// simulator's feeder: clicks go through the window's handlers and its host.
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QListWidget>
#include <QMessageBox>
#include <QFontInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "app/BenchMenu.h"
#include "app/CursorReadout.h"
#include "app/PanelStatusBar.h"
#include "app/TForm1.h"
#include "buffers/BufferSet.h"
#include "core/MessageCatalogue.h"
#include "core/OwnSettings.h"
#include "maint/SimulatorLibrary.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/ProductionFixture.h"
#include "production/SqliteLog.h"
#include "production/EngineerPin.h"
#include "production/ui/EngineerPinPrompt.h"
#include "production/ui/GangPanel.h"
#include "production/ui/JobEditor.h"
#include "production/ui/OperatorPrompt.h"
#include "production/ui/ProductionMenu.h"
#include "production/ui/ProgrammerTile.h"
#include "support/MessageBoxCatcher.h"
#include "support/NextDialog.h"
#include "support/PostgresServer.h"
#include "support/ScreenOfSize.h"

namespace {

class ProductionWindowTest : public ProductionFixture {
protected:
    // The log table's columns that tests read beside time, chip, result and serial.
    static constexpr int ProgrammerColumn = 5;
    static constexpr int OperatorColumn = 6;
    static constexpr int MessageColumn = 7;

    void SetUp() override
    {
        ProductionFixture::SetUp();
        const std::string scenario = path("fed.scenario");
        // The socket stays empty longer than the batch loop's look at it after
        // a failed chip (a query of its own, whether the chip was pulled out).
        std::ofstream(scenario) << "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\n"
                                   "feeder on 300\nversions H2.0 V3.10 BU2SIM0000013\n";
        std::ofstream(path("belcor.ini")) << "[DEVICE]\nLANGU=2\n";
        // What Belcor remembers for itself (the last job, the line server) is
        // the test's own: nothing from an earlier test. (The folder stays:
        // fontconfig reads its own files below it and would load them anew.)
        std::filesystem::remove(OwnSettings::defaultPath());
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
        prompts.setInterval(5);
        QObject::connect(&prompts, &QTimer::timeout, [this] { answerPrompt(); });
        prompts.start();
    }

    // Answers the prompts as the people at the line would: the operator's
    // with `operatorName`, the engineer's with `pinAnswer` (cancelled when
    // empty).
    void answerPrompt()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* prompt = qobject_cast<OperatorPrompt*>(modal)) {
            prompt->findChild<QLineEdit*>("OperatorEntry")->setText(operatorName);
            prompt->accept();
        } else if (auto* prompt = qobject_cast<EngineerPinPrompt*>(modal)) {
            ++pinsAsked;
            if (pinAnswer.isEmpty()) {
                prompt->reject();
                return;
            }
            QTest::keyClicks(prompt->findChild<QLineEdit*>("PinEntry"), pinAnswer);
            QTest::keyClick(prompt->findChild<QLineEdit*>("PinEntry"), Qt::Key_Return);
        }
    }
    void TearDown() override
    {
        window.reset();
        ProductionFixture::TearDown();
    }

    // A job for the A25L512 with a serial number at 0x10, made on the test's
    // own workbench so the window starts without it.
    void writeJob(bool locked, const char* pin = nullptr, const std::string& note = "Board rev B")
    {
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        selectChipAndLoad("image.bin");
        JobChoices choices;
        std::string error;
        choices.serial = ParseSerialRule("10:8:dec:1", error);
        choices.serial->prefix = "SN";
        choices.locked = locked;
        choices.note = note;
        if (pin)
            choices.pin = EngineerPin::of(pin, EngineerPin::LeastIterations);
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
        if (folder && *folder) {
            QApplication::processEvents();
            const QString file = QString::fromStdString(std::string(folder) + "/" + name);
            QDir().mkpath(QFileInfo(file).path());
            menu->view()->grab().save(file);
        }
    }

    // The job open in the view, on a bus of `programmers`, with the tiles of
    // every one attached.
    ProductionView* gangView(int programmers, int unplugged = 0, int eraseMs = 50)
    {
        const std::string scenario = path("gang.scenario");
        std::ofstream(scenario) << "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms " << eraseMs
                                << "\nfeeder on 100\nprogrammers " << programmers << "\n";
        std::string error;
        EXPECT_TRUE(simulator->loadScenario(scenario, error)) << error;
        if (unplugged)
            belcor_sim_set_plugged_at(unplugged, 0);
        EXPECT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
        ProductionView* view = menu->view();
        view->show();
        addProgrammers(view);
        return view;
    }

    // Add attached programmers, with OK on its list as offered (every one ticked)
    // or with only the first `keep` ticked.
    void addProgrammers(ProductionView* view, int keep = -1)
    {
        QTimer::singleShot(0, [keep] {
            auto* choice = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(choice, nullptr);
            auto* list = choice->findChild<QListWidget*>("ProgrammerList");
            for (int row = keep < 0 ? list->count() : keep; row < list->count(); ++row) {
                const QRect box = list->visualItemRect(list->item(row));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(box.left() + 10, box.center().y()));
            }
            QTest::keyClick(choice, Qt::Key_Return);
        });
        QTest::mouseClick(find<QPushButton>(view, "AddProgrammers"), Qt::LeftButton);
    }

    static int64_t countOf(ProgrammerTile* tile)
    {
        const QStringList words = tile->findChild<QLabel*>("TileCounts")->text().split(' ', Qt::SkipEmptyParts);
        return words.size() == 4 ? words[1].toLongLong() + words[3].toLongLong() : -1;
    }

    static QAbstractButton* button(ProgrammerTile* tile, const char* name)
    {
        return tile->findChild<QAbstractButton*>(name);
    }

    // The window's FLASH buffer over the job image's length, and that image.
    std::vector<uint8_t> imageShown() const
    {
        const BufferSet& buffers = window->workbench().buffers;
        return std::vector<uint8_t>(buffers.flash(), buffers.flash() + std::max(buffers.dataLength, 0));
    }
    static std::vector<uint8_t> jobImage() { return std::vector<uint8_t>(4096, 0x5A); }

    MessageBoxCatcher boxes;
    QTimer prompts;
    QString operatorName = "Ann";
    QString pinAnswer;
    int pinsAsked = 0;
    std::unique_ptr<SimulatorLibrary> simulator;
    std::unique_ptr<TForm1> window;
    ProductionMenu* menu = nullptr;
};

// The window on a station's screen: the test runs again in a process of its
// own whose screen has that size; only there it goes on (onScreen).
class ProductionScreenTest : public ProductionWindowTest {
protected:
    virtual QSize stationScreen() const { return {1280, 800}; }
    void SetUp() override
    {
        onScreen = OnScreenOfSize(stationScreen());
        if (onScreen)
            ProductionWindowTest::SetUp();
    }
    void TearDown() override
    {
        if (onScreen)
            ProductionWindowTest::TearDown();
    }

    bool onScreen = false;
};

TEST_F(ProductionWindowTest, LockedJobDisablesEveryControlThatChangesWhatIsProgrammed)
{
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    // The caption stays the language's; the line under the FLASH view names the job.
    const QString caption = "BelcorU2 USB High Programmer";
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_TRUE(window->Bench()->readout()->text().startsWith("Job line (locked)   "))
        << window->Bench()->readout()->text().toStdString();
    EXPECT_TRUE(window->ui.RichEdit1->document()->firstBlock().text().startsWith(
        QString::fromStdString("Job line opened: " + path("line.belcorjob") + " (")));
    const auto enabled = [this](const char* name) {
        if (QWidget* control = window->findChild<QWidget*>(name))
            return control->isEnabled();
        return window->findChild<QAction*>(name)->isEnabled();
    };
    for (const char* name : ProductionMenu::lockedControls())
        EXPECT_FALSE(enabled(name)) << name;
    // Read stays at hand for other chips, but never replaces the job's image.
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_F4);
    EXPECT_EQ(imageShown(), jobImage());
    // The state panel says why, in the window's language.
    EXPECT_EQ(window->ui.StatusBar1->panelText(1).toStdString(),
              MessageCatalogue::text(Msg::LockedJobRefusal, English));
    window->fantiClick();
    QTest::keyClick(window.get(), Qt::Key_F4);
    EXPECT_EQ(window->ui.StatusBar1->panelText(1).toStdString(),
              MessageCatalogue::text(Msg::LockedJobRefusal, TraditionalChinese));
    window->EnlishClick();
    // A BULK run enables the tool bar when it stops; the lock holds.
    QTimer::singleShot(300, [this] { window->ui.ToolBulk->click(); });
    QTest::mouseClick(window->ui.ToolBulk, Qt::LeftButton);
    EXPECT_FALSE(enabled("ToolOpen"));

    menu->closeJob();
    for (const char* name : {"ComboBox1", "BitBtn1", "ToolOpen", "Fill", "FlashEditor", "GroupBox4", "GroupBox2"})
        EXPECT_TRUE(enabled(name)) << name;
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_FALSE(window->Bench()->readout()->text().contains("Job"));
}

TEST_F(ProductionScreenTest, ViewRunsTheJobAndShowsEachResult)
{
    if (!onScreen)
        return;
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    ProductionView* view = menu->view();
    ASSERT_TRUE(view->isVisible());
    view->resize(900, 760);
    find<QSpinBox>(view, "TargetCount")->setValue(3);
    // The third chip fails its verify; the target of good chips takes a
    // fourth. What the view showed after the failed chip is kept.
    bool failing = false;
    QString failedIndication;
    QString failedDetail;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QTableWidget* rows = find<QTableWidget>(view, "LogRows");
        if (rows->rowCount() == 2 && !failing) {
            belcor_sim_inject_fault(BELCOR_SIM_STUCK_BIT, 0x100);
            failing = true;
        }
        if (rows->rowCount() == 3 && failedIndication.isEmpty()) {
            belcor_sim_clear_faults();
            failedIndication = find<QLabel>(view, "Indication")->text();
            failedDetail = find<QLabel>(view, "FailureText")->text();
        }
    });
    poll.start(5);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 60000));
    poll.stop();

    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    ASSERT_EQ(rows->rowCount(), 4);
    EXPECT_EQ(rows->item(3, 3)->text(), "SN000001");
    EXPECT_EQ(rows->item(3, ProgrammerColumn)->text(), "BU2SIM0000013");
    EXPECT_EQ(rows->item(1, 2)->text(), "FAIL");
    // One line a record; the message, last, cut short if need be, whole in its tooltip.
    EXPECT_LT(rows->rowHeight(1), 2 * rows->fontMetrics().height());
    EXPECT_EQ(rows->item(1, MessageColumn)->toolTip(), failedDetail);
    EXPECT_EQ(failedIndication, "FAIL");
    EXPECT_TRUE(failedDetail.contains("100")) << failedDetail.toStdString();
    EXPECT_TRUE(find<QLabel>(view, "Counters")->text().startsWith("Passed 3    Failed 1    Total 4"))
        << find<QLabel>(view, "Counters")->text().toStdString();
    EXPECT_EQ(find<QLabel>(view, "NextSerial")->text(), "SN000005");
    EXPECT_TRUE(find<QLabel>(view, "LockState")->text().startsWith("Locked"));
    EXPECT_EQ(find<QLabel>(view, "FailureText")->text(), "Target reached: 3 good chips");

    screenshot("production-view-en.png");
    window->ChinaClick();
    EXPECT_EQ(find<QLabel>(view, "Indication")->text(), QString::fromUtf8("通过"));
    EXPECT_EQ(rows->item(1, 2)->text(), QString::fromUtf8("失败"));
    screenshot("production-view-zh_CN.png");
    window->fantiClick();
    screenshot("production-view-zh_TW.png");
    window->EnlishClick();
}

// Start hands the run to a thread of its own and returns; meanwhile the window
// refuses what would change the image and shows the chip's progress, and after
// Stop the controls rest, saying so, until the chip in the socket is done.
TEST_F(ProductionScreenTest, ViewRunsBesideTheWindowAndStopsAfterTheChipInHand)
{
    if (!onScreen)
        return;
    writeJob(false);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    belcor_sim_set_erase_time_ms(1500);
    ProductionView* view = menu->view();
    view->show();
    auto* start = find<QPushButton>(view, "Start");
    auto* stop = find<QPushButton>(view, "Stop");
    auto* rows = find<QTableWidget>(view, "LogRows");
    // A run held in the click would only come back when stopped.
    QTimer::singleShot(20000, view, &ProductionView::StopClick);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_LT(clock.elapsed(), 5000);
    ASSERT_TRUE(view->running());
    ASSERT_TRUE(QTest::qWaitFor([rows] { return rows->rowCount() >= 1; }, 30000));

    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_F4);
    EXPECT_EQ(imageShown(), jobImage());

    const QString erasing = QString::fromStdString(MessageCatalogue::text(Msg::Erasing, English));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ui.StatusBar1->panelText(1) == erasing; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->ui.Progress->format().startsWith("Erase allowance: "); }, 1200))
        << "the erase's bars tell what remains of its allowance, not a rate's estimate";
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(start->isEnabled());
    EXPECT_EQ(stop->text(), QString::fromUtf8("Stopping…"));
    screenshot("production-stopping-en.png");
    window->ChinaClick();
    screenshot("production-stopping-zh_CN.png");
    window->fantiClick();
    screenshot("production-stopping-zh_TW.png");
    window->EnlishClick();
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 30000));
    EXPECT_EQ(stop->text(), "Stop");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(rows->rowCount(), 2);
    for (int row = 0; row < rows->rowCount(); ++row)
        EXPECT_EQ(rows->item(row, 2)->text(), "PASS") << rows->item(row, MessageColumn)->text().toStdString();
}

// BULK's STOP enables the window at once while the Auto run under way goes on
// to its end; the range that run writes stays as it was meanwhile.
TEST_F(ProductionWindowTest, RangeStaysWhileBulksLastAutoRunEnds)
{
    writeJob(false);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    belcor_sim_set_erase_time_ms(1000);
    QTest::mouseClick(window->ui.CheckBox5, Qt::LeftButton);
    const AddressRange& range = window->workbench().buffers.range;
    ASSERT_TRUE(range.enabled);
    const QString erasing = QString::fromStdString(MessageCatalogue::text(Msg::Erasing, English));
    bool stopped = false;
    AddressRange duringRun;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stopped || window->ui.StatusBar1->panelText(1) != erasing)
            return;
        stopped = true;
        window->ui.ToolBulk->click();
        QTest::keyClicks(window->ui.Edit3, "1");
        QTest::mouseClick(window->ui.CheckBox5, Qt::LeftButton);
        duringRun = range;
    });
    poll.start(5);
    QTest::mouseClick(window->ui.ToolBulk, Qt::LeftButton);
    poll.stop();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(duringRun.start, 0);
    EXPECT_TRUE(duringRun.enabled);
    EXPECT_TRUE(window->ui.CheckBox5->isChecked());
}

// A station killed while a chip was programmed: the next look at the log
// shows that chip, with the serial it may carry, and counts it.
TEST_F(ProductionScreenTest, InterruptedChipAppearsInTheViewAndItsCounters)
{
    if (!onScreen)
        return;
    const pid_t station = fork();
    if (station == 0) {
        std::string error;
        const std::unique_ptr<SqliteLog> log = SqliteLog::open(path("station.sqlite"), error);
        LogRecord chip;
        chip.uid = "killed";
        chip.time = "2026-12-07T10:00:00.000Z";
        chip.job = "line";
        chip.programmer = "BU2SIM0000013";
        SerialRule rule = *JobFile::read(path("line.belcorjob")).job->serial;
        _exit(log && log->reserve(chip, &rule).outcome == Reservation::Outcome::Reserved ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(station, &status, 0), station);
    ASSERT_EQ(WEXITSTATUS(status), 0);

    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(rows->item(0, 2)->text(), "Interrupted");
    EXPECT_EQ(rows->item(0, 3)->text(), "SN000001");
    EXPECT_TRUE(find<QLabel>(view, "Counters")->text().contains("Interrupted 1    Total 1"))
        << find<QLabel>(view, "Counters")->text().toStdString();
    EXPECT_EQ(find<QLabel>(view, "NextSerial")->text(), "SN000002");

    screenshot("production-view-interrupted-en.png");
    window->ChinaClick();
    screenshot("production-view-interrupted-zh_CN.png");
    window->fantiClick();
    screenshot("production-view-interrupted-zh_TW.png");
    window->EnlishClick();
}

TEST_F(ProductionWindowTest, SavesTheWindowStateAsAJobAndExportsTheLog)
{
    ASSERT_TRUE(menu->openJob(path("line.belcorjob")));
    menu->closeJob();
    std::string error;
    ASSERT_TRUE(menu->saveJob(path("saved.belcorjob"), ParseSerialRule("20:4:be:9", error), true))
        << boxes.texts.join("\n").toStdString();
    ASSERT_TRUE(menu->openJob(path("saved.belcorjob"))) << boxes.texts.join("\n").toStdString();
    EXPECT_EQ(menu->job()->job.image, "saved.bin");
    EXPECT_EQ(menu->job()->job.expected.sha256, JobFile::read(path("line.belcorjob")).job->expected.sha256);
    EXPECT_TRUE(window->Bench()->readout()->text().startsWith("Job saved (locked)"));
    // A refused save changes neither file (the image was written first before).
    const std::vector<uint8_t> image = readFile("saved.bin");
    const std::vector<uint8_t> jobText = readFile("saved.belcorjob");
    menu->closeJob();
    window->workbench().buffers.flash()[0] ^= 0xFF;
    EXPECT_FALSE(menu->saveJob(path("saved.belcorjob"), ParseSerialRule("FFF0:4:be:9", error), true));
    EXPECT_EQ(readFile("saved.bin"), image);
    EXPECT_EQ(readFile("saved.belcorjob"), jobText);

    ASSERT_TRUE(menu->exportLog(path("log.csv")));
    std::ifstream csv(path("log.csv"));
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header.rfind("\xEF\xBB\xBF\"uid\",\"time\"", 0), 0u) << header;
}

}  // namespace

namespace {

TEST_F(ProductionScreenTest, GangOfFourTilesProgramsTheTargetWithDistinctSerials)
{
    if (!onScreen)
        return;
    ProductionView* view = gangView(4);
    const std::vector<ProgrammerTile*> tiles = view->programmers()->tiles();
    ASSERT_EQ(tiles.size(), 4u);
    EXPECT_EQ(tiles[3]->programmer(), "BU2SIM0000004");
    find<QSpinBox>(view, "TargetCount")->setValue(8);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    EXPECT_TRUE(view->running());
    // The window leaves the shared chip, image and range alone meanwhile.
    EXPECT_FALSE(window->centralWidget()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 60000));

    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    ASSERT_TRUE(QTest::qWaitFor([rows] { return rows->rowCount() == 8; }, 5000)) << rows->rowCount();
    std::set<QString> serials;
    std::set<QString> programmers;
    for (int row = 0; row < rows->rowCount(); ++row) {
        EXPECT_EQ(rows->item(row, 2)->text(), "PASS") << rows->item(row, MessageColumn)->text().toStdString();
        serials.insert(rows->item(row, 3)->text());
        programmers.insert(rows->item(row, ProgrammerColumn)->text());
    }
    EXPECT_EQ(serials.size(), 8u);
    EXPECT_EQ(programmers.size(), 4u);
    int64_t counted = 0;
    for (ProgrammerTile* tile : tiles) {
        counted += countOf(tile);
        EXPECT_TRUE(button(tile, "TileStart")->isEnabled());
    }
    EXPECT_EQ(counted, 8);
    // The station's rate as the log measures it, the same in the full screen.
    std::string error;
    const std::optional<double> rate = SqliteLog::open(path("station.sqlite"), error)->counters("line").chipsPerHour();
    ASSERT_TRUE(rate);
    const QString throughput = find<QLabel>(view, "Throughput")->text();
    EXPECT_TRUE(throughput.contains("Chips per hour " + QString::number(int64_t(*rate)) + " "))
        << throughput.toStdString() << " " << *rate;
    view->FullScreenClick();
    EXPECT_EQ(find<QLabel>(view, "Throughput")->text(), throughput);
    view->FullScreenClick();
    EXPECT_TRUE(find<QPushButton>(view, "Start")->isEnabled());
    EXPECT_TRUE(window->centralWidget()->isEnabled());

    screenshot("production-gang-en.png");
    window->ChinaClick();
    EXPECT_EQ(tiles[0]->findChild<QLabel*>("TileResult")->text(), QString::fromUtf8("通过"));
    screenshot("production-gang-zh_CN.png");
    window->fantiClick();
    screenshot("production-gang-zh_TW.png");
    window->EnlishClick();
}

// A window destroyed mid-run lets the chips in flight finish and log them.
TEST_F(ProductionWindowTest, WindowGoneMidGangLeavesNoChipUnlogged)
{
    ProductionView* view = gangView(2, 0, 1000);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    // Mid-chip: a tile shows an erase, write or verify under way.
    const auto midChip = [view] {
        for (ProgrammerTile* tile : view->programmers()->tiles()) {
            const QString state = tile->findChild<QLabel*>("TileState")->text();
            if (state == "Erasing" || state.startsWith("Programming") || state == "Verifying")
                return true;
        }
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return find<QTableWidget>(view, "LogRows")->rowCount() >= 1 && midChip(); },
                                30000));
    window.reset();
    std::string error;
    const std::unique_ptr<SqliteLog> log = SqliteLog::open(path("station.sqlite"), error);
    ASSERT_TRUE(log) << error;
    uint32_t programmed = 0;
    for (int number = 1; number <= 2; ++number) {
        uint8_t first = 0xFF;
        if (belcor_sim_chip_read_at(number, 0, &first, 1) == 1 && first != 0xFF)
            ++programmed;
        programmed += belcor_sim_feeder_done_count_at(number);
    }
    EXPECT_EQ(log->counters("line").total(), int64_t(programmed));
}

// Programmer 2 goes mid-run and its tile says so while 1 goes on; 3, plugged
// in meanwhile, joins when added; each stops on its own.
TEST_F(ProductionScreenTest, TilesFollowProgrammersThatGoAndCome)
{
    if (!onScreen)
        return;
    ProductionView* view = gangView(3, 3);
    std::vector<ProgrammerTile*> tiles = view->programmers()->tiles();
    ASSERT_EQ(tiles.size(), 2u);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return countOf(tiles[1]) >= 1; }, 30000));

    belcor_sim_set_plugged_at(2, 0);
    const auto stateOf = [](ProgrammerTile* tile) { return tile->findChild<QLabel*>("TileState")->text(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return stateOf(tiles[1]) == "Not connected"; }, 30000));
    screenshot("production-gang-unplugged-en.png");
    const int64_t before = countOf(tiles[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return countOf(tiles[0]) >= before + 2; }, 30000));

    belcor_sim_set_plugged_at(3, 1);
    addProgrammers(view);
    tiles = view->programmers()->tiles();
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[2]->programmer(), "BU2SIM0000003");
    QTest::mouseClick(button(tiles[2], "TileStart"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return countOf(tiles[2]) >= 1; }, 30000));

    QTest::mouseClick(button(tiles[1], "TileStop"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button(tiles[1], "TileRemove")->isEnabled(); }, 30000));
    EXPECT_TRUE(view->running());
    QTest::mouseClick(button(tiles[1], "TileRemove"), Qt::LeftButton);
    EXPECT_EQ(view->programmers()->tiles().size(), 2u);

    // Closing the window stops every tile; it goes once their chips are done.
    window->close();
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 30000));
    EXPECT_FALSE(view->running());
    std::set<std::string> serials;
    std::set<std::string> programmers;
    std::string error;
    const std::unique_ptr<SqliteLog> log = SqliteLog::open(path("station.sqlite"), error);
    ASSERT_TRUE(log) << error;
    const std::vector<LogRecord> records = log->records(LogFilter{});
    size_t passed = 0;
    for (const LogRecord& record : records) {
        if (record.result == ChipResult::Pass) {
            serials.insert(record.serial);
            ++passed;
        }
        programmers.insert(record.programmer);
    }
    EXPECT_EQ(serials.size(), passed);
    EXPECT_EQ(programmers, (std::set<std::string>{"BU2SIM0000001", "BU2SIM0000002", "BU2SIM0000003"}));
}

}  // namespace

namespace {

// The view's server line says in sentences what the line server did: one
// record refused for a constraint, then no answer at all; closing the window
// meanwhile does not wait for the frozen server.
TEST_F(ProductionScreenTest, ServerLineTellsTheLineServersStateAndClosingNeverWaitsForIt)
{
    if (!onScreen)
        return;
    if (!PostgresServer::available())
        GTEST_SKIP() << PostgresServer::missingMessage();
    PostgresServer server;
    ASSERT_TRUE(server.start()) << server.error();
    ProductionView* view = menu->view();
    find<QLineEdit>(view, "ServerAddress")->setText(QString::fromStdString(server.url()));
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    view->show();
    view->resize(900, 760);
    QLabel* state = find<QLabel>(view, "ServerState");
    const auto says = [state](const char* words) {
        return QTest::qWaitFor([&] { return state->text().contains(words); }, 15000);
    };
    ASSERT_TRUE(says("every record is stored")) << state->text().toStdString();

    ASSERT_EQ(server.query("ALTER TABLE belcor_production_log ADD CONSTRAINT odd CHECK (serial <> 'SN000002')"), "");
    find<QSpinBox>(view, "TargetCount")->setValue(2);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(says("refused 1 records")) << state->text().toStdString();

    ASSERT_TRUE(server.freeze()) << server.error();
    find<QSpinBox>(view, "TargetCount")->setValue(3);
    // The first run ends after its chip in hand; Start is back only then.
    QPushButton* start = find<QPushButton>(view, "Start");
    ASSERT_TRUE(QTest::qWaitFor([start] { return start->isEnabled(); }, 15000));
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(says("did not answer")) << state->text().toStdString();
    EXPECT_TRUE(state->text().contains("1 records wait")) << state->text().toStdString();
    EXPECT_TRUE(state->text().contains("violates check constraint")) << state->text().toStdString();

    QCoreApplication::processEvents();  // the line's new height, before the picture
    screenshot("production-server-en.png");
    window->ChinaClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->text().contains(QString::fromUtf8("拒收了 1 条记录")); }, 5000))
        << state->text().toStdString();
    screenshot("production-server-zh_CN.png");
    window->fantiClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->text().contains(QString::fromUtf8("拒收了 1 條記錄")); }, 5000))
        << state->text().toStdString();
    screenshot("production-server-zh_TW.png");
    window->EnlishClick();

    QElapsedTimer closing;
    closing.start();
    window.reset();
    EXPECT_LT(closing.elapsed(), 5000);
}

// The target counts good chips: reaching it ends the run and says so until
// acknowledged; Start then says why it does nothing and offers a higher target.
// Each row names the operator and its local time.
TEST_F(ProductionWindowTest, TargetOfGoodChipsEndsTheRunAndStartOffersToRaiseIt)
{
    writeJob(false);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    find<QSpinBox>(view, "TargetCount")->setValue(2);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 60000));

    auto* reached = view->findChild<QMessageBox*>("TargetReached");
    ASSERT_NE(reached, nullptr);
    EXPECT_EQ(reached->text(), "Target reached: 2 good chips");
    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->item(0, OperatorColumn)->text(), "Ann");
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d$)")
                    .match(rows->item(0, 0)->text())
                    .hasMatch())
        << rows->item(0, 0)->text().toStdString();
    QTest::mouseClick(reached->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([view] { return !view->findChild<QMessageBox*>("TargetReached"); }, 5000));

    boxes.choose = [](QMessageBox* box) -> QAbstractButton* {
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == "Raise target")
                return button;
        }
        return nullptr;
    };
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    EXPECT_FALSE(view->running());
    ASSERT_FALSE(boxes.texts.isEmpty());
    EXPECT_EQ(boxes.texts.last(), "The job already has 2 good chips, its target of 2, so Start does nothing. "
                                  "Raise the target or reset the counters.");
    EXPECT_EQ(find<QSpinBox>(view, "TargetCount")->value(), 3);
}

// A target set while the run goes on counts at once: the run ends on its own.
TEST_F(ProductionWindowTest, TargetSetDuringTheRunEndsIt)
{
    writeJob(false);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([rows] { return rows->rowCount() >= 1; }, 30000));
    find<QSpinBox>(view, "TargetCount")->setValue(1);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 30000));
    EXPECT_LE(rows->rowCount(), 2);
    EXPECT_NE(view->findChild<QMessageBox*>("TargetReached"), nullptr);
}

// Closing, editing or resetting a locked job with an engineer PIN takes the
// PIN; cancelled, the job stays as it was.
TEST_F(ProductionWindowTest, LockedJobTakesTheEngineerPinToCloseEditOrReset)
{
    writeJob(true, "4711");
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    menu->CloseJobClick();
    menu->EditJobClick();
    menu->view()->ResetCountersClick();
    EXPECT_EQ(pinsAsked, 3);
    EXPECT_NE(menu->job(), nullptr);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join("\n").toStdString();

    pinAnswer = "4711";
    menu->CloseJobClick();
    EXPECT_EQ(pinsAsked, 4);
    EXPECT_EQ(menu->job(), nullptr);
}

}  // namespace

namespace {

// Inside the view, shown and not cut off by its edges.
bool inSight(QWidget* view, QWidget* widget)
{
    return widget->isVisible() &&
           view->rect().contains(QRect(widget->mapTo(view, QPoint(0, 0)), widget->size()));
}

const char* const LanguageSuffix[] = {"zh_CN", "zh_TW", "en"};

struct StationScreen {
    int programmers;
    QSize screen;
};

class ProductionViewFitTest : public ProductionScreenTest, public testing::WithParamInterface<StationScreen> {
protected:
    QSize stationScreen() const override { return GetParam().screen; }
    // The three languages in turn, each photographed under `name` and its language.
    void inEachLanguage(const std::string& name)
    {
        window->ChinaClick();
        screenshot(name + "-" + LanguageSuffix[SimplifiedChinese] + ".png");
        window->fantiClick();
        screenshot(name + "-" + LanguageSuffix[TraditionalChinese] + ".png");
        window->EnlishClick();
        screenshot(name + "-" + LanguageSuffix[English] + ".png");
    }
};

// On a station's usual screens the view keeps the buttons, the counters, the
// last log rows and every tile column in sight however many tiles there are;
// the tiles share the width equally and a long failure stays inside its
// tile. The operator's full screen keeps the counters, the next serial and
// every tile, unscrolled, beside a mark of at least a quarter of the height;
// leaving it gives back a window no larger than the screen.
TEST_P(ProductionViewFitTest, FitsTheStationScreen)
{
    if (!onScreen)
        return;
    const auto [programmers, size] = GetParam();
    ProductionView* view = gangView(programmers);
    const std::vector<ProgrammerTile*> tiles = view->programmers()->tiles();
    ASSERT_EQ(int(tiles.size()), programmers);
    QApplication::setActiveWindow(view);
    tiles.front()->count(false, "Verify failed at address 0x00000100: the chip read 0x5B where the image has 0x5A; "
                                "check that the chip sits straight in the socket.");
    view->programmers()->refreshTiles();
    QTableWidget* rows = find<QTableWidget>(view, "LogRows");
    QScrollArea* tileArea = find<QScrollArea>(view, "TileArea");
    const auto tilesInSight = [&] {
        for (ProgrammerTile* tile : tiles) {
            if (!inSight(view, tile) || tile->mapTo(tileArea->viewport(), QPoint(0, tile->height())).y() >
                                            tileArea->viewport()->height())
                return false;
        }
        return true;
    };
    const auto checkWindow = [&] {
        EXPECT_LE(view->frameGeometry().width(), size.width());
        EXPECT_LE(view->frameGeometry().height(), size.height());
        for (const char* control : {"Start", "Stop", "Counters", "NextSerial", "LogRows", "AddProgrammers",
                                    "FullScreen", "ResetCounters"})
            EXPECT_TRUE(inSight(view, find<QWidget>(view, control))) << control;
        EXPECT_GE(rows->viewport()->height(), ProductionViewDesign::RowsAlwaysShown * rows->rowHeight(0));
        for (ProgrammerTile* tile : tiles) {
            EXPECT_NEAR(tile->width(), tiles.front()->width(), 1);
            EXPECT_LE(tile->mapTo(tileArea->viewport(), QPoint(tile->width(), 0)).x(), tileArea->viewport()->width());
        }
        auto* failure = tiles.front()->findChild<QLabel*>("TileMessage");
        EXPECT_LE(failure->mapTo(tiles.front(), QPoint(failure->width(), 0)).x(), tiles.front()->width());
    };
    const std::string name = std::to_string(programmers) + "-" + std::to_string(size.width()) + "x" +
                             std::to_string(size.height());
    // The tiles are laid out again once the scroll area has its new width.
    const auto tilesSettled = [&] {
        return QTest::qWaitFor(
            [&] {
                return std::abs(tiles.back()->width() - tiles.front()->width()) <= 1 &&
                       tiles.back()->mapTo(tileArea->viewport(), QPoint(tiles.back()->width(), 0)).x() <=
                           tileArea->viewport()->width();
            },
            2000);
    };
    view->resize(size);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible() && view->width() <= size.width(); }, 5000));
    tilesSettled();
    checkWindow();

    QTest::keyClick(view, Qt::Key_F11);
    ASSERT_TRUE(view->operatorMode());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->size() == size; }, 5000))
        << view->width() << "x" << view->height() << ", at least " << view->minimumSizeHint().width() << "x"
        << view->minimumSizeHint().height();
    QApplication::processEvents();
    EXPECT_GE(find<QLabel>(view, "Indication")->height(), size.height() / 4);
    EXPECT_FALSE(find<QWidget>(view, "JobDetails")->isVisible());
    for (const char* control : {"Indication", "Counters", "NextSerial", "Start", "Stop", "FullScreen"})
        EXPECT_TRUE(inSight(view, find<QWidget>(view, control))) << control;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !tileArea->verticalScrollBar()->isVisible() && tilesInSight(); }, 2000));
    inEachLanguage("production/fullscreen-" + name);

    QTest::keyClick(view, Qt::Key_F11);
    ASSERT_FALSE(view->operatorMode());
    tilesSettled();
    checkWindow();
    inEachLanguage("production/view-" + name);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ProductionViewFitTest,
    testing::Values(StationScreen{1, {1024, 768}}, StationScreen{4, {1024, 768}}, StationScreen{8, {1024, 768}},
                    StationScreen{1, {1280, 800}}, StationScreen{4, {1280, 800}}, StationScreen{8, {1280, 800}},
                    StationScreen{1, {1920, 1080}}, StationScreen{4, {1920, 1080}}, StationScreen{8, {1920, 1080}}),
    [](const testing::TestParamInfo<StationScreen>& info) {
        return std::to_string(info.param.programmers) + "ProgrammersOn" + std::to_string(info.param.screen.width()) +
               "x" + std::to_string(info.param.screen.height());
    });

// F11 fills the screen with the mark; F11 again, or closing the view, leaves
// only with the job's engineer PIN.
TEST_F(ProductionWindowTest, F11EntersTheOperatorsFullScreenAndLeavesItWithTheEngineerPin)
{
    writeJob(true, "4711");
    ProductionView* view = gangView(2);
    QApplication::setActiveWindow(view);
    const int windowCounters = QFontInfo(find<QLabel>(view, "Counters")->font()).pixelSize();
    QTest::keyClick(view, Qt::Key_F11);
    ASSERT_TRUE(view->isFullScreen());
    QApplication::processEvents();
    const int screenHeight = view->screen()->geometry().height();
    EXPECT_GE(find<QLabel>(view, "Indication")->height(), screenHeight / 4);
    EXPECT_GE(QFontInfo(find<QLabel>(view, "Counters")->font()).pixelSize(), screenHeight / 25)
        << "the counters are read from across the line too";
    QTest::keyClick(view, Qt::Key_F11);
    view->close();
    EXPECT_EQ(pinsAsked, 2);
    EXPECT_TRUE(view->isFullScreen());
    EXPECT_TRUE(view->isVisible());
    pinAnswer = "4711";
    QTest::mouseClick(find<QPushButton>(view, "FullScreen"), Qt::LeftButton);
    EXPECT_EQ(pinsAsked, 3);
    EXPECT_FALSE(view->isFullScreen());
    EXPECT_TRUE(find<QWidget>(view, "JobDetails")->isVisible());
    EXPECT_EQ(QFontInfo(find<QLabel>(view, "Counters")->font()).pixelSize(), windowCounters);
}

// Only the programmers left ticked get tiles; the others stay free.
TEST_F(ProductionWindowTest, AddsOnlyTheTickedProgrammers)
{
    const std::string scenario = path("three.scenario");
    std::ofstream(scenario) << "chip class=0 id=0x373010 size=65536 page=256\nprogrammers 3\n";
    std::string error;
    ASSERT_TRUE(simulator->loadScenario(scenario, error)) << error;
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    addProgrammers(view, 1);
    ASSERT_EQ(view->programmers()->tiles().size(), 1u);
    addProgrammers(view);
    std::vector<std::string> shown;
    for (ProgrammerTile* tile : view->programmers()->tiles())
        shown.push_back(tile->programmer());
    EXPECT_EQ(shown, (std::vector<std::string>{"BU2SIM0000001", "BU2SIM0000002", "BU2SIM0000003"}));
}

// The view comes back where it was left, from Belcor's own file; the
// settings file beside the executable does not learn of it. A placement
// larger than the screen is not taken.
TEST_F(ProductionScreenTest, RemembersItsPlacementInItsOwnFile)
{
    if (!onScreen)
        return;
    const std::vector<uint8_t> settingsBefore = readFile("belcor.ini");
    ProductionView* view = menu->view();
    view->show();
    view->resize(1111, 777);
    view->hide();
    window.reset();
    window = std::make_unique<TForm1>(path("belcor.ini"),
                                      (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                      simulator.get());
    menu = window->Production();
    menu->view()->show();
    EXPECT_EQ(menu->view()->size(), QSize(1111, 777));
    EXPECT_EQ(readFile("belcor.ini"), settingsBefore);

    // As a full screen left on a 1024 px screen once stored it, 1478 px wide.
    QWidget wide;
    wide.resize(1478, 780);
    OwnSettings().setValue("ProductionView", "geometry", wide.saveGeometry().toBase64().toStdString());
    window.reset();
    window = std::make_unique<TForm1>(path("belcor.ini"),
                                      (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                      simulator.get());
    menu = window->Production();
    menu->view()->show();
    EXPECT_LE(menu->view()->frameGeometry().width(), 1280);
    EXPECT_LE(menu->view()->frameGeometry().height(), 800);
}

// A job's note is shown as the words it holds, never as markup.
TEST_F(ProductionWindowTest, NoteIsShownAsPlainText)
{
    writeJob(false, nullptr, "<h1>Rev B</h1><br><br><br><img src=\"/etc/passwd\">");
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    auto* job = find<QLabel>(view, "JobText");
    EXPECT_TRUE(job->text().contains("<h1>Rev B</h1>"));
    EXPECT_LT(job->heightForWidth(2000), 2 * job->fontMetrics().height());
}

}  // namespace

namespace {

// A line server that fails stops the gang before its next chips: one banner
// across the view names its state and the records that wait, the tiles keep
// their size, and the mark no longer shows the last chip's PASS.
TEST_F(ProductionScreenTest, LineServerDownShowsOneBannerAndTheTilesKeepTheirSize)
{
    if (!onScreen)
        return;
    ProductionView* view = gangView(8);
    auto* target = find<QSpinBox>(view, "TargetCount");
    target->setValue(1);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 60000));
    QLabel* mark = find<QLabel>(view, "Indication");
    ASSERT_EQ(mark->text(), "PASS");
    QLabel* banner = find<QLabel>(view, "LineServerBanner");
    EXPECT_FALSE(banner->isVisible());
    std::vector<int> heights;
    for (ProgrammerTile* tile : view->programmers()->tiles())
        heights.push_back(tile->height());

    auto* server = find<QLineEdit>(view, "ServerAddress");
    QTest::keyClicks(server, "postgresql://belcor@127.0.0.1:1/line?connect_timeout=2");
    QTest::keyClick(server, Qt::Key_Return);
    target->setValue(9);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([banner] { return banner->isVisible(); }, 15000));
    EXPECT_TRUE(banner->text().contains("records wait")) << banner->text().toStdString();
    EXPECT_NE(mark->text(), "PASS");
    QApplication::processEvents();
    std::vector<int> after;
    for (ProgrammerTile* tile : view->programmers()->tiles())
        after.push_back(tile->height());
    EXPECT_EQ(after, heights);
    screenshot("production-server-down-en.png");
}

// "Target reached" stands only while it is true: a raised target takes it back.
TEST_F(ProductionWindowTest, TargetReachedGoesWhenTheTargetIsRaised)
{
    writeJob(false);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    auto* target = find<QSpinBox>(view, "TargetCount");
    target->setValue(1);
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 60000));
    QLabel* detail = find<QLabel>(view, "FailureText");
    ASSERT_EQ(detail->text(), "Target reached: 1 good chips");
    ASSERT_NE(view->findChild<QMessageBox*>("TargetReached"), nullptr);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Up);
    EXPECT_EQ(target->value(), 2);
    EXPECT_EQ(detail->text(), "");
    EXPECT_TRUE(QTest::qWaitFor([view] { return !view->findChild<QMessageBox*>("TargetReached"); }, 5000));
}

// Belcor's own file keeps the line server's address, the open job and a
// target raised for it; at the next start the job is open again, locked as
// it was, and belcor.ini has learnt nothing.
TEST_F(ProductionWindowTest, RemembersTheLineServerTheJobAndItsRaisedTarget)
{
    const std::vector<uint8_t> settingsBefore = readFile("belcor.ini");
    ProductionView* view = menu->view();
    view->show();
    const QString address = "postgresql://belcor@127.0.0.1:1/line?connect_timeout=1";
    auto* server = find<QLineEdit>(view, "ServerAddress");
    QTest::keyClicks(server, address);
    QTest::keyClick(server, Qt::Key_Return);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    auto* target = find<QSpinBox>(view, "TargetCount");
    target->setFocus();
    target->selectAll();
    QTest::keyClicks(target, "250");
    ASSERT_EQ(target->value(), 250);

    window.reset();
    window = std::make_unique<TForm1>(path("belcor.ini"),
                                      (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                      simulator.get());
    window->show();
    menu = window->Production();
    ASSERT_NE(menu->job(), nullptr) << boxes.texts.join("\n").toStdString();
    EXPECT_EQ(menu->job()->path, path("line.belcorjob"));
    EXPECT_TRUE(window->workbench().jobLocked);
    EXPECT_EQ(find<QLineEdit>(menu->view(), "ServerAddress")->text(), address);
    EXPECT_EQ(find<QSpinBox>(menu->view(), "TargetCount")->value(), 250);
    EXPECT_EQ(readFile("belcor.ini"), settingsBefore);

    // Closed by the user, the job is not opened again.
    menu->CloseJobClick();
    window.reset();
    window = std::make_unique<TForm1>(path("belcor.ini"),
                                      (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                      simulator.get());
    window->show();
    EXPECT_EQ(window->Production()->job(), nullptr);
}

// Quitting is no way out of a locked job: closing the window takes the
// engineer PIN, and the job is open again at the next start.
TEST_F(ProductionWindowTest, ClosingTheWindowWithALockedJobTakesThePin)
{
    writeJob(true, "4711");
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    window->close();
    EXPECT_EQ(pinsAsked, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(menu->job(), nullptr);
    pinAnswer = "4711";
    window->close();
    EXPECT_EQ(pinsAsked, 2);
    EXPECT_FALSE(window->isVisible());

    window = std::make_unique<TForm1>(path("belcor.ini"),
                                      (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                      simulator.get());
    window->show();
    ASSERT_NE(window->Production()->job(), nullptr) << boxes.texts.join("\n").toStdString();
    EXPECT_TRUE(window->workbench().jobLocked);
}

// The window's own programmer run alone has no tile: the full screen shows
// its state as a tile would, as large as the counters.
TEST_F(ProductionWindowTest, SingleProgrammerFullScreenShowsItsState)
{
    writeJob(false);
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    ProductionView* view = menu->view();
    view->show();
    QApplication::setActiveWindow(view);
    QTest::keyClick(view, Qt::Key_F11);
    ASSERT_TRUE(view->operatorMode());
    QLabel* state = find<QLabel>(view, "ProgrammerState");
    QTest::mouseClick(find<QPushButton>(view, "Start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([state] { return state->text() == "Waiting for a chip"; }, 30000))
        << state->text().toStdString();
    EXPECT_TRUE(inSight(view, state));
    EXPECT_EQ(QFontInfo(state->font()).pixelSize(), QFontInfo(find<QLabel>(view, "Counters")->font()).pixelSize());
    view->StopClick();
    ASSERT_TRUE(QTest::qWaitFor([view] { return !view->running(); }, 30000));
    QTest::keyClick(view, Qt::Key_F11);
}

// A new job is saved beside its image, named after it, and opened when the
// engineer says so.
TEST_F(ProductionWindowTest, NewJobIsSavedBesideItsImageAndOpenedOnRequest)
{
    ASSERT_TRUE(menu->openJob(path("line.belcorjob"))) << boxes.texts.join("\n").toStdString();
    menu->closeJob();
    QString startFolder;
    QString startName;
    inNextDialog<JobEditor>([&](JobEditor& editor) {
        QTest::keyClicks(editor.findChild<QLineEdit*>("ImagePath"), QString::fromStdString(path("image.bin")));
        inNextDialog<QFileDialog>([&](QFileDialog& dialog) {
            startFolder = dialog.directory().absolutePath();
            auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
            startName = name->text();
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(editor.findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Save),
                          Qt::LeftButton);
    });
    boxes.choose = [](QMessageBox* box) { return box->button(QMessageBox::Yes); };
    menu->NewJobClick();
    EXPECT_EQ(startFolder.toStdString(), folder.string());
    EXPECT_EQ(startName, "image.belcorjob");
    ASSERT_FALSE(boxes.texts.isEmpty());
    EXPECT_EQ(boxes.texts.last().toStdString(), "The job is saved as " + path("image.belcorjob") + ". Open it now?");
    ASSERT_NE(menu->job(), nullptr);
    EXPECT_EQ(menu->job()->path, path("image.belcorjob"));
}

}  // namespace
