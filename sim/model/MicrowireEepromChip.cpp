#include "model/MicrowireEepromChip.h"

#include <algorithm>

std::string MicrowireEepromChip::erase(uint16_t, const ChipContext&)
{
    std::fill(cells(), cells() + spec().size, 0xFF);
    return {};
}
