#include "buffers/BufferSet.h"

BufferSet::BufferSet() : flash_(FlashCapacity), eeprom_(EepromCapacity, 0xFF) {}

void BufferSet::ResetBuffers(uint32_t flashSize)
{
    flash_.erase();
    dataLength = 0;
    unsaved = false;
    range.end = static_cast<int32_t>(flashSize - 1);
}
