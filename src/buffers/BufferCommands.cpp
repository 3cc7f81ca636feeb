#include "buffers/BufferCommands.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "core/HeldImage.h"
#include "core/MessageCatalogue.h"
#include "buffers/BufferFiles.h"
#include "buffers/FlashViewEdits.h"
#include "buffers/HexText.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

namespace {

// A chip record claiming more than the buffer holds is shown and saved only up
// to the buffer's end.
uint32_t flashSizeOf(const ChipRecord& chip)
{
    return std::min(chip.flashSize, BufferSet::FlashCapacity);
}

FileLoad load(const Workbench& workbench, OperationHost& host, const std::string& path, uint8_t* destination,
              uint32_t capacity)
{
    FileLoad result = LoadBufferFile(path, {destination, capacity}, workbench.languageIndex);
    for (const std::string& message : LoadMessages(result, path, workbench.languageIndex))
        host.errorBox(message);
    return result;
}

bool openIntoFlash(Workbench& workbench, OperationHost& host, const std::string& path)
{
    BufferSet& buffers = workbench.buffers;
    const uint32_t flashSize = flashSizeOf(workbench.catalogue.currentRecord());
    const int32_t offset = buffers.range.enabled ? buffers.range.start : 0;
    if (offset < 0 || static_cast<uint32_t>(offset) >= BufferSet::FlashCapacity) {
        host.errorBox(MessageCatalogue::format(Msg::OpenStartOutsideBuffer, workbench.languageIndex,
                                               {HexFieldText(static_cast<uint32_t>(offset)),
                                                HexFieldText(BufferSet::FlashCapacity - 1)}));
        return false;
    }
    uint8_t* destination = buffers.flash() + offset;
    const uint32_t capacity = BufferSet::FlashCapacity - static_cast<uint32_t>(offset);
    // Declining a file longer than the chip must leave the buffer as before the
    // command, and only loading tells how long a record file is.
    const std::vector<uint8_t> previous(destination, destination + capacity);

    const FileLoad result = load(workbench, host, path, destination, capacity);
    if (result.notOpened)
        return false;
    // A record file failing part-way has stored some records: the buffer would
    // be neither the old image nor the file's.
    if (!result.ok()) {
        std::memcpy(destination, previous.data(), capacity);
        return false;
    }
    const auto count = static_cast<uint32_t>(result.count);
    if (count > flashSize) {
        if (!host.question(MessageCatalogue::text(Msg::FileTooLong, workbench.languageIndex))) {
            std::memcpy(destination, previous.data(), capacity);
            return false;
        }
        buffers.dataLength = static_cast<int32_t>(flashSize);
    } else {
        buffers.dataLength = static_cast<int32_t>(count);
    }
    buffers.dataLength += offset;
    buffers.sourceFile = path;
    host.flashBufferChanged(flashSize);
    return true;
}

bool openIntoEeprom(Workbench& workbench, OperationHost& host, const std::string& path)
{
    BufferSet& buffers = workbench.buffers;
    const uint32_t eepromSize = workbench.catalogue.currentRecord().eepromSize;
    std::array<uint8_t, BufferSet::EepromCapacity> previous;
    std::memcpy(previous.data(), buffers.eeprom(), previous.size());
    std::memset(buffers.eeprom(), 0xFF, BufferSet::EepromCapacity);

    const FileLoad result = load(workbench, host, path, buffers.eeprom(), BufferSet::EepromCapacity);
    // A file that is unreadable or fails part-way leaves the buffer as the
    // unchanged view still shows it.
    if (result.notOpened || !result.ok() ||
        (static_cast<uint32_t>(result.count) > eepromSize &&
         !host.question(MessageCatalogue::text(Msg::FileTooLong, workbench.languageIndex)))) {
        std::memcpy(buffers.eeprom(), previous.data(), previous.size());
        return false;
    }
    host.eepromBufferChanged(std::min<uint32_t>(eepromSize, BufferSet::EepromCapacity));
    return true;
}

}  // namespace

bool OpenBufferFile(Workbench& workbench, OperationHost& host, BufferTab tab, const std::string& path)
{
    if (RefusedWhileHeld(workbench, host))
        return false;
    bool loaded = true;
    if (tab == BufferTab::Flash) {
        // A file loaded at the range start keeps the bytes around it, edits included.
        TakeOverFlashViewEdits(workbench, host);
        loaded = openIntoFlash(workbench, host, path);
    }
    else if (tab == BufferTab::Eeprom)
        loaded = openIntoEeprom(workbench, host, path);
    if (!loaded)
        return false;
    host.insertLogLine(MessageCatalogue::text(Msg::Open, workbench.languageIndex) + path + " (" +
                       host.longTimeText() + ")");
    return true;
}

bool SaveFlashBuffer(Workbench& workbench, OperationHost& host, const std::string& path)
{
    if (workbench.busy) {
        host.beep();
        return false;
    }
    TakeOverFlashViewEdits(workbench, host);
    if (!SaveBufferFile(path, workbench.buffers.flash(), flashSizeOf(workbench.catalogue.currentRecord()), host,
                        workbench.languageIndex))
        return false;
    workbench.buffers.unsaved = false;
    workbench.buffers.sourceFile = path;
    return true;
}

bool FillBuffer(Workbench& workbench, OperationHost& host, const FillRequest& request)
{
    if (RefusedWhileHeld(workbench, host))
        return false;
    TakeOverFlashViewEdits(workbench, host);
    return FillFlashBuffer(workbench.buffers, host, request, workbench.languageIndex);
}
