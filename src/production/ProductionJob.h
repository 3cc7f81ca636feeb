#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chips/ChipRow.h"
#include "ops/ChipOperations.h"
#include "production/Checksums.h"
#include "production/EngineerPin.h"
#include "production/SerialRule.h"
#include "production/ValueField.h"

// One production run, fixed in a job file: the chip with every parameter of
// its record (so an edited database is noticed), the image and its SHA-256,
// the address range, the Auto steps, the serial-number rule, the checksums of
// what is programmed (before serial numbers), a note for the operator, the
// target of good chips, the engineer's PIN and whether runs name their operator.
// The chip record's cells under plain English keys, in ChipRow's column order;
// the editor's headings are Chinese and meant for its grid.
inline constexpr std::array<const char*, ChipRow::ColumnCount> JobChipKeys = {
    "type", "manufacturer", "name", "id", "flash_size", "flash_page", "class",
    "algorithm", "delay", "voltage", "eeprom_size", "eeprom_page", "xml_link"};

struct ProductionJob {
    // The operator's note is shown whole; longer ones are refused.
    static constexpr size_t LongestNote = 64 * 1024;

    // An image beyond the first, at its own chip address.
    struct Image {
        std::string file;  // relative to the job file's folder
        std::string sha256;
        uint32_t address = 0;
    };
    // More images would make no production job; a longer list is refused.
    static constexpr size_t MostImages = 256;

    struct Range {
        uint32_t start = 0;
        uint32_t end = 0;  // inclusive
    };

    std::string name;          // the job file's name without its extension
    std::string path;          // the job file read or made; not written into it
    ChipRow chip;
    std::string image;         // path relative to the job file's folder
    std::string imageSha256;
    std::optional<uint32_t> imageAddress;  // the first image's; empty: the range's start, or 0
    std::vector<Image> moreImages;         // programmed with the first, each at its address
    std::optional<Range> range;
    AutoOptions options;
    std::optional<SerialRule> serial;
    std::string serialSequence;  // see SerialSequenceOf; empty in files written before jobs carried one
    Checksums expected;
    std::string note;
    bool locked = false;
    std::optional<int64_t> target;  // good chips the job makes
    std::optional<EngineerPin> pin;  // asked before a locked job is closed or edited, or counters reset
    bool operatorRequired = false;   // every run names its operator
    // Fields that take one value per chip, and whether a failed chip's values
    // go to the next chip (reuse) or are used up with it (burn, as serials).
    std::vector<ValueField> values;
    bool reuseFailedValues = false;
};
