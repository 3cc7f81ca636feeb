#pragma once

#include <cstdint>
#include <vector>

#include "ops/BlockRoutines.h"
#include "ops/FlashInstructions.h"

// How one 4 KiB sector of a serial flash compares with what it should hold.
enum class SectorState {
    Equal,        // nothing to do
    ProgramOnly,  // programming alone gets there: no bit has to go from 0 to 1
    NeedsErase,
};

SectorState ClassifySector(const uint8_t* present, const uint8_t* wanted, uint32_t length);

// What an Update does to a chip, worked out from its present contents and the
// target, both indexed by chip address over the chip's size.
struct UpdatePlan {
    struct Erase {
        EraseUnit unit;
        uint32_t address;
    };
    bool chipErase = false;            // one erase of the whole chip instead of `erases`
    std::vector<Erase> erases;         // in address order
    std::vector<StreamSpan> programs;  // runs of blocks to program from the target
    std::vector<StreamSpan> touched;   // runs of sectors (pages) erased or programmed

    // Sectors of a serial flash, pages of an EEPROM. An EEPROM counts its
    // written pages as programmed and erases none.
    uint32_t skipped = 0;
    uint32_t programmed = 0;
    uint32_t erased = 0;
};

// Serial flash: each sector is skipped, programmed (only the blocks that
// differ) or erased and then programmed where the target is not blank. Where
// that is cheaper, a 64 KiB block erase stands in for the erases of its
// sectors, or one chip erase for all of them. `block` is the programming unit
// and divides 4 KiB. Given `eraseWithin`, block and chip erases are chosen
// only where they fall wholly inside one of its spans.
UpdatePlan PlanFlashUpdate(const uint8_t* present, const uint8_t* target, uint32_t size, uint32_t block,
                           const std::vector<StreamSpan>& eraseWithin = {});

// EEPROM: writes replace bytes, so each block that differs is written.
UpdatePlan PlanEepromUpdate(const uint8_t* present, const uint8_t* target, uint32_t size, uint32_t block);
