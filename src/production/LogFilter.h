#pragma once

#include <cstdint>
#include <string>

// Which records an export, a view or a lookup wants. Every field set narrows
// the records; the log keeps an index for each lookup.
struct LogFilter {
    std::string job{};    // empty: every job
    std::string since{};  // as IsoTime::utcText writes it; empty: from the start
    int64_t limit = 0;  // newest first when set; 0: all, oldest first
    int64_t afterId = 0;  // only records after this id, oldest first (a limit then counts from it)
    std::string serial{};  // empty: any serial number
    std::string crc32{};   // as the records hold it (Crc32Text); empty: any
};
