#include "cli/ChipChoice.h"

#include <algorithm>

#include "chips/ChipText.h"
#include "chips/SplitTitle.h"

namespace {

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && ChipText::equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::vector<ChipSearchRow> allRows(const ChipCatalogue& catalogue)
{
    std::vector<ChipSearchRow> rows;
    for (int32_t slot = 0; slot < catalogue.recordCount(); ++slot)
        rows.push_back(ChipRowOf(catalogue, slot));
    return rows;
}

template <typename Predicate>
std::vector<ChipSearchRow> rowsWhere(const std::vector<ChipSearchRow>& rows, Predicate predicate)
{
    std::vector<ChipSearchRow> matching;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(matching), predicate);
    return matching;
}

}  // namespace

ChipSearchRow ChipRowOf(const ChipCatalogue& catalogue, int32_t slot)
{
    const std::vector<std::string> items =
        SplitTitle(ChipText::titleBytes(catalogue.ChipDatabase[static_cast<size_t>(slot)]));
    const auto item = [&items](size_t index) {
        return index < items.size() ? ChipText::gbkToUtf8(ChipText::trimmed(items[index])) : std::string();
    };
    return ChipSearchRow{item(0), item(1), item(2), slot};
}

std::string ChipTitleText(const ChipSearchRow& row)
{
    return row.type + "," + row.manufacturer + "," + row.name;
}

ChipChoice ChooseChip(const ChipCatalogue& catalogue, const std::string& wanted)
{
    const std::vector<ChipSearchRow> rows = allRows(catalogue);
    const size_t firstComma = wanted.find(',');
    if (firstComma != std::string::npos) {
        const size_t secondComma = wanted.find(',', firstComma + 1);
        if (secondComma == std::string::npos)
            return {};
        const std::string type = ChipText::trimmed(wanted.substr(0, firstComma));
        const std::string manufacturer = ChipText::trimmed(wanted.substr(firstComma + 1, secondComma - firstComma - 1));
        const std::string name = ChipText::trimmed(wanted.substr(secondComma + 1));
        return {rowsWhere(rows, [&](const ChipSearchRow& row) {
            return ChipText::equalsIgnoringCase(row.type, type) &&
                   ChipText::equalsIgnoringCase(row.manufacturer, manufacturer) &&
                   ChipText::equalsIgnoringCase(row.name, name);
        })};
    }
    const std::string name = ChipText::trimmed(wanted);
    std::vector<ChipSearchRow> exact =
        rowsWhere(rows, [&](const ChipSearchRow& row) { return ChipText::equalsIgnoringCase(row.name, name); });
    if (!exact.empty())
        return {exact};
    // Whatever 'belcor-cli list' shows for the same text is a candidate too.
    std::vector<int32_t> listed;
    for (const ChipSearchRow& row : FindChips(catalogue, name))
        listed.push_back(row.slot);
    return {rowsWhere(rows, [&](const ChipSearchRow& row) {
        return startsWithIgnoringCase(row.name, name) ||
               std::find(listed.begin(), listed.end(), row.slot) != listed.end();
    })};
}

std::string ChipChoice::refusal(const std::string& wanted) const
{
    if (candidates.empty())
        return "no chip in the database matches \"" + wanted + "\"; see 'belcor-cli list'";
    if (unique())
        return {};
    std::string text = "the chip \"" + wanted + "\" is ambiguous; choose one with --chip TYPE,MANUFACTURER,NAME:";
    for (const ChipSearchRow& row : candidates)
        text += "\n  " + ChipTitleText(row);
    return text;
}
