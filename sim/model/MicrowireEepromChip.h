#pragma once

#include "model/Chip.h"

// 93-series Microwire EEPROM: writes replace bytes; Erase blanks the whole
// chip whatever its parameter.
class MicrowireEepromChip : public Chip {
public:
    using Chip::Chip;

    std::string erase(uint16_t parameter, const ChipContext& context) override;
};
