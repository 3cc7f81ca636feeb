// The chip database file beside the executable, then selection runs over its
// records as start-up, clicks in the three lists and the search dialog make
// them. The first 12 bytes are the remembered list positions (INDEX1..INDEX3
// of the settings file, which may hold any number); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "chips/ChipCatalogue.h"
#include "chips/ChipDatabaseFile.h"
#include "chips/ChipSearch.h"
#include "core/MessageCatalogue.h"

namespace {

int32_t position(const uint8_t* data)
{
    int32_t value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

void showSelection(const ChipCatalogue& catalogue)
{
    catalogue.sizeText();
    catalogue.pageSizeText();
    catalogue.dataSizeText();
    catalogue.firstTabCaption();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t Positions = 12;
    if (size < Positions)
        return 0;
    // Copied over rather than made afresh: a new 68 KB table per run costs
    // more page faults than the whole run costs otherwise.
    static const ChipCatalogue fresh;
    static ChipCatalogue table;
    table = fresh;
    ChipCatalogue* catalogue = &table;
    const ChipDatabaseFile::ReadResult result =
        ChipDatabaseFile::readBytes(*catalogue, data + Positions, size - Positions, "fuzz.Dat", "damaged", English);
    if (result.outcome != ChipDatabaseFile::ReadResult::Loaded)
        return 0;

    // Start-up: the remembered positions, whatever they hold.
    const int32_t remembered[] = {position(data), position(data + 4), position(data + 8)};
    catalogue->selectInLists(remembered[0], remembered[1], remembered[2]);
    showSelection(*catalogue);
    // Then clicks in the three lists, on the items the same numbers point at.
    const auto pick = [](int32_t number, const ChoiceList& list) {
        return list.count() == 0 ? 0 : static_cast<int32_t>(static_cast<uint32_t>(number) % list.count());
    };
    const int32_t type = pick(remembered[0], catalogue->typeList);
    catalogue->selectInLists(type, 0, 0);
    const int32_t manufacturer = pick(remembered[1], catalogue->manufacturerList);
    catalogue->selectInLists(type, manufacturer, 0);
    const int32_t name = pick(remembered[2], catalogue->nameList);
    // A name the list shows always selects a record.
    if (catalogue->selectInLists(type, manufacturer, name) < 0 && catalogue->nameList.count() > 0)
        __builtin_trap();
    showSelection(*catalogue);
    FindChips(*catalogue, catalogue->nameList.selectedText());
    return 0;
}
