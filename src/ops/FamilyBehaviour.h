#pragma once

#include <cstdint>

// How a chip family erases.
enum class EraseMethod {
    WholeChipPolled,  // one Erase, then PollStatus until the chip is ready
    PageByPage,       // one Erase per page, nothing to poll
    SingleCommand,    // one Erase carrying the record's delay
    ProgramBlank,     // no erase command, but writes replace bytes: 0xFF written and read back
    None,             // the family has no erase command, nor a way to blank it
};

// Everything the operations do differently per chip class, decided in one place.
struct FamilyBehaviour {
    EraseMethod erase = EraseMethod::None;
    // Pause after the last written block, for the chip's own write cycle.
    uint32_t writeSettleMs = 0;
};

FamilyBehaviour BehaviourOfClass(uint8_t chipClass);
