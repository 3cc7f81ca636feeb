#include "buffers/BufferSet.h"

#include <algorithm>
#include <cstring>

BufferSet::BufferSet() : eeprom_(EepromCapacity, 0xFF) {}

BufferSet::BufferSet(const BufferSet& station, Image image, uint32_t span)
    : dataLength(station.dataLength), range(station.range), unsaved(station.unsaved),
      sourceFile(station.sourceFile), eeprom_(station.eeprom_)
{
    const uint8_t* source = station.flash();
    if (image == Image::Shared) {
        sharedFlash_ = const_cast<uint8_t*>(source);
        return;
    }
    const uint32_t copied = std::min(span, FlashCapacity);
    std::call_once(flashMade_, [this, source, copied] { flash_.assign(source, source + copied); });
}

uint8_t* BufferSet::flashBlock() const
{
    if (sharedFlash_ != nullptr)
        return sharedFlash_;
    std::call_once(flashMade_, [this] { flash_.assign(FlashCapacity, 0xFF); });
    return flash_.data();
}

void BufferSet::ResetBuffers(uint32_t flashSize)
{
    bool made = false;
    std::call_once(flashMade_, [this, &made] {
        flash_.assign(FlashCapacity, 0xFF);
        made = true;
    });
    if (!made)
        std::memset(flash_.data(), 0xFF, flash_.size());
    dataLength = 0;
    unsaved = false;
    sourceFile.clear();
    range.end = static_cast<int32_t>(flashSize - 1);
}
