#include "ops/FamilyBehaviour.h"

#include "chips/ChipRecord.h"

FamilyBehaviour BehaviourOfClass(uint8_t chipClass)
{
    switch (chipClass) {
    case SpiFlash25:
        return {EraseMethod::WholeChipPolled, 0};
    case I2cEeprom24:
        // The programmer acknowledges the last block before the EEPROM has
        // finished its internal write cycle.
        return {EraseMethod::PageByPage, 100};
    case MicrowireEeprom93:
        return {EraseMethod::SingleCommand, 0};
    case SpiEeprom95:
        return {EraseMethod::ProgramBlank, 0};
    default:  // AVR: writes replace bytes, and the programmer offers no erase
        return {EraseMethod::None, 0};
    }
}
