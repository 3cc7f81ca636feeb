// Job files are edited by people and carried between stations, so any bytes
// may reach the parser.
#include <cstddef>
#include <cstdint>
#include <string>

#include "production/JobFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const JobFileRead read = JobFile::parse(text, "fuzz");
    if (!read.job)
        return 0;
    // A job that was accepted is written back as text that is accepted again.
    if (!JobFile::parse(JobFile::text(*read.job), "fuzz").job)
        __builtin_trap();
    return 0;
}
