#include "link/TUsbBulk.h"
#include "maint/FirmwareUpgrade.h"

#include "buffers/BufferFiles.h"
#include "link/CommandBlock.h"
#include "link/ProgrammerIdentity.h"
#include "maint/BootLoaderIdentity.h"
#include "core/BusyScope.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "maint/HidDevice.h"

namespace {

void putU32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t u32At(const uint8_t* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

}  // namespace

FirmwareUpgrade::FirmwareUpgrade(Workbench& bench, OperationHost& host) : bench_(bench), host_(host) {}

bool FirmwareUpgrade::run(const std::string& path)
{
    if (bench_.busy) {
        host_.beep();
        return false;
    }
    BusyScope busy(bench_);
    return upgrade(path);
}

bool FirmwareUpgrade::upgrade(const std::string& path)
{
    // The file is checked before the programmer leaves its normal mode: a
    // programmer sent into its boot loader without an image to take would be
    // left there.
    if (!loadImage(path))
        return false;
    enterBootLoader();
    if (!findBootLoader())
        return fail(Msg::BootLoaderNotFound);

    host_.showProgress(length_);
    const bool sent = sendImage();
    bench_.hid.hid_close();
    // The bars stay, at 0, until the next operation hides them; a good
    // upgrade says nothing more.
    host_.setProgress(0);
    return sent;
}

bool FirmwareUpgrade::loadImage(const std::string& path)
{
    block_.assign(BlockSize, 0xFF);
    const FileLoad load = LoadBufferFile(path, {block_.data(), BlockSize}, bench_.languageIndex);
    for (const std::string& message : LoadMessages(load, path, bench_.languageIndex))
        host_.errorBox(message);
    if (!load.ok())
        return false;
    if (load.count <= 0)
        return fail(Msg::FirmwareFileEmpty);
    length_ = static_cast<uint32_t>(load.count);
    return true;
}

void FirmwareUpgrade::enterBootLoader()
{
    // A programmer that cannot be opened may already be in its boot loader, so
    // the search goes on either way.
    TUsbBulk& link = bench_.link;
    if (link.prog_open(ProgrammerIdentity::VendorId, ProgrammerIdentity::Manufacturer, ProgrammerIdentity::ProductId,
                       ProgrammerIdentity::Product) == 0)
        return;
    CommandBlock block;
    block.reuseForEnterUpgrade();
    link.USB_bulk_cmd(block.data(), CommandBlock::Size, 1);
    link.USB_bulk_close();
}

bool FirmwareUpgrade::findBootLoader()
{
    for (int attempt = 0; attempt < BootLoaderAttempts; ++attempt) {
        host_.sleepMs(AttemptPauseMs);
        host_.pumpEvents();
        if (bench_.hid.hid_open(BootLoaderIdentity::VendorId, BootLoaderIdentity::Manufacturer,
                                BootLoaderIdentity::ProductId, BootLoaderIdentity::Product) == HidDevice::Opened)
            return true;
    }
    return false;
}

bool FirmwareUpgrade::sendImage()
{
    reply_.fill(0);
    if (!exchange(commandReport(Connect), true) || !exchange(commandReport(Layout), true))
        return fail(Msg::UpgradeTransferFailed);
    const uint32_t startAddress = u32At(&reply_[1]);
    const uint32_t pageSize = reply_[5] | (reply_[6] << 8);
    if (pageSize == 0)
        return fail(Msg::UpgradePageSizeZero);
    const uint32_t pages = length_ / pageSize + (length_ % pageSize != 0 ? 1 : 0);

    Report prepare = commandReport(Prepare);
    putU32(&prepare[2], startAddress);
    // The report has room for the low byte of the page count only.
    prepare[6] = static_cast<uint8_t>(pages);
    putU32(&prepare[7], length_);
    if (!exchange(prepare, true))
        return fail(Msg::UpgradeTransferFailed);
    host_.sleepMs(PauseBeforeDataMs);

    for (uint32_t offset = 0; offset < length_; offset += BytesPerDataReport) {
        if (!exchange(dataReport(offset), false))
            return fail(Msg::UpgradeTransferFailed);
        host_.setProgress(offset);
        host_.pumpEvents();
    }
    if (!exchange(commandReport(Finish), false))
        return fail(Msg::UpgradeTransferFailed);
    return true;
}

bool FirmwareUpgrade::exchange(const Report& report, bool withReply)
{
    if (!bench_.hid.hid_write(HidDevice::Output, report.data(), report.size()))
        return false;
    return !withReply || bench_.hid.hid_read(HidDevice::Input, reply_.data(), reply_.size());
}

FirmwareUpgrade::Report FirmwareUpgrade::commandReport(Command command)
{
    // Bytes a command does not use are sent as zeros.
    Report report{};
    report[0] = 1;  // report id
    report[1] = command;
    return report;
}

FirmwareUpgrade::Report FirmwareUpgrade::dataReport(uint32_t imageOffset) const
{
    Report report = commandReport(Data);
    // The image is sent for the file's whole length, from ImageOffset on, so
    // its tail lies past the file (0xFF from the fill) and may lie past the
    // block, which reads as 0xFF too.
    const uint64_t first = uint64_t{ImageOffset} + imageOffset;
    for (uint32_t i = 0; i < BytesPerDataReport; ++i) {
        const uint64_t at = first + i;
        report[2 + i] = at < block_.size() ? block_[at] : 0xFF;
    }
    return report;
}

bool FirmwareUpgrade::fail(Msg message)
{
    host_.errorBox(MessageCatalogue::text(message, bench_.languageIndex));
    return false;
}

bool UpgradeFirmware(Workbench& bench, OperationHost& host, const std::string& path)
{
    return FirmwareUpgrade(bench, host).run(path);
}
