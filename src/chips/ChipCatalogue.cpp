#include "chips/ChipCatalogue.h"

#include <cstdio>

#include "chips/ChipText.h"
#include "chips/SplitTitle.h"

namespace {

// Item `index` of a split title, decoded and trimmed; missing items of a
// malformed title read as empty.
std::string titleItem(const std::vector<std::string>& items, size_t index)
{
    return index < items.size() ? ChipText::trimmed(ChipText::gbkToUtf8(items[index])) : std::string();
}

std::string formatUnsigned(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    return text;
}

}  // namespace

ChipCatalogue::ChipCatalogue() = default;

const ChipRecord& ChipCatalogue::currentRecord() const
{
    return ChipDatabase[static_cast<size_t>(currentChip)];
}

int32_t ChipCatalogue::recordCount() const
{
    int32_t count = 0;
    while (count < SlotCount && ChipDatabase[static_cast<size_t>(count)].title[0] != 0)
        ++count;
    return count;
}

int32_t ChipCatalogue::selectInLists(int32_t typeIndex, int32_t manufacturerIndex, int32_t nameIndex)
{
    manufacturerList.clear();
    nameList.clear();
    int32_t nameCount = 0;
    int32_t found = -1;
    const int32_t count = recordCount();
    for (int32_t i = 0; i < count; ++i) {
        const std::vector<std::string> items = SplitTitle(ChipText::titleBytes(ChipDatabase[static_cast<size_t>(i)]));
        const std::string type = titleItem(items, 0);
        if (typeList.find(type) == -1)
            typeList.items.push_back(type);
        if (type != typeList.at(typeIndex))
            continue;
        const std::string manufacturer = titleItem(items, 1);
        if (manufacturerList.find(manufacturer) == -1 && !manufacturer.empty())
            manufacturerList.items.push_back(manufacturer);
        if (manufacturer != manufacturerList.at(manufacturerIndex))
            continue;
        const std::string name = titleItem(items, 2);
        if (nameList.find(name) != -1 || name.empty())
            continue;
        nameList.items.push_back(name);
        if (nameCount == nameIndex) {
            found = i;
            currentChip = i;
        }
        ++nameCount;
    }
    typeList.select(typeIndex);
    manufacturerList.select(manufacturerIndex);
    nameList.select(nameIndex);
    return found;
}

std::string ChipCatalogue::sizeText() const
{
    return formatUnsigned(currentRecord().flashSize);
}

std::string ChipCatalogue::pageSizeText() const
{
    return formatUnsigned(currentRecord().flashPage);
}

std::string ChipCatalogue::dataSizeText() const
{
    return formatUnsigned(currentRecord().eepromSize);
}

bool ChipCatalogue::eepromTabVisible() const
{
    return currentRecord().eepromSize != 0;
}

bool ChipCatalogue::configTabVisible() const
{
    return currentRecord().xmlLink != 0;
}

bool ChipCatalogue::lowVoltageNoticeVisible() const
{
    return currentRecord().voltage == 1;
}

std::string ChipCatalogue::firstTabCaption() const
{
    return typeList.position == 0 || typeList.position == 4 ? "FLASH" : "EEPROM";
}
