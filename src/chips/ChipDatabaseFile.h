#pragma once

#include <cstdint>
#include <string>

#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"

// The chip database file beside the executable: the used part of the table,
// 68-byte records little-endian whatever the host, then one terminator record.
namespace ChipDatabaseFile {

constexpr size_t RecordBytes = sizeof(ChipRecord);
// The whole table; a longer file cannot have come from this application.
constexpr size_t MaximumFileBytes = RecordBytes * ChipCatalogue::SlotCount;

// The executable's path with its extension replaced by ".Dat".
std::string pathFor(const std::string& executablePath);

void encodeRecord(const ChipRecord& record, uint8_t* bytes);
ChipRecord decodeRecord(const uint8_t* bytes);

struct ReadResult {
    enum Outcome { Loaded, Missing, Refused };
    Outcome outcome = Missing;
    std::string message;  // set when Refused
};

// Reads the file into the table from slot 0 on; the slots after the file's
// records keep what they held. A missing file leaves the table alone quietly.
// A length that is not a multiple of 68 is refused with `damagedMessage`; a
// file longer than the table, or one that cannot be read, is refused with its
// own message in `language`. A refused file leaves the table unchanged.
ReadResult read(ChipCatalogue& catalogue, const std::string& path, const std::string& damagedMessage, int language);
// The same for the file's bytes held in memory; `path` only names the file in
// messages. More than MaximumFileBytes are refused as an over-long file.
ReadResult readBytes(ChipCatalogue& catalogue, const uint8_t* bytes, size_t length, const std::string& path,
                     const std::string& damagedMessage, int language);

// Writes slots 0 to `recordCount` - 1 and an all-zero terminator record
// (`recordCount` below SlotCount) through a temporary file in the same folder
// renamed over `path`. Returns an empty text
// on success, otherwise "Cannot create file <path>".
std::string write(const ChipCatalogue& catalogue, int32_t recordCount, const std::string& path);

}  // namespace ChipDatabaseFile
