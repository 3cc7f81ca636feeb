#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The model of one drop-down list of the chip group: its items, in the order
// they were added and never sorted, and a selection position (-1 = none).
struct ChoiceList {
    std::vector<std::string> items;  // UTF-8
    int32_t position = -1;

    // Position of the first item equal to `text` without regard to ASCII
    // letter case, or -1.
    int32_t find(const std::string& text) const;
    // The item at `index`, or an empty text when there is no such item.
    std::string at(int32_t index) const;
    // The selected item, or an empty text.
    std::string selectedText() const { return at(position); }
    int32_t count() const { return static_cast<int32_t>(items.size()); }

    // Selects `index`; an index outside the list leaves nothing selected.
    void select(int32_t index);
    void clear();
};
