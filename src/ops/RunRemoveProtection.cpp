#include <string>

#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/DeviceSession.h"
#include "ops/BlockStream.h"
#include "ops/FlashInstructions.h"
#include "ops/OperationFrame.h"
#include "ops/UpdateOperations.h"

namespace {

constexpr uint8_t WriteStatusRegister = 0x01;
// A status register write takes 10 ms on typical parts, 15 ms at worst.
constexpr BusyWait StatusWriteWait{0, 1000, Msg::CommunicationFailed, Msg::ProtectionStays};

Outcome removeProtection(Workbench& workbench, OperationHost& host)
{
    host.setState(Msg::RemovingProtection, FrameText(workbench, Msg::RemovingProtection));
    const uint8_t cleared[] = {WriteStatusRegister, 0x00};
    if (!CommandDone(SendWithWriteEnable(workbench, cleared)))
        return Outcome::failure(FrameText(workbench, Msg::CommunicationFailed));
    uint8_t status = 0;
    if (Outcome ready = WaitWhileBusy(workbench, host, StatusWriteWait, status); !ready.ok())
        return ready;
    // A chip whose WP pin is held low keeps its bits whatever was written.
    if (status & FlashStatus::ProtectionBits) {
        return Outcome::failure(
            MessageCatalogue::format(Msg::ProtectionStays, workbench.languageIndex, {StatusText(status)}));
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
