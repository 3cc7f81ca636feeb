#include "maint/ui/TForm6.h"

#include <array>

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "maint/FirmwareUpgrade.h"
#include "maint/HardwareInfo.h"
#include "core/BusyScope.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "ui_TForm6.h"

namespace {

// Captions in Simplified Chinese, Traditional Chinese and English.
using Captions = std::array<const char*, 3>;
constexpr Captions DialogCaption = {"硬件信息", "硬件信息", "Hardware information"};
constexpr Captions HardwareLabel = {"硬件版本：", "硬件版本：", "Hardware version:"};
constexpr Captions FirmwareLabel = {"固件版本：", "固件版本：", "Firmware version:"};
// The Chinese captions end in two blanks, which keep the colons of the three
// labels in line in the dialog's design.
constexpr Captions SerialLabel = {"系列号：  ", "系列號：  ", "Series number:"};
constexpr Captions UpgradeButton = {"升级固件", "升級固件", "Upgrade firmware"};
constexpr Captions CloseButton = {"关闭", "關閉", "Close"};

// A filter without a description shows its pattern as its name: "*.fwpk".
QString openFirmwareDialog(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, QString(), QString(), QStringLiteral("*.fwpk"));
}

}  // namespace

TForm6::TForm6(Workbench& bench, OperationHost& host, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TForm6>()), bench_(bench), host_(host), chooseFile_(openFirmwareDialog)
{
    ui_->setupUi(this);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TForm6::chooseFirmwareFile);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &TForm6::closeWithoutUpgrade);
}

TForm6::~TForm6() = default;

void TForm6::runHardwareCommand()
{
    firmwarePath_.clear();
    if (bench_.busy) {
        host_.beep();
        return;
    }
    HardwareInfo info;
    bool answered = false;
    {
        BusyScope busy(bench_);
        answered = HardwareInfo::query(bench_.link, info);
    }
    if (answered)
        showHardwareInfo(info);
    exec();
    host_.pumpEvents();
    if (!firmwarePath_.isEmpty() && QFileInfo(firmwarePath_).isFile())
        UpgradeFirmware(bench_, host_, QFile::encodeName(firmwarePath_).toStdString());
}

void TForm6::ApplyLanguage(int language)
{
    if (language < 0 || language > 2)
        return;
    const auto text = [language](const Captions& captions) { return QString::fromUtf8(captions[language]); };
    setWindowTitle(text(DialogCaption));
    ui_->Label1->setText(text(HardwareLabel));
    ui_->Label3->setText(text(FirmwareLabel));
    ui_->Label5->setText(text(SerialLabel));
    ui_->BitBtn1->setText(text(UpgradeButton));
    ui_->BitBtn2->setText(text(CloseButton));
}

void TForm6::showHardwareInfo(const HardwareInfo& info)
{
    // The programmer sends single-byte texts.
    ui_->Edit1->setText(QString::fromLatin1(info.hardware));
    ui_->Edit2->setText(QString::fromLatin1(info.firmware));
    ui_->Edit3->setText(QString::fromLatin1(info.serial));
}

void TForm6::chooseFirmwareFile()
{
    const QString path = chooseFile_(this);
    if (path.isEmpty())
        return;
    firmwarePath_ = path;
    accept();
}

void TForm6::closeWithoutUpgrade()
{
    firmwarePath_.clear();
    reject();
}
