#include "buffers/BufferSet.h"

#include <cstring>

BufferSet::BufferSet() : flash_(FlashCapacity, 0xFF), eeprom_(EepromCapacity, 0xFF) {}

void BufferSet::ResetBuffers(uint32_t flashSize)
{
    std::memset(flash_.data(), 0xFF, flash_.size());
    dataLength = 0;
    unsaved = false;
    range.end = static_cast<int32_t>(flashSize - 1);
}
