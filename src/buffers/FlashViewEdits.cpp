#include "buffers/FlashViewEdits.h"

#include <algorithm>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

void TakeOverFlashViewEdits(Workbench& workbench, OperationHost& host)
{
    if (!host.flashViewModified())
        return;
    const uint32_t count = std::min(
        {host.flashViewByteCount(), workbench.catalogue.currentRecord().flashSize, BufferSet::FlashCapacity});
    host.copyFlashViewOut(workbench.buffers.flash(), count);
    workbench.buffers.dataLength = static_cast<int32_t>(count);
    workbench.buffers.unsaved = true;
    host.clearFlashViewModified();
}

bool HoldsUnsavedFlash(const Workbench& workbench, const OperationHost& host)
{
    return workbench.buffers.unsaved || host.flashViewModified();
}
