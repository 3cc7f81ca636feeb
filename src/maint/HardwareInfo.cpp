#include "maint/HardwareInfo.h"

#include "link/CommandBlock.h"
#include "link/ProgrammerIdentity.h"
#include "link/TUsbBulk.h"

bool HardwareInfo::query(TUsbBulk& link, HardwareInfo& info)
{
    if (link.prog_open(ProgrammerIdentity::VendorId, ProgrammerIdentity::Manufacturer, ProgrammerIdentity::ProductId,
                       ProgrammerIdentity::Product) == 0)
        return false;
    CommandBlock block = CommandBlock::getHardwareInfo();
    const int received = link.USB_bulk_cmd(block.data(), CommandBlock::Size, 1);
    link.USB_bulk_close();
    // A lost reply leaves the request's zeros in the block; showing them would
    // blank the fields, so the previous texts stay.
    if (received != CommandBlock::Size)
        return false;
    info.hardware = block.hardwareVersion();
    info.firmware = block.firmwareVersion();
    info.serial = block.serialNumber();
    return true;
}
