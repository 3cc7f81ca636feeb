#include "buffers/BufferSet.h"

#include <algorithm>
#include <cstring>

BufferSet::BufferSet() : flash_(FlashCapacity), eeprom_(EepromCapacity, 0xFF) {}

BufferSet::BufferSet(const BufferSet& station, Image image, uint32_t span)
    : dataLength(station.dataLength), range(station.range), unsaved(station.unsaved),
      sourceFile(station.sourceFile), shared_(image == Image::Shared ? &station : nullptr),
      flash_(image == Image::Shared ? 0 : FlashCapacity), eeprom_(station.eeprom_)
{
    if (image == Image::Shared)
        return;
    const uint32_t copied = std::min(span, FlashCapacity);
    std::memcpy(flash_.reach(copied), station.flash(copied), copied);
}

void BufferSet::ResetBuffers(uint32_t flashSize)
{
    flash_.erase();
    dataLength = 0;
    unsaved = false;
    sourceFile.clear();
    range.end = static_cast<int32_t>(flashSize - 1);
}
