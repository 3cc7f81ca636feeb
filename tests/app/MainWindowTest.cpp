#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBackingStore>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "support/MessageBoxCatcher.h"
#include "core/MessageCatalogue.h"
#include "app/PanelStatusBar.h"
#include "app/TAboutBox.h"
#include "app/FileCommands.h"
#include "app/TForm1.h"
#include "hexview/HexView.h"
#include "maint/SimulatorLibrary.h"
#include "ops/SelectChip.h"
#include "support/CaseName.h"

#include "BenchWindow.h"

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeAll(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

QString message(Msg id, int language)
{
    return QString::fromStdString(MessageCatalogue::text(id, language));
}

// Every caption the language switch may touch, by object path.
std::map<QString, QString> captions(TForm1& window)
{
    std::map<QString, QString> all;
    all["window"] = window.windowTitle();
    for (int panel = 0; panel < PanelStatusBar::PanelCount; ++panel)
        all[QString("panel%1").arg(panel)] = window.ui.StatusBar1->panelText(panel);
    for (int tab = 0; tab < window.ui.PageControl1->count(); ++tab)
        all[QString("tab%1").arg(tab)] = window.ui.PageControl1->tabText(tab);
    for (QObject* object : window.findChildren<QObject*>()) {
        const QString key = object->parent()->objectName() + "/" + object->objectName();
        if (object->objectName().isEmpty())
            continue;
        if (auto* action = qobject_cast<QAction*>(object))
            all[key] = action->text();
        else if (auto* menu = qobject_cast<QMenu*>(object))
            all[key] = menu->title();
        else if (auto* group = qobject_cast<QGroupBox*>(object))
            all[key] = group->title();
        else if (auto* button = qobject_cast<QAbstractButton*>(object))
            all[key] = button->text();
        else if (auto* label = qobject_cast<QLabel*>(object))
            all[key] = label->text();
        else if (auto* dialog = qobject_cast<QDialog*>(object))
            all[key] = dialog->windowTitle();
    }
    return all;
}

void typeInto(QWidget* field, const QString& text)
{
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(field, &press);
    }
}

class MainWindowTest : public BenchWindow {
protected:
    void SetUp() override
    {
        BenchWindow::SetUp();
        // As on an English system (LANG=en_US.UTF-8): the first start is
        // Simplified Chinese all the same.
        QLocale::setDefault(QLocale("en_US"));
    }

    void TearDown() override
    {
        QLocale::setDefault(QLocale::c());
        BenchWindow::TearDown();
    }

    // The window in simulation mode, with the simulator's own controls.
    TForm1& openSimulated()
    {
        loadSimulator();
        return openWindow();
    }

    // Pixels of the state panel in (nearly) pure red as the window last painted
    // them: read from its backing store once pending updates ran, because grab()
    // would paint the panel anew and hide a missing update.
    static int redPixels(TForm1& window)
    {
        settle();
        const auto* image = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
        if (image == nullptr) {
            ADD_FAILURE() << "the backing store is no image";
            return 0;
        }
        const QRect panel =
            window.ui.StatusBar1->panelRect(1).translated(window.ui.StatusBar1->mapTo(&window, QPoint(0, 0)));
        int count = 0;
        for (int y = panel.top(); y <= panel.bottom() && y < image->height(); ++y)
            for (int x = panel.left(); x <= panel.right() && x < image->width(); ++x) {
                const QColor pixel = image->pixelColor(x, y);
                if (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80)
                    ++count;
            }
        return count;
    }
};

TEST_F(MainWindowTest, FirstStartWithoutSettingsFile)
{
    TForm1& form = openWindow();
    EXPECT_EQ(form.size(), QSize(700, 500));
    EXPECT_LE((form.frameGeometry().center() - form.screen()->availableGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(form.ui.ComboBox1->currentIndex(), 0);
    EXPECT_EQ(form.ui.ComboBox2->currentIndex(), 0);
    EXPECT_EQ(form.ui.ComboBox3->currentIndex(), 0);
    EXPECT_TRUE(form.ui.China->isChecked());
    EXPECT_FALSE(form.ui.ToolDevice->isVisible());
    EXPECT_FALSE(form.ui.N3->isVisible());
    EXPECT_FALSE(form.ui.N4->isVisible());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settingsPath)));

    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("BelcorU2 高速编程器"));
    EXPECT_EQ(form.ui.ToolOpen->text(), QString::fromUtf8("打开"));

    EXPECT_TRUE(form.close());
    EXPECT_EQ(readAll(settingsPath), "[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=0\n[DEVICE]\nSPEED=0\nLANGU=0\n");
}

// A damaged chip database is told in a plain box: the text and OK alone.
TEST_F(MainWindowTest, DamagedDatabaseIsToldInAPlainBox)
{
    const std::string damaged = path("damaged.Dat").toStdString();
    std::ofstream(damaged, std::ios::binary) << std::string(100, 'x');
    QMessageBox::Icon icon = QMessageBox::Critical;
    QString title = "none seen";
    QString text;
    QMessageBox::StandardButtons buttons;
    inNextDialog<QMessageBox>([&](QMessageBox& box) {
        icon = box.icon();
        title = box.windowTitle();
        text = box.text();
        buttons = box.standardButtons();
    });
    openWindow(damaged);
    EXPECT_EQ(text, QString::fromUtf8("配置文件被破坏！"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(title, "");
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

// Only the Environment keys place the window: what it looked like at the last
// close is never stored, and old lines of an earlier version are neither read
// nor removed.
TEST_F(MainWindowTest, PlacementIsNeverStoredAndOldBenchLinesStayUnread)
{
    const std::string bench = "[Bench]\nWindowLeft=40\nWindowTop=30\nWindowWidth=810\nWindowHeight=620\n"
                              "Recent1=/old/image.bin\n";
    writeAll(settingsPath, bench);
    TForm1& form = openWindow();
    EXPECT_EQ(form.size(), QSize(700, 500));
    EXPECT_TRUE(form.Files()->recentMenu()->isEmpty());
    form.resize(810, 620);
    form.move(40, 30);
    ASSERT_TRUE(form.close());
    window.reset();

    TForm1& again = openWindow();
    EXPECT_EQ(again.size(), QSize(700, 500));
    EXPECT_LE((again.frameGeometry().center() - again.screen()->availableGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(readAll(settingsPath), bench + "[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=0\n[DEVICE]\nSPEED=0\nLANGU=0\n");
}

TEST_F(MainWindowTest, StoredPositionIsReplacedByCentringButSizeStays)
{
    writeAll(settingsPath, "[Environment]\nFormTop=300\nFormLeft=5\nFormWidth=640\nFormHeight=480\n");
    TForm1& form = openWindow();
    EXPECT_EQ(form.size(), QSize(640, 480));
    EXPECT_LE((form.frameGeometry().center() - form.screen()->availableGeometry().center()).manhattanLength(), 2);
}

TEST_F(MainWindowTest, FormMaxStartsMaximised)
{
    writeAll(settingsPath, "[Environment]\nFormMax=1\nFormWidth=300\n");
    EXPECT_TRUE(openWindow().isMaximized());
}

TEST_F(MainWindowTest, MaintenanceModeShowsDeviceAndHardwareAndKeepsItsLine)
{
    writeAll(settingsPath, "[DEVICE]\nchip=1\nLANGU=2\n");
    TForm1& form = openWindow();
    EXPECT_TRUE(form.ui.ToolDevice->isVisible());
    EXPECT_TRUE(form.ui.N3->isVisible());
    EXPECT_TRUE(form.ui.N4->isVisible());
    form.ChinaClick();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(readAll(settingsPath), "[DEVICE]\nchip=1\nLANGU=0\nSPEED=0\n[CHIP]\nINDEX1=0\nINDEX2=0\nINDEX3=0\n");
}

class UnwritableSettings : public MainWindowTest, public ::testing::WithParamInterface<const char*> {};

// Any key that cannot be written is reported, a folder that cannot be
// written to included, and the window closes all the same.
TEST_P(UnwritableSettings, AreShownAndTheWindowStillCloses)
{
    settingsPath = dir.filePath(GetParam()).toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkdir("belcor.ini"));
    TForm1& form = openWindow();
    MessageBoxCatcher boxes;
    EXPECT_TRUE(form.close());
    EXPECT_EQ(boxes.texts, QStringList{"Unable to write to " + QString::fromStdString(settingsPath)});
    EXPECT_FALSE(form.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Causes, UnwritableSettings, ::testing::Values("belcor.ini", "missing/belcor.ini"),
                         [](const auto& info) { return info.index == 0 ? "SettingsFileIsAFolder" : "NoFolder"; });

class StatePanel : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(StatePanel, NotConnectedIsRedAndConnectedIsNot)
{
    const int language = GetParam();
    writeAll(settingsPath, "[DEVICE]\nLANGU=" + std::to_string(language) + "\n");
    belcor_sim_set_plugged(0);
    TForm1& form = openWindow();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), message(Msg::NotConnected, language));
    EXPECT_EQ(form.statePanelColour(), QColor(255, 0, 0));
    EXPECT_GT(redPixels(form), 0);

    form.DeviceChanged();
    belcor_sim_set_plugged(1);
    form.FormActivate();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), message(Msg::Connected, language));
    EXPECT_EQ(form.statePanelColour(), form.palette().color(QPalette::ButtonText));
    EXPECT_EQ(redPixels(form), 0);
}

INSTANTIATE_TEST_SUITE_P(Languages, StatePanel, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return LanguageCaseName(info.param); });

TEST_F(MainWindowTest, NotConnectedOfAnotherLanguageIsDrawnNormallyUntilTheNextCheck)
{
    belcor_sim_set_plugged(0);
    TForm1& form = openWindow();
    const QString chinese = message(Msg::NotConnected, SimplifiedChinese);
    ASSERT_EQ(form.ui.StatusBar1->panelText(1), chinese);
    ASSERT_GT(redPixels(form), 0);
    form.ui.Enlish->trigger();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), chinese);
    EXPECT_EQ(redPixels(form), 0);
    form.ui.China->trigger();
    EXPECT_GT(redPixels(form), 0) << "in its own language again";
    form.ui.Enlish->trigger();
    EXPECT_EQ(redPixels(form), 0);
    form.FormActivate();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), "Not connected");
    EXPECT_GT(redPixels(form), 0);
}

TEST_F(MainWindowTest, LanguageRoundTripRestoresEveryCaption)
{
    TForm1& form = openWindow();
    const auto chinese = captions(form);
    form.EnlishClick();
    const auto english = captions(form);
    EXPECT_EQ(english.at("window"), "BelcorU2 USB High Programmer");
    EXPECT_EQ(english.at("ToolBar1/ToolFill"), "FIll");
    EXPECT_EQ(english.at("L1/Enlish"), "Enlish");
    EXPECT_EQ(english.at("Panel1/Copyright"), "Copyright (C) Belcor Electronics. All rights reserved.");
    EXPECT_EQ(english.at("panel0"), "State");
    EXPECT_EQ(english.at("tab0"), "FLASH");
    EXPECT_NE(chinese, english);
    form.ChinaClick();
    EXPECT_EQ(captions(form), chinese);
}

class LanguageMenu : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(LanguageMenu, ExactlyOneItemIsChecked)
{
    writeAll(settingsPath, "[DEVICE]\nLANGU=" + std::to_string(GetParam()) + "\n");
    TForm1& form = openWindow();
    const QList<QAction*> items = {form.ui.China, form.ui.fanti, form.ui.Enlish};
    const auto checked = [&] {
        QList<int> on;
        for (int i = 0; i < items.size(); ++i)
            if (items[i]->isChecked())
                on << i;
        return on;
    };
    EXPECT_EQ(checked(), QList<int>{GetParam()});
    form.ui.Enlish->trigger();
    EXPECT_EQ(checked(), QList<int>{2});
    form.ui.fanti->trigger();
    form.ui.fanti->trigger();
    EXPECT_EQ(checked(), QList<int>{1});
    EXPECT_EQ(form.workbench().languageIndex, 1);
}

INSTANTIATE_TEST_SUITE_P(StoredLanguage, LanguageMenu, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return LanguageCaseName(info.param); });

TEST_F(MainWindowTest, LanguageSwitchEmptiesTheLog)
{
    TForm1& form = openWindow();
    ASSERT_FALSE(form.ui.RichEdit1->toPlainText().isEmpty());
    form.fantiClick();
    EXPECT_TRUE(form.ui.RichEdit1->toPlainText().isEmpty());
    EXPECT_EQ(form.ui.ToolBulk->text(), "批量");
}

// Qt's own button texts follow the window's language, and go back to English.
TEST_F(MainWindowTest, StandardButtonTextsFollowTheLanguage)
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm"))
        GTEST_SKIP() << "Qt's translations are not installed";
    TForm1& form = openWindow();
    const auto yes = [] {
        QMessageBox box;
        return box.addButton(QMessageBox::Yes)->text();
    };
    form.EnlishClick();
    EXPECT_EQ(yes(), "&Yes");
    form.ChinaClick();
    EXPECT_NE(yes(), "&Yes");
    form.fantiClick();
    EXPECT_NE(yes(), "&Yes");
    form.EnlishClick();
    EXPECT_EQ(yes(), "&Yes");
}

TEST_F(MainWindowTest, LogLinesAreInsertedNewestFirst)
{
    TForm1& form = openWindow();
    form.ui.RichEdit1->clear();
    form.host().insertLogLine("first");
    form.host().insertLogLine("second");
    EXPECT_EQ(form.ui.RichEdit1->toPlainText(), "second\nfirst");
    EXPECT_EQ(form.host().firstLogLine(), "second");
}

class ProgressGeometry : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgressGeometry, FollowsTheStatusBarWidth)
{
    TForm1& form = openWindow();
    form.resize(GetParam(), 500);
    settle();
    for (QProgressBar* bar : {form.ui.Progress, form.ui.Progress2}) {
        EXPECT_EQ(bar->x(), 317);
        EXPECT_EQ(bar->width(), form.ui.StatusBar1->width() - 315);
    }
    EXPECT_EQ(form.ui.Progress->y(), 2);
    EXPECT_EQ(form.ui.Progress->height(), form.ui.StatusBar1->height() - 2);
    EXPECT_EQ(form.ui.Progress2->height(), (form.ui.StatusBar1->height() - 2) / 2);
    EXPECT_FALSE(form.ui.Progress2->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Widths, ProgressGeometry, ::testing::Values(640, 700, 993, 1280),
                         [](const auto& info) { return "Width" + std::to_string(info.param); });

TEST_F(MainWindowTest, SimulatorHotPlugUpdatesTheStatePanelWithoutUserAction)
{
    writeAll(settingsPath, "[DEVICE]\nLANGU=2\n");
    TForm1& form = openSimulated();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), "Connected");

    simulator->setPlugged(false);
    settle();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), "Not connected");
    simulator->setPlugged(true);
    settle();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), "Connected");

    // A device session holds the link: the check waits for the next event.
    form.workbench().busy = true;
    simulator->setPlugged(false);
    settle();
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), "Connected");
    form.workbench().busy = false;
}

TEST_F(MainWindowTest, SimulatorMenuSeatsTheSelectedChip)
{
    TForm1& form = openSimulated();
    auto* seat = form.findChild<QAction*>("SimSeatChip");
    ASSERT_TRUE(seat);
    seat->trigger();
    EXPECT_TRUE(belcor_sim_chip_is_seated());
    form.findChild<QAction*>("SimRemoveChip")->trigger();
    EXPECT_FALSE(belcor_sim_chip_is_seated());
}

// The feeder's check mark is the simulator's state, however it was switched:
// by the scenario, by the menu, or by a call behind the window's back.
TEST_F(MainWindowTest, SimulatorMenuShowsTheFeedersState)
{
    loadSimulator("chip class=0 id=0x373011 size=131072 page=256\nfeeder on 100\n");
    TForm1& form = openWindow();
    auto* menu = form.findChild<QMenu*>("SimulatorMenu");
    auto* feeder = form.findChild<QAction*>("SimFeeder");
    ASSERT_TRUE(menu && feeder);
    const auto shownChecked = [&] {
        emit menu->aboutToShow();
        return feeder->isChecked();
    };
    EXPECT_TRUE(shownChecked());
    feeder->trigger();
    EXPECT_EQ(belcor_sim_is_feeder_on(), 0);
    EXPECT_FALSE(shownChecked());
    belcor_sim_set_feeder(1, 100);
    EXPECT_TRUE(shownChecked());
}

ChipRecord record(const char* title, uint32_t flashSize, uint16_t eepromSize, uint16_t xmlLink, uint8_t voltage)
{
    ChipRecord chip{};
    std::strncpy(chip.title, title, sizeof chip.title - 1);
    chip.flashSize = flashSize;
    chip.flashPage = 256;
    chip.eepromSize = eepromSize;
    chip.xmlLink = xmlLink;
    chip.voltage = voltage;
    return chip;
}

TEST_F(MainWindowTest, SelectionRefreshesDetailsTabsNoticeAndViews)
{
    TForm1& form = openWindow(dir.filePath("none.Dat").toStdString());
    Workbench& bench = form.workbench();
    bench.catalogue.ChipDatabase[0] = record("SPI_FLASH,Maker,LowVolt", 0x10000, 0, 0, 1);
    bench.catalogue.ChipDatabase[1] = record("24_EEPROM,Maker,WithData", 0x800, 256, 1, 0);

    SelectChip(bench, form.host(), 0, 0, 0);
    EXPECT_TRUE(form.ui.Label9->isVisibleTo(&form));
    EXPECT_FALSE(form.ui.PageControl1->isTabVisible(1));
    EXPECT_FALSE(form.ui.PageControl1->isTabVisible(2));
    EXPECT_EQ(form.ui.PageControl1->tabText(0), "FLASH");
    EXPECT_EQ(form.ui.Edit1->text(), "65536");
    EXPECT_EQ(form.ui.Edit4->text(), "FFFF");
    EXPECT_EQ(form.ui.FlashEditor->byteCount(), 0x10000u);
    EXPECT_EQ(form.ui.ComboBox3->currentText(), "LowVolt");

    SelectChip(bench, form.host(), 1, 0, 0);
    EXPECT_FALSE(form.ui.Label9->isVisibleTo(&form));
    EXPECT_TRUE(form.ui.PageControl1->isTabVisible(1));
    EXPECT_TRUE(form.ui.PageControl1->isTabVisible(2));
    EXPECT_EQ(form.ui.PageControl1->tabText(0), "EEPROM");
    EXPECT_EQ(form.ui.Edit5->text(), "256");
    EXPECT_EQ(form.ui.EepromEditor->byteCount(), 256u);
    EXPECT_EQ(form.ui.ComboBox1->currentIndex(), 1);
}

TEST_F(MainWindowTest, OversizedRecordShowsNoMoreThanTheBuffers)
{
    TForm1& form = openWindow(dir.filePath("none.Dat").toStdString());
    Workbench& bench = form.workbench();
    bench.catalogue.ChipDatabase[0] = record("SPI_FLASH,Maker,Huge", 0x8000000, 0xFFFF, 0, 0);
    SelectChip(bench, form.host(), 0, 0, 0);
    EXPECT_EQ(form.ui.FlashEditor->byteCount(), BufferSet::FlashCapacity);
    EXPECT_EQ(form.ui.EepromEditor->byteCount(), BufferSet::EepromCapacity);
}

TEST_F(MainWindowTest, AddressFieldsTakeHexOnlyAndFollowTheirCheckBox)
{
    TForm1& form = openWindow();
    EXPECT_FALSE(form.ui.Edit3->isEnabled());
    form.ui.CheckBox5->click();
    EXPECT_TRUE(form.ui.Edit3->isEnabled());
    EXPECT_TRUE(form.workbench().buffers.range.enabled);

    form.ui.Edit3->clear();
    typeInto(form.ui.Edit3, "g 1f");
    EXPECT_EQ(form.ui.Edit3->text(), "1F");
    EXPECT_EQ(form.workbench().buffers.range.start, 0x1F);
    form.ui.Edit3->clear();
    EXPECT_EQ(form.workbench().buffers.range.start, 0x1F) << "an empty field keeps the stored start";
    typeInto(form.ui.Edit3, "ab");
    EXPECT_EQ(form.ui.Edit3->text(), "AB");
    EXPECT_EQ(form.workbench().buffers.range.start, 0xAB);

    form.ui.CheckBox5->click();
    EXPECT_FALSE(form.ui.Edit4->isEnabled());
    EXPECT_EQ(form.workbench().buffers.range.start, 0xAB);
}

TEST_F(MainWindowTest, PastingTextThatIsNoNumberShowsOneBox)
{
    TForm1& form = openWindow();
    form.ui.CheckBox5->click();
    form.ui.Edit3->clear();
    QApplication::clipboard()->setText("xyz");
    MessageBoxCatcher boxes;
    const std::unique_ptr<QMenu> menu(form.ui.Edit3->createStandardContextMenu());
    // The menu's Paste item, found by its shortcut whatever the language.
    QAction* paste = nullptr;
    for (QAction* item : menu->actions())
        if (item->text().endsWith(QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText)))
            paste = item;
    ASSERT_TRUE(paste);
    paste->trigger();
    settle();
    EXPECT_EQ(boxes.texts, QStringList{"'0xXYZ' is not a valid integer value"});
    EXPECT_EQ(form.ui.Edit3->text(), "XYZ");
}

TEST_F(MainWindowTest, ClosingDuringBatchModeStopsItThenCloses)
{
    TForm1& form = openSimulated();
    QTimer::singleShot(100, &form, [&form] {
        EXPECT_FALSE(form.ui.ToolRead->isEnabled());
        EXPECT_FALSE(form.close());
    });
    form.ui.ToolBulk->click();
    settle();
    EXPECT_FALSE(form.ui.ToolBulk->isChecked());
    EXPECT_TRUE(form.ui.ToolRead->isEnabled());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(settingsPath)));
}

TEST_F(MainWindowTest, ReadFromTheToolBarFillsTheViewAndLogsItsCompletion)
{
    writeAll(settingsPath, "[DEVICE]\nLANGU=2\n");
    TForm1& form = openSimulated();
    form.findChild<QAction*>("SimSeatChip")->trigger();
    const uint8_t marker[] = {0x12, 0x34};
    ASSERT_EQ(belcor_sim_chip_write(0x10, marker, 2), 2);

    form.ui.ToolRead->click();
    EXPECT_TRUE(form.ui.RichEdit1->toPlainText().startsWith("Read Complete! ("));
    EXPECT_EQ(form.ui.StatusBar1->panelText(1), "Connected");
    EXPECT_FALSE(form.ui.Progress->isVisible());
    EXPECT_EQ(form.ui.FlashEditor->byteCount(), form.workbench().catalogue.currentRecord().flashSize);
    EXPECT_EQ(form.ui.FlashEditor->byteAt(0x11), 0x34);
    EXPECT_TRUE(form.ui.StatusBar1->panelText(3).startsWith("00:00:0"));
}

TEST_F(MainWindowTest, OpenLoadsIntoTheBufferOfTheVisibleTab)
{
    TForm1& form = openWindow(dir.filePath("none.Dat").toStdString());
    Workbench& bench = form.workbench();
    bench.catalogue.ChipDatabase[0] = record("24_EEPROM,Maker,WithData", 0x800, 256, 0, 0);
    SelectChip(bench, form.host(), 0, 0, 0);
    const QString file = dir.filePath("data.bin");
    writeAll(file.toStdString(), "\xA5\x5A");

    form.ui.PageControl1->setCurrentWidget(form.ui.TabSheet2);
    chooseFileInNextDialog(file);
    form.ToolOpenClick();
    EXPECT_EQ(bench.buffers.eeprom()[0], 0xA5);
    EXPECT_EQ(form.ui.EepromEditor->byteAt(1), 0x5A);
    EXPECT_EQ(bench.buffers.flash()[0], 0xFF);

    form.ui.PageControl1->setCurrentWidget(form.ui.TabSheet1);
    chooseFileInNextDialog(file);
    form.ToolOpenClick();
    EXPECT_EQ(form.ui.FlashEditor->byteAt(0), 0xA5);
    EXPECT_EQ(bench.buffers.dataLength, 2);
}

TEST_F(MainWindowTest, AboutBoxShowsProductNameOfTheLanguage)
{
    writeAll(settingsPath, "[DEVICE]\nLANGU=1\n");
    TForm1& form = openWindow();
    EXPECT_EQ(form.AboutBox()->ProductName()->text(), "Belcor高速編程器");
    MessageBoxCatcher none;
    QTimer::singleShot(20, form.AboutBox(), &QDialog::accept);
    form.ToolAboutClick();
    EXPECT_TRUE(none.texts.isEmpty());
}

}  // namespace
