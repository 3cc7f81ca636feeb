#include "ops/SelectChip.h"

#include <string>

#include "buffers/BufferSet.h"
#include "buffers/FlashViewEdits.h"
#include "core/HeldImage.h"
#include "core/MessageCatalogue.h"
#include "chips/ChipDatabaseFile.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

namespace {

// What a selection run changes in the catalogue, to put back when the user
// keeps the buffer instead.
struct SelectionState {
    explicit SelectionState(const ChipCatalogue& catalogue)
        : currentChip(catalogue.currentChip),
          indexes{catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3},
          lists{catalogue.typeList, catalogue.manufacturerList, catalogue.nameList}
    {
    }
    void restore(ChipCatalogue& catalogue) const
    {
        catalogue.currentChip = currentChip;
        catalogue.INDEX1 = indexes[0];
        catalogue.INDEX2 = indexes[1];
        catalogue.INDEX3 = indexes[2];
        catalogue.typeList = lists[0];
        catalogue.manufacturerList = lists[1];
        catalogue.nameList = lists[2];
    }

    int32_t currentChip;
    int32_t indexes[3];
    ChoiceList lists[3];
};

std::string discardQuestion(const Workbench& workbench)
{
    return MessageCatalogue::format(Msg::DiscardUnsavedForChip, workbench.languageIndex,
                                    {workbench.catalogue.nameList.selectedText()});
}

// `pick` sets the list positions the user chose; a selection run follows and
// the positions are remembered.
int32_t selectRemembered(Workbench& workbench, OperationHost& host,
                         const std::function<void(ChipCatalogue&)>& pick)
{
    return ChangeSelection(workbench, host, [&](ChipCatalogue& catalogue) {
        pick(catalogue);
        catalogue.INDEX1 = catalogue.typeList.position;
        catalogue.INDEX2 = catalogue.manufacturerList.position;
        catalogue.INDEX3 = catalogue.nameList.position;
        return catalogue.selectInLists(catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
    });
}

// A list left empty by the last run stays without selection.
int32_t firstPosition(const ChoiceList& list)
{
    return list.count() > 0 ? 0 : -1;
}

bool refusedWhileHeld(Workbench& workbench, OperationHost& host)
{
    return RefusedWhileHeld(workbench, host);
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

int32_t ChangeSelection(Workbench& workbench, OperationHost& host,
                        const std::function<int32_t(ChipCatalogue&)>& selectionRuns)
{
    ChipCatalogue& catalogue = workbench.catalogue;
    // The views are reloaded from the buffers below; what the user typed must be there.
    TakeOverFlashViewEdits(workbench, host);
    const SelectionState before(catalogue);
    int32_t found = selectionRuns(catalogue);
    if (!workbench.buffers.unsaved || host.question(discardQuestion(workbench))) {
        workbench.buffers.ResetBuffers(catalogue.currentRecord().flashSize);
    } else {
        before.restore(catalogue);
        found = SelectionKept;
    }
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
        host.messageBox(result.message);
    if (result.outcome != ChipDatabaseFile::ReadResult::Loaded)
        return 0;
    const ChipCatalogue& catalogue = workbench.catalogue;
    SelectChip(workbench, host, catalogue.INDEX1, catalogue.INDEX2, catalogue.INDEX3);
    return 1;
}

int32_t TypeListChanged(Workbench& workbench, OperationHost& host, int32_t typePosition)
{
    if (refusedWhileHeld(workbench, host))
        return -1;
    return selectRemembered(workbench, host, [&](ChipCatalogue& catalogue) {
        catalogue.typeList.select(typePosition);
        catalogue.manufacturerList.position = firstPosition(catalogue.manufacturerList);
        catalogue.nameList.position = firstPosition(catalogue.nameList);
    });
}

int32_t ManufacturerListChanged(Workbench& workbench, OperationHost& host, int32_t manufacturerPosition)
{
    if (refusedWhileHeld(workbench, host))
        return -1;
    return selectRemembered(workbench, host, [&](ChipCatalogue& catalogue) {
        catalogue.manufacturerList.select(manufacturerPosition);
        catalogue.nameList.position = firstPosition(catalogue.nameList);
    });
}

int32_t NameListChanged(Workbench& workbench, OperationHost& host, int32_t namePosition)
{
    if (refusedWhileHeld(workbench, host))
        return -1;
    return selectRemembered(workbench, host,
                            [&](ChipCatalogue& catalogue) { catalogue.nameList.select(namePosition); });
}

int32_t SelectSearchResult(Workbench& workbench, OperationHost& host, const ChipSearchRow& row)
{
    if (refusedWhileHeld(workbench, host))
        return -1;
    return ChangeSelection(workbench, host, [&](ChipCatalogue& catalogue) {
        int32_t found = -1;
        for (int run = 0; run < 3; ++run) {
            found = catalogue.selectInLists(catalogue.typeList.find(row.type),
                                            catalogue.manufacturerList.find(row.manufacturer),
                                            catalogue.nameList.find(row.name));
        }
        return found;
    });
}
