// Turns data/chips.csv into the chip database file written beside every
// executable. Every row is checked first; one bad row fails the build with
// its line number, and nothing is written.

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "chips/ChipCatalogue.h"
#include "chips/ChipDatabaseFile.h"
#include "chips/ChipRow.h"
#include "chips/ChipText.h"
#include "core/MessageCatalogue.h"

namespace {

const char* const Header =
    "type,manufacturer,name,chip_id,flash_size,flash_page,class,algorithm,delay,voltage,eeprom_size,eeprom_page,xml_link";

bool isPowerOfTwo(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

bool algorithmFits(const ChipRecord& record)
{
    const uint8_t code = record.algorithm;
    switch (record.chipClass) {
    case SpiFlash25:
        return record.flashSize > FourByteAddressThreshold ? code == 128 || code == 129 : code == 0 || code == 1;
    case I2cEeprom24:
        return code == (record.flashSize >= 4096 ? 1 : 0);
    case MicrowireEeprom93:
        return (code >= 7 && code <= 11) || (code >= 87 && code <= 91);
    case SpiEeprom95:
        return code <= 2;
    case Avr:
        return code == 0;
    }
    return false;
}

// What the file format allows is checked by ChipRow; these are the facts a
// shipped record must also get right.
std::string shippedRecordProblem(const ChipRow& row, const ChipRecord& record)
{
    for (ChipRow::Column column : {ChipRow::Type, ChipRow::Manufacturer, ChipRow::Name}) {
        if (row.cells[column].empty())
            return std::string("column \"") + ChipRow::headings()[column] + "\" is empty";
    }
    if (record.chipClass > Avr)
        return "class must be 0 to 4";
    if (!isPowerOfTwo(record.flashSize) || record.flashSize < 64)
        return "flash_size must be a power of two from 64 bytes to 64 MiB";
    if (!isPowerOfTwo(record.flashPage) || record.flashPage > 256)
        return "flash_page must be a power of two up to 256";
    if (!algorithmFits(record))
        return "algorithm does not suit the class and size";
    if (record.voltage > 1)
        return "voltage must be 0 or 1";
    if (record.eepromSize != 0 && !isPowerOfTwo(record.eepromSize))
        return "eeprom_size must be 0 or a power of two";
    if (record.eepromPage != 0 && !isPowerOfTwo(record.eepromPage))
        return "eeprom_page must be 0 or a power of two";
    if ((record.eepromSize == 0) != (record.eepromPage == 0))
        return "eeprom_size and eeprom_page must both be 0 or both be set";
    return {};
}

std::vector<std::string> splitCsvLine(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream stream(line);
    std::string cell;
    while (std::getline(stream, cell, ','))
        cells.push_back(cell);
    if (!line.empty() && line.back() == ',')
        cells.emplace_back();
    return cells;
}

int fail(const std::string& place, const std::string& message)
{
    std::fprintf(stderr, "%s: error: %s\n", place.c_str(), message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s chips.csv output.Dat...\n", argv[0]);
        return 2;
    }
    const std::string source = argv[1];
    std::ifstream input(source);
    if (!input)
        return fail(source, "cannot open");

    auto catalogue = std::make_unique<ChipCatalogue>();
    std::vector<ChipRecord> records;
    std::set<std::string> titles;
    bool headerSeen = false;
    std::string line;
    for (int lineNumber = 1; std::getline(input, line); ++lineNumber) {
        const std::string place = source + ":" + std::to_string(lineNumber);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (!headerSeen) {
            if (line != Header)
                return fail(place, std::string("the header must read ") + Header);
            headerSeen = true;
            continue;
        }
        const std::vector<std::string> cells = splitCsvLine(line);
        if (cells.size() != ChipRow::ColumnCount)
            return fail(place, "expected 13 fields, found " + std::to_string(cells.size()));
        ChipRow row;
        std::copy(cells.begin(), cells.end(), row.cells.begin());
        ChipRecord record{};
        std::string problem = row.toRecord(record, English);
        if (problem.empty())
            problem = shippedRecordProblem(row, record);
        if (problem.empty() && !records.empty() && record.chipClass < records.back().chipClass)
            problem = "class " + std::to_string(record.chipClass) + " after class "
                + std::to_string(records.back().chipClass) + "; keep the classes in order 0 to 4";
        // The lists compare names without regard to case; a second record with
        // the same three names could never be selected.
        std::string key;
        for (char c : ChipText::gbkToUtf8(ChipText::titleBytes(record)))
            key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (problem.empty() && !titles.insert(key).second)
            problem = "the same type, manufacturer and name stand in an earlier row";
        if (!problem.empty())
            return fail(place, problem);
        records.push_back(record);
    }
    if (!headerSeen)
        return fail(source, "no header line");
    if (records.size() >= ChipCatalogue::SlotCount)
        return fail(source, "more than 999 chips do not fit the table");
    if (const std::string problem = ClassOrderProblem(records, English); !problem.empty())
        return fail(source, problem);

    std::copy(records.begin(), records.end(), catalogue->ChipDatabase.begin());
    for (int i = 2; i < argc; ++i) {
        if (const std::string error = ChipDatabaseFile::write(*catalogue, static_cast<int32_t>(records.size()), argv[i]);
            !error.empty())
            return fail(argv[i], error);
    }
    return 0;
}
