#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"

// One row of the chip search dialog: the title's three items as they stand
// (decoded, not trimmed) and the record's slot.
struct ChipSearchRow {
    std::string type;
    std::string manufacturer;
    std::string name;
    int32_t slot = -1;
};

// Every record whose whole title contains `needle` (trimmed first; exact,
// case-sensitive), in table order. An empty needle matches nothing. The match
// runs on the decoded title, so a needle never matches half of a double-byte
// character.
std::vector<ChipSearchRow> FindChips(const ChipCatalogue& catalogue, const std::string& needle);
