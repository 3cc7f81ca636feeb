#include "production/FieldSpan.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string hexText(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

std::string FieldSpansProblem(std::vector<FieldSpan> spans, uint64_t start, uint64_t end)
{
    for (const FieldSpan& span : spans) {
        if (span.address < start || span.address + span.length > end)
            return span.name + " (" + std::to_string(span.length) + " bytes at " + hexText(span.address) +
                   ") lies outside the programmed span " + hexText(start) + " to " + hexText(end);
    }
    std::stable_sort(spans.begin(), spans.end(),
                     [](const FieldSpan& a, const FieldSpan& b) { return a.address < b.address; });
    for (size_t i = 1; i < spans.size(); ++i) {
        const FieldSpan& before = spans[i - 1];
        if (spans[i].address < before.address + before.length)
            return before.name + " and " + spans[i].name + " overlap at " + hexText(spans[i].address);
    }
    return {};
}
