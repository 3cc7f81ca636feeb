#pragma once

#include "model/Chip.h"

// 24-series I2C EEPROM: writes replace bytes; Erase blanks one page, named by
// the low 16 bits of its address.
class I2cEepromChip : public Chip {
public:
    using Chip::Chip;

    std::string erase(uint16_t parameter, const ChipContext& context) override;
};
