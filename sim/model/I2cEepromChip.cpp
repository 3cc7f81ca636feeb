#include "model/I2cEepromChip.h"

#include <algorithm>

std::string I2cEepromChip::erase(uint16_t parameter, const ChipContext& context)
{
    const uint32_t page = context.pageSize;
    const uint32_t start = parameter - parameter % page;
    if (start >= spec().size)
        return "Erase of page " + std::to_string(parameter) + " past the end of the chip";
    std::fill(cells() + start, cells() + std::min(start + page, spec().size), 0xFF);
    return {};
}
