// A record kept for later lies in a file beside the log, which the next
// program to open the log reads, whatever it holds by then.
#include <cstddef>
#include <cstdint>
#include <string>

#include "production/PendingRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<PendingRecord> pending = PendingRecord::parse(text, error);
    if (!pending)
        return 0;
    // An accepted record is written back as text that is accepted again.
    const std::optional<PendingRecord> again = PendingRecord::parse(pending->text(), error);
    if (!again || again->record.uid != pending->record.uid || again->record.job != pending->record.job ||
        again->returnedSerial != pending->returnedSerial)
        __builtin_trap();
    return 0;
}
