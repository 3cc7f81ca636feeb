#pragma once

#include <cstdint>
#include <vector>

#include "buffers/ErasedBlock.h"

// The optional address range of Write, Verify and Open, as typed in hex.
struct AddressRange {
    int32_t start = 0;      // RangeStart
    int32_t end = 0xFFFF;   // RangeEnd (inclusive)
    bool enabled = false;   // CheckBox5
};

// The FLASH and EEPROM buffers: fixed capacities, of which the selected chip's
// sizes are shown and used, plus the count of FLASH bytes that hold data.
class BufferSet {
public:
    static constexpr uint32_t FlashCapacity = 0x4000000;  // 64 MiB
    static constexpr uint32_t EepromCapacity = 0x2000;    // 8 KiB

    BufferSet();
    // A copy holds its own FLASH bytes: a gang's programmer patches serial
    // numbers into it without touching the station's image.
    BufferSet(const BufferSet& other) = default;
    BufferSet& operator=(const BufferSet&) = delete;

    // The FLASH buffer, all of its capacity usable, 0xFF where nothing was put.
    uint8_t* flash() { return flash_.reach(FlashCapacity); }
    const uint8_t* flash() const { return flash_.reach(FlashCapacity); }
    // The same, for a caller that touches no byte from `count` on: only that
    // much takes memory, so a 16 MiB chip costs 16 MiB rather than 64.
    uint8_t* flash(uint32_t count) { return flash_.reach(count); }
    const uint8_t* flash(uint32_t count) const { return flash_.reach(count); }
    uint8_t* eeprom() { return eeprom_.data(); }
    const uint8_t* eeprom() const { return eeprom_.data(); }

    // Chip selection: FLASH all 0xFF, no data, nothing unsaved, range end at the chip's last byte.
    // The EEPROM buffer is deliberately left alone.
    void ResetBuffers(uint32_t flashSize);

    int32_t dataLength = 0;
    AddressRange range;
    // A file loaded, a fill or view edits taken over, not yet written to a
    // chip or saved: replacing the buffer now would lose them.
    bool unsaved = false;

private:
    ErasedBlock flash_;
    std::vector<uint8_t> eeprom_;
};
