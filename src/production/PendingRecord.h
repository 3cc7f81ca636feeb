#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "production/LogRecord.h"

// A chip's record that the log could not take when the chip was done. It is
// kept in memory and, where the disk allows, in a file beside the log, and
// goes into the log before any further chip is started, by this program or,
// from the file, by the next one that opens the log.
struct PendingRecord {
    LogRecord record;
    std::optional<uint64_t> returnedSerial;

    // JSON text, as written to the file, and back; nothing, with `error` set,
    // for text that is not such a record.
    std::string text() const;
    static std::optional<PendingRecord> parse(const std::string& text, std::string& error);
};
