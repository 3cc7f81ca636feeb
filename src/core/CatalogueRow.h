#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "core/MessageCatalogue.h"

// One row of the message catalogue: the message it is for and its three texts.
struct CatalogueRow {
    Msg id;
    std::array<std::string_view, 3> texts;  // Simplified, Traditional, English
};

// True when every row stands at its own message's place. The catalogue is
// checked with it as it is built, so a row moved, swapped or left out stops
// the build instead of showing one message another's text.
template <size_t N>
constexpr bool RowsFollowTheirKeys(const std::array<CatalogueRow, N>& rows)
{
    for (size_t i = 0; i < N; ++i) {
        if (rows[i].id != static_cast<Msg>(i))
            return false;
    }
    return true;
}
