#include <string>

#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/DeviceSession.h"
#include "ops/BlockStream.h"
#include "ops/FlashInstructions.h"
#include "ops/OperationFrame.h"
#include "ops/StatusRegister.h"
#include "ops/UpdateOperations.h"

namespace {

Outcome removeProtection(Workbench& workbench, OperationHost& host)
{
    host.setState(Msg::RemovingProtection, FrameText(workbench, Msg::RemovingProtection));
    uint8_t status = 0;
    if (Outcome written = WriteStatusRegister(workbench, host, 0x00, status); !written.ok())
        return written;
    // A chip whose WP pin is held low keeps its bits whatever was written.
    if (status & FlashStatus::ProtectionBits) {
        return Outcome::failure(
            MessageCatalogue::format(Msg::ProtectionStays, workbench.languageIndex,
                                     {ProtectionStatusText(workbench.catalogue.currentRecord(), status)}));
    }
    return Outcome::success();
}

}  // namespace

bool RunRemoveProtection(Workbench& workbench, OperationHost& host)
{
    if (workbench.busy) {
        host.beep();
        return false;
    }
    if (workbench.catalogue.currentRecord().chipClass != SpiFlash25) {
        host.errorBox(FrameText(workbench, Msg::UnprotectUnsupported));
        return false;
    }
    if (!OpenFramedSession(workbench, host))
        return false;
    const Outcome outcome = removeProtection(workbench, host);
    if (outcome.ok())
        LogCompletion(host, FrameText(workbench, Msg::ProtectionRemoved));
    else
        host.errorBox(outcome.message());
    ShowTiming(workbench, host);
    DeviceSessionEnd(workbench, host);
    return outcome.ok();
}
