#include "chips/ChipSearch.h"

#include <algorithm>

#include "chips/ChipText.h"
#include "chips/SplitTitle.h"

std::vector<ChipSearchRow> FindChips(const ChipCatalogue& catalogue, const std::string& needle)
{
    std::vector<ChipSearchRow> rows;
    const std::string wanted = ChipText::trimmed(needle);
    if (wanted.empty())
        return rows;
    const int32_t count = catalogue.recordCount();
    for (int32_t slot = 0; slot < count; ++slot) {
        const std::string title = ChipText::titleBytes(catalogue.ChipDatabase[static_cast<size_t>(slot)]);
        if (ChipText::gbkToUtf8(title).find(wanted) == std::string::npos)
            continue;
        std::vector<std::string> items = SplitTitle(title);
        items.resize(std::max<size_t>(items.size(), 3));
        rows.push_back({ChipText::gbkToUtf8(items[0]), ChipText::gbkToUtf8(items[1]), ChipText::gbkToUtf8(items[2]), slot});
    }
    return rows;
}
