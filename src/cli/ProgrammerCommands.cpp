#include "cli/ProgrammerCommands.h"

#include <vector>

#include <nlohmann/json.hpp>

#include "cli/ExitStatus.h"
#include "core/MessageCatalogue.h"
#include "link/DeviceSession.h"
#include "link/ProgrammerIdentity.h"
#include "maint/FirmwareUpgrade.h"
#include "maint/HardwareInfo.h"

using namespace ExitStatus;
using Command = CommandLine::Command;

int ProgrammerCommands::run()
{
    switch (line_.command) {
    case Command::Status:
        return status();
    case Command::Info:
        return info();
    case Command::Upgrade:
        return upgrade();
    default:
        return programmers();
    }
}

int ProgrammerCommands::status()
{
    ConnectionCheck(workbench_, host_);
    host_.setFigure("connected", !host_.programmerLost());
    host_.printLine(host_.stateText());
    return host_.programmerLost() ? Failure : Success;
}

int ProgrammerCommands::info()
{
    HardwareInfo info;
    if (!HardwareInfo::query(workbench_.link, info)) {
        host_.printError(MessageCatalogue::text(Msg::NotConnected, English));
        return NoProgrammer;
    }
    host_.setFigure("hardware", info.hardware);
    host_.setFigure("firmware", info.firmware);
    host_.setFigure("serial", info.serial);
    host_.printLine("Hardware version: " + info.hardware);
    host_.printLine("Firmware version: " + info.firmware);
    host_.printLine("Series number: " + info.serial);
    return Success;
}

int ProgrammerCommands::upgrade()
{
    host_.setStateText("Upgrade firmware");
    if (!UpgradeFirmware(workbench_, host_, line_.files.front()))
        return Failure;
    host_.insertLogLine(MessageCatalogue::text(Msg::UpgradeDone, English) + " (" + host_.longTimeText() + ")");
    return Success;
}

// One line per programmer. The serial number and firmware come from the
// programmer's hardware information, which only a free programmer can give;
// one that another program holds shows its USB serial string instead.
int ProgrammerCommands::programmers()
{
    using namespace ProgrammerIdentity;
    const std::vector<TUsbBulk::Port> ports = TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product);
    if (ports.empty()) {
        host_.printError(MessageCatalogue::text(Msg::NotConnected, English));
        return NoProgrammer;
    }
    host_.printLine("BUS/DEVICE  SERIAL         FIRMWARE  STATE");
    for (const TUsbBulk::Port& port : ports) {
        HardwareInfo info;
        info.serial = port.serial;
        std::string state = "in use";
        if (port.claimable) {
            TUsbBulk link;
            link.setTarget(port.position);
            state = HardwareInfo::query(link, info) ? "ready" : "no answer";
        }
        const auto column = [](std::string value, size_t width) {
            value = value.empty() ? "-" : value;
            return value.size() < width ? value + std::string(width - value.size(), ' ') : value + " ";
        };
        host_.appendFigure("programmers", {{"position", port.position},
                                           {"serial", info.serial},
                                           {"firmware", info.firmware},
                                           {"state", state}});
        host_.printLine(column(port.position, 12) + column(info.serial, 15) + column(info.firmware, 10) + state);
    }
    return Success;
}
