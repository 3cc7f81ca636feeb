// Value lists are text files made elsewhere (a customer's key list, a
// spreadsheet's export); the first byte chooses the form, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "production/ValueField.h"
#include "production/ValueList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    constexpr ValueForm Forms[] = {ValueForm::Hex, ValueForm::Dec, ValueForm::Ascii, ValueForm::Bytes};
    const ValueForm form = Forms[data[0] % 4];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string error;
    const std::optional<ValueList> list = ValueList::parse(text, form, error);
    if (!list)
        return 0;
    // Each chip's value is its own and fits the field's longest.
    std::set<std::vector<uint8_t>> seen;
    for (const std::vector<uint8_t>& value : list->values) {
        if (value.empty() || value.size() > ValueList::LongestValue || !seen.insert(value).second)
            __builtin_trap();
    }
    if (list->texts.size() != list->values.size())
        __builtin_trap();
    return 0;
}
