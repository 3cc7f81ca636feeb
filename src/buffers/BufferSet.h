#pragma once

#include <cstdint>
#include <string>
#include <utility>
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

    // How one programmer of a station holds the station's FLASH image.
    enum class Image {
        Shared,  // read in place: its routines only read the image (Auto does)
        Copied,  // its own copy, into which it patches serial numbers
    };

    BufferSet();
    // One programmer's set beside the station's: its own data length, range
    // and unsaved flag, so that the programmers of a station write nothing
    // they share, over the station's image. A copy holds the image's first
    // `span` bytes only (the chip's span), not the whole 64 MiB.
    BufferSet(const BufferSet& station, Image image, uint32_t span);
    BufferSet(const BufferSet&) = delete;
    BufferSet& operator=(const BufferSet&) = delete;

    // The FLASH buffer, all of its capacity usable, 0xFF where nothing was put.
    uint8_t* flash() { return flash(FlashCapacity); }
    const uint8_t* flash() const { return flash(FlashCapacity); }
    // The same, for a caller that touches no byte from `count` on: only that
    // much takes memory, so a 16 MiB chip costs 16 MiB rather than 64.
    uint8_t* flash(uint32_t count) { return const_cast<uint8_t*>(std::as_const(*this).flash(count)); }
    const uint8_t* flash(uint32_t count) const
    {
        return shared_ != nullptr ? shared_->flash(count) : flash_.reach(count);
    }
    uint8_t* eeprom() { return eeprom_.data(); }
    const uint8_t* eeprom() const { return eeprom_.data(); }

    // Chip selection: FLASH all 0xFF, no data, nothing unsaved, no source
    // file, range end at the chip's last byte. The EEPROM buffer is
    // deliberately left alone.
    void ResetBuffers(uint32_t flashSize);

    int32_t dataLength = 0;
    AddressRange range;
    // Bytes the user typed into the FLASH view, taken over but not yet written
    // to a chip or saved: they exist nowhere else, so replacing the buffer now
    // would lose them. A loaded file or a fill can be had again.
    bool unsaved = false;
    // The file the FLASH buffer was last loaded from or saved to; none once a
    // chip read has written into it.
    std::string sourceFile;

private:
    const BufferSet* shared_ = nullptr;  // the station's, for Image::Shared
    ErasedBlock flash_;
    std::vector<uint8_t> eeprom_;
};
