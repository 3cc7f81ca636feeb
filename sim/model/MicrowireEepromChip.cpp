#include "model/MicrowireEepromChip.h"

std::string MicrowireEepromChip::erase(uint16_t, const ChipContext&)
{
    eraseAll();
    return {};
}
