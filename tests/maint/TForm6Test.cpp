#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstring>

#include "UpgradeFixture.h"
#include "core/MessageCatalogue.h"
#include "link/CommandBlock.h"
#include "maint/ui/TForm6.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"
#include "support/CaseName.h"

namespace {

class TForm6Test : public UpgradeFixture {
protected:
    QString field(const char* name) const { return form.findChild<QLineEdit*>(name)->text(); }
    QString caption(const char* name) const
    {
        if (auto* label = form.findChild<QLabel*>(name))
            return label->text();
        return form.findChild<QPushButton*>(name)->text();
    }
    QPushButton* button(const char* name) const { return form.findChild<QPushButton*>(name); }

    // Runs the command; `whileShown` acts on the open dialog.
    void runWith(std::function<void()> whileShown)
    {
        QTimer::singleShot(0, &form, [this, whileShown] {
            shownFields = {field("Edit1"), field("Edit2"), field("Edit3")};
            whileShown();
        });
        form.runHardwareCommand();
    }

    TForm6 form{workbench, host};
    QStringList shownFields;
    int chooserCalls = 0;
};

TEST_F(TForm6Test, UnpluggedProgrammerKeepsTheInitialTexts)
{
    belcor_sim_set_plugged(0);
    runWith([this] { button("BitBtn2")->click(); });
    EXPECT_EQ(shownFields, (QStringList{"V1.0", "V1.00", "A0123456789"}));
    EXPECT_TRUE(host.errorBoxes.empty());
}

TEST_F(TForm6Test, ShowsTheProgrammersTextsAndKeepsThemWhenItLeaves)
{
    belcor_sim_set_versions("H2.5", "V3.21", "SN0000000042");
    runWith([this] { button("BitBtn2")->click(); });
    EXPECT_EQ(shownFields, (QStringList{"H2.5", "V3.21", "SN0000000042"}));

    belcor_sim_set_plugged(0);
    runWith([this] { button("BitBtn2")->click(); });
    EXPECT_EQ(shownFields, (QStringList{"H2.5", "V3.21", "SN0000000042"}));
}

// The reply pause of the exchange lets the window handle a tool-bar click; it
// must not open the link under the pending reply.
TEST_F(TForm6Test, CommandsDuringTheExchangeAreRefused)
{
    belcor_sim_set_versions("H2.5", "V3.21", "SN0000000042");
    ChipRecord chip{};
    std::strcpy(chip.title, "SPI_FLASH,T,F");
    chip.flashSize = 0x1000;
    chip.flashPage = 256;
    chip.chipId = 0xEF4014;
    setCurrentChip(chip);
    seatChip({0, chip.chipId, chip.flashSize, chip.flashPage});
    int readsTried = 0;
    bool readRan = false;
    workbench.link.setSleep([&](uint32_t milliseconds) {
        host.sleepMs(milliseconds);
        if (readsTried++ == 0)
            readRan = RunOperation(workbench, host, Operation::Read);
    });
    runWith([this] { button("BitBtn2")->click(); });

    EXPECT_EQ(readsTried, 1);
    EXPECT_FALSE(readRan);
    EXPECT_TRUE(commands(CommandBlock::BeginSession).empty());
    EXPECT_EQ(shownFields, (QStringList{"H2.5", "V3.21", "SN0000000042"}));
    EXPECT_FALSE(workbench.busy);
}

TEST_F(TForm6Test, CloseOrCloseBoxStartsNoUpgrade)
{
    const QString path = QString::fromStdString(writeFirmware(0x4000));
    form.setFileChooser([&](QWidget*) { return path; });
    runWith([this] { button("BitBtn2")->click(); });
    runWith([this] { form.close(); });
    EXPECT_TRUE(form.firmwarePath().isEmpty());
    EXPECT_TRUE(commands(CommandBlock::EnterUpgrade).empty());
    EXPECT_TRUE(hidReports().empty());
}

TEST_F(TForm6Test, CancelledFileDialogKeepsTheDialogOpen)
{
    bool stillShown = false;
    form.setFileChooser([&](QWidget*) {
        ++chooserCalls;
        return QString();
    });
    runWith([&] {
        button("BitBtn1")->click();
        stillShown = form.isVisible();
        button("BitBtn2")->click();
    });
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_TRUE(stillShown);
    EXPECT_TRUE(hidReports().empty());
}

// The firmware dialog's one filter is its own pattern, shown as it stands.
TEST_F(TForm6Test, FirmwareDialogFiltersFirmwareFilesOnly)
{
    QStringList filters;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            watch.stop();
            filters = dialog->nameFilters();
            dialog->reject();
        }
    });
    runWith([&] {
        watch.start(5);
        button("BitBtn1")->click();
        button("BitBtn2")->click();
    });
    EXPECT_EQ(filters, QStringList{"*.fwpk"});
}

TEST_F(TForm6Test, PickedFileIsUpgradedAfterTheDialogCloses)
{
    const QString path = QString::fromStdString(writeFirmware(0x4000));
    form.setFileChooser([&](QWidget*) { return path; });
    runWith([this] { button("BitBtn1")->click(); });
    EXPECT_EQ(form.firmwarePath(), path);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(commands(CommandBlock::EnterUpgrade).size(), 1u);
    ASSERT_FALSE(hidCommands().empty());
    EXPECT_EQ(hidCommands().back(), 0x04);
    EXPECT_EQ(lastImage().size(), 0x4000u);
}

TEST_F(TForm6Test, PickedPathThatIsNoFileStartsNoUpgrade)
{
    form.setFileChooser([&](QWidget*) { return QString::fromStdString(folder.string()); });
    runWith([this] { button("BitBtn1")->click(); });
    EXPECT_TRUE(commands(CommandBlock::EnterUpgrade).empty());
    EXPECT_TRUE(host.errorBoxes.empty());
}

struct LanguageCase {
    int language;
    const char* title;
    const char* serialLabel;
    const char* upgrade;
    const char* close;
};

class TForm6Language : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(TForm6Language, SetsTheCaptions)
{
    OwnedWorkbench bench;
    RecordingHost host;
    TForm6 form(bench, host);
    form.ApplyLanguage(GetParam().language);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8(GetParam().title));
    if (GetParam().language == English) {
        EXPECT_EQ(form.findChild<QLabel*>("Label3")->text(), "Firmware version:");
    }
    EXPECT_EQ(form.findChild<QLabel*>("Label5")->text(), QString::fromUtf8(GetParam().serialLabel));
    EXPECT_EQ(form.findChild<QPushButton*>("BitBtn1")->text(), QString::fromUtf8(GetParam().upgrade));
    EXPECT_EQ(form.findChild<QPushButton*>("BitBtn2")->text(), QString::fromUtf8(GetParam().close));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TForm6Language,
    ::testing::Values(LanguageCase{0, "硬件信息", "系列号：  ", "升级固件", "关闭"},
                      LanguageCase{1, "硬件信息", "系列號：  ", "升級固件", "關閉"},
                      LanguageCase{2, "Hardware information", "Series number:", "Upgrade firmware", "Close"},
                      // An unknown index leaves the design's captions.
                      LanguageCase{3, "硬件信息", "系列号：  ", "升级固件", "关闭"}),
    [](const auto& info) { return LanguageCaseName(info.param.language); });

}  // namespace
