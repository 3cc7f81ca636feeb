#pragma once

#include <cstdint>
#include <vector>

// A serial number written into the image for one chip: the bytes at its
// address are replaced in place and put back when the patch ends, so each
// chip gets its own copy of the image without the image ever being copied.
class SerialPatch {
public:
    SerialPatch(uint8_t* image, uint32_t address, const std::vector<uint8_t>& bytes);
    ~SerialPatch();
    SerialPatch(const SerialPatch&) = delete;
    SerialPatch& operator=(const SerialPatch&) = delete;

private:
    uint8_t* at_;
    std::vector<uint8_t> original_;
};
