#pragma once

#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "chips/ChipSearch.h"

// The chip that --chip names. "TYPE,MANUFACTURER,NAME" must match one title
// item for item; a bare NAME matches chip names (letter case ignored), and
// when no name equals it, the names that begin with it and every chip
// 'belcor-cli list NAME' shows. More than one match is refused with the
// candidates, so that a chip is never guessed.
struct ChipChoice {
    std::vector<ChipSearchRow> candidates;

    bool unique() const { return candidates.size() == 1; }
    // Why no chip was chosen, with the candidates one per line; empty when unique.
    std::string refusal(const std::string& wanted) const;
};

ChipChoice ChooseChip(const ChipCatalogue& catalogue, const std::string& wanted);

// A record's title items (trimmed, UTF-8); missing items are empty.
ChipSearchRow ChipRowOf(const ChipCatalogue& catalogue, int32_t slot);

// "TYPE,MANUFACTURER,NAME", the form --chip takes.
std::string ChipTitleText(const ChipSearchRow& row);
