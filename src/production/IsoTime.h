#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Times as the log writes them (UTC, ISO 8601, milliseconds: fixed width, so
// that text order is time order) and as people give them.
class IsoTime {
public:
    // Milliseconds since 1970-01-01T00:00:00Z, from ISO 8601 text:
    // YYYY-MM-DD, optionally followed by T (or a space) and HH:MM[:SS[.FRACTION]]
    // and a zone (Z, +HH:MM, +HHMM, +HH, or - for west of UTC). Without a zone
    // the time is local. Nothing, with `error` set, for anything else.
    static std::optional<int64_t> parse(const std::string& text, std::string& error);
    // "2026-12-07T09:30:00.000Z".
    static std::string utcText(int64_t milliseconds);
    static std::string now();
    // A logged time as people at the station read it: local, to the second,
    // with the zone's offset ("2026-12-07 16:04:12 +01:00"). Text that is no
    // time comes back unchanged.
    static std::string localText(const std::string& utc);
};
