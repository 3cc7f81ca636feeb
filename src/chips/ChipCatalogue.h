#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "chips/ChipRecord.h"
#include "chips/ChoiceList.h"

// The chip table, the selected record and the models of the three selection
// lists (Type, Manufacturer, Name). Plain data plus the list logic; it knows
// neither widgets nor buffers. The main window reads what it shows from here
// after every selection run.
class ChipCatalogue {
public:
    static constexpr int32_t SlotCount = 1000;

    ChipCatalogue();

    // 1000 slots, all bytes zero at first; the first slot whose first byte is
    // 0 ends the list.
    std::array<ChipRecord, SlotCount> ChipDatabase{};
    // Slot of the selected record; changes only when a selection run finds one.
    int32_t currentChip = 0;

    // The remembered list positions, as in the settings file.
    int32_t INDEX1 = 0;  // Type
    int32_t INDEX2 = 0;  // Manufacturer
    int32_t INDEX3 = 0;  // Name

    ChoiceList typeList;          // only grows, in order of first appearance
    ChoiceList manufacturerList;  // rebuilt by every selection run
    ChoiceList nameList;          // rebuilt by every selection run

    // The record at currentChip.
    const ChipRecord& currentRecord() const;

    // Number of records before the first empty slot (at most SlotCount).
    int32_t recordCount() const;

    // The list part of a selection run: rebuilds the Manufacturer and Name
    // lists for the type at `typeIndex`, makes the record the three positions
    // designate current, then selects the three positions in the lists.
    // Returns the slot found or -1 (currentChip then keeps its value). The
    // caller resets the buffers and tells the window (see SelectChip in ops).
    int32_t selectInLists(int32_t typeIndex, int32_t manufacturerIndex, int32_t nameIndex);

    // What the window shows for the selected record and list state.
    std::string sizeText() const;        // "Size": flashSize, "%u"
    std::string pageSizeText() const;    // "Page Size": flashPage, "%hu"
    std::string dataSizeText() const;    // "DATA Size": eepromSize, "%hu"
    bool eepromTabVisible() const;       // eepromSize != 0
    bool configTabVisible() const;       // xmlLink != 0
    bool lowVoltageNoticeVisible() const;  // voltage == 1: the "需配1.8V转换座" notice
    // Caption of the first tab: "FLASH" for type position 0 or 4, else "EEPROM".
    std::string firstTabCaption() const;
};
