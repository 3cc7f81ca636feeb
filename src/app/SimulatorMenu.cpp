#include "app/SimulatorMenu.h"

#include <array>

#include "chips/ChipCatalogue.h"
#include "maint/SimulatorLibrary.h"
#include "core/Workbench.h"

namespace {

using Texts = std::array<const char*, 3>;  // Simplified, Traditional, English

constexpr Texts MenuCaption = {"模拟器(&M)", "模擬器(&M)", "Simulator(&M)"};
constexpr Texts SeatCaption = {"放入所选芯片（空白）", "放入所選芯片（空白）", "Seat the selected chip (blank)"};
constexpr Texts RemoveCaption = {"取出芯片", "取出芯片", "Remove the chip"};
constexpr Texts PluggedCaption = {"编程器已接入", "編程器已接入", "Programmer plugged in"};
constexpr Texts FeederCaption = {"自动送料器", "自動送料器", "Automatic feeder"};

}  // namespace

SimulatorMenu::SimulatorMenu(SimulatorLibrary& simulator, const Workbench& workbench, QWidget* parent)
    : QMenu(parent), simulator_(simulator), workbench_(workbench)
{
    setObjectName("SimulatorMenu");
    seatChip_ = addAction(QString(), this, &SimulatorMenu::SeatChipClick);
    seatChip_->setObjectName("SimSeatChip");
    removeChip_ = addAction(QString(), this, &SimulatorMenu::RemoveChipClick);
    removeChip_->setObjectName("SimRemoveChip");
    addSeparator();
    plugged_ = addAction(QString(), this, &SimulatorMenu::PluggedClick);
    plugged_->setObjectName("SimPlugged");
    plugged_->setCheckable(true);
    feeder_ = addAction(QString(), this, &SimulatorMenu::FeederClick);
    feeder_->setObjectName("SimFeeder");
    feeder_->setCheckable(true);
    connect(this, &QMenu::aboutToShow, this, &SimulatorMenu::refreshChecks);
    refreshChecks();
    ApplyLanguage(0);
}

void SimulatorMenu::ApplyLanguage(int languageIndex)
{
    const auto text = [languageIndex](const Texts& texts) { return QString::fromUtf8(texts.at(languageIndex)); };
    setTitle(text(MenuCaption));
    seatChip_->setText(text(SeatCaption));
    removeChip_->setText(text(RemoveCaption));
    plugged_->setText(text(PluggedCaption));
    feeder_->setText(text(FeederCaption));
}

void SimulatorMenu::SeatChipClick()
{
    simulator_.seatChip(workbench_.catalogue.currentRecord());
}

void SimulatorMenu::RemoveChipClick()
{
    simulator_.removeChip();
}

void SimulatorMenu::PluggedClick()
{
    simulator_.setPlugged(plugged_->isChecked());
}

void SimulatorMenu::FeederClick()
{
    simulator_.setFeeder(feeder_->isChecked());
}

void SimulatorMenu::refreshChecks()
{
    plugged_->setChecked(simulator_.isPlugged());
    feeder_->setChecked(simulator_.isFeederOn());
}
