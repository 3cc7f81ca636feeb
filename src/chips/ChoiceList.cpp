#include "chips/ChoiceList.h"

#include "chips/ChipText.h"

int32_t ChoiceList::find(const std::string& text) const
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (ChipText::equalsIgnoringCase(items[i], text))
            return static_cast<int32_t>(i);
    }
    return -1;
}

std::string ChoiceList::at(int32_t index) const
{
    if (index < 0 || index >= count())
        return {};
    return items[static_cast<size_t>(index)];
}

void ChoiceList::select(int32_t index)
{
    position = index >= 0 && index < count() ? index : -1;
}

void ChoiceList::clear()
{
    items.clear();
    position = -1;
}
