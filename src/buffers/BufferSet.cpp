#include "buffers/BufferSet.h"

#include <cstring>

BufferSet::BufferSet() : eeprom_(EepromCapacity, 0xFF) {}

BufferSet::BufferSet(const BufferSet& other)
    : dataLength(other.dataLength), range(other.range), unsaved(other.unsaved),
      sourceFile(other.sourceFile), eeprom_(other.eeprom_)
{
    const uint8_t* source = other.flash();
    std::call_once(flashMade_, [this, source] { flash_.assign(source, source + FlashCapacity); });
}

uint8_t* BufferSet::flashBlock() const
{
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
