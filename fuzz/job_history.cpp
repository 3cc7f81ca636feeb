// The history beside a job file travels with the job between stations.
#include <cstddef>
#include <cstdint>
#include <string>

#include "production/JobHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<JobHistory> history = JobHistory::parse(text);
    if (!history)
        return 0;
    const std::optional<JobHistory> again = JobHistory::parse(history->text());
    if (!again || again->chips != history->chips || again->next != history->next)
        __builtin_trap();
    return 0;
}
