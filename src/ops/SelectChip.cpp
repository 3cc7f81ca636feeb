#include "buffers/BufferSet.h"
#include "ops/SelectChip.h"

#include "core/MessageCatalogue.h"
#include "chips/ChipDatabaseFile.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

namespace {

int32_t selectRemembered(Workbench& workbench, OperationHost& host)
{
    ChipCatalogue& catalogue = workbench.catalogue;
    catalogue.INDEX1 = catalogue.typeList.position;
    catalogue.INDEX2 = catalogue.manufacturerList.position;
    catalogue.INDEX3 = catalogue.nameList.position;
    return SelectChip(workbench, host, catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
}

// A list left empty by the last run stays without selection.
int32_t firstPosition(const ChoiceList& list)
{
    return list.count() > 0 ? 0 : -1;
}

bool refusedWhileBusy(Workbench& workbench, OperationHost& host)
{
    if (workbench.busy)
        host.beep();
    return workbench.busy;
}

}  // namespace

int32_t SelectChip(Workbench& workbench, OperationHost& host, int32_t typeIndex, int32_t manufacturerIndex,
                   int32_t nameIndex)
{
    const int32_t found = workbench.catalogue.selectInLists(typeIndex, manufacturerIndex, nameIndex);
    workbench.buffers.ResetBuffers(workbench.catalogue.currentRecord().flashSize);
    host.chipSelectionChanged();
    return found;
}

int LoadChipDatabase(Workbench& workbench, OperationHost& host, const std::string& path)
{
    const ChipDatabaseFile::ReadResult result =
        ChipDatabaseFile::read(workbench.catalogue, path,
                               MessageCatalogue::text(Msg::ConfigDestroyed, workbench.languageIndex),
                               workbench.languageIndex);
    if (result.outcome == ChipDatabaseFile::ReadResult::Refused)
        host.informationBox(result.message);
    if (result.outcome != ChipDatabaseFile::ReadResult::Loaded)
        return 0;
    const ChipCatalogue& catalogue = workbench.catalogue;
    SelectChip(workbench, host, catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
    return 1;
}

int32_t TypeListChanged(Workbench& workbench, OperationHost& host, int32_t typePosition)
{
    if (refusedWhileBusy(workbench, host))
        return -1;
    ChipCatalogue& catalogue = workbench.catalogue;
    catalogue.typeList.select(typePosition);
    catalogue.manufacturerList.position = firstPosition(catalogue.manufacturerList);
    catalogue.nameList.position = firstPosition(catalogue.nameList);
    return selectRemembered(workbench, host);
}

int32_t ManufacturerListChanged(Workbench& workbench, OperationHost& host, int32_t manufacturerPosition)
{
    if (refusedWhileBusy(workbench, host))
        return -1;
    ChipCatalogue& catalogue = workbench.catalogue;
    catalogue.manufacturerList.select(manufacturerPosition);
    catalogue.nameList.position = firstPosition(catalogue.nameList);
    return selectRemembered(workbench, host);
}

int32_t NameListChanged(Workbench& workbench, OperationHost& host, int32_t namePosition)
{
    if (refusedWhileBusy(workbench, host))
        return -1;
    workbench.catalogue.nameList.select(namePosition);
    return selectRemembered(workbench, host);
}

int32_t SelectSearchResult(Workbench& workbench, OperationHost& host, const ChipSearchRow& row)
{
    if (refusedWhileBusy(workbench, host))
        return -1;
    const ChipCatalogue& catalogue = workbench.catalogue;
    int32_t found = -1;
    for (int run = 0; run < 3; ++run) {
        found = SelectChip(workbench, host, catalogue.typeList.find(row.type),
                           catalogue.manufacturerList.find(row.manufacturer), catalogue.nameList.find(row.name));
    }
    return found;
}
