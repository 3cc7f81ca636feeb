#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chips/ChipRecord.h"

// A record as the chip editor's grid shows it: 13 UTF-8 cells in the column
// order below. The default database's source rows use the same cells, so the
// editor and the build check records by the same rules.
struct ChipRow {
    enum Column {
        Type, Manufacturer, Name, ChipId, FlashSize, FlashPage, Class, Algorithm, Delay, Voltage, EepromSize,
        EepromPage, XmlLink, ColumnCount
    };
    std::array<std::string, ColumnCount> cells;

    // The grid's headings, the same in every language.
    static const std::array<const char*, ColumnCount>& headings();

    // The record's title cut at its first two commas (nothing trimmed; a title
    // without comma is all name) and its numbers in the grid's text forms.
    static ChipRow fromRecord(const ChipRecord& record);

    // The record the row stands for: the three names trimmed and joined by
    // commas in code page 936, the numbers converted as integers. Refuses what
    // the record cannot hold or would lose: a cell that is not an integer, a
    // value outside its field, a FLASH size above 64 MiB, an EEPROM above the
    // 8 KiB buffer, a name with a blank, comma or double quote, a title longer
    // than 47 bytes. On refusal `record` is untouched and the message, in
    // `language`, names the column; the caller adds the row.
    std::string toRecord(ChipRecord& record, int language) const;
};

// Integer conversion of a grid cell: decimal, or hexadecimal after "0x", "0X",
// "x", "X" or "$", with an optional sign and leading blanks, 32-bit. Hexadecimal
// values up to FFFFFFFF wrap into the negative range.
std::optional<int32_t> CellToInt(const std::string& cell);

// The standard conversion message for a cell that is not an integer.
std::string NotAnIntegerMessage(const std::string& cell);

// Empty when the records keep the order the Type list relies on: the type at
// position p of the Type list (built in order of first appearance, ignoring
// letter case) is the type of exactly the class p records, spelled the same.
// Otherwise one message, in `language`, naming the first record that breaks it.
std::string ClassOrderProblem(const std::vector<ChipRecord>& records, int language);
