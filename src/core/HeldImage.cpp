#include "core/HeldImage.h"

#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"

bool RefusedWhileHeld(const Workbench& workbench, OperationHost& host)
{
    if (!workbench.holdsImage())
        return false;
    host.beep();
    // While a device session or a run is under way the panel shows its step.
    if (!workbench.busy)
        host.setState(Msg::LockedJobRefusal, MessageCatalogue::text(Msg::LockedJobRefusal, workbench.languageIndex));
    return true;
}
