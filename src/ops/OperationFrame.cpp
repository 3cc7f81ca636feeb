#include "ops/OperationFrame.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <optional>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/DeviceSession.h"
#include "ops/ElapsedText.h"
#include "ops/FamilyBehaviour.h"
#include "ops/ProtectChip.h"
#include "ops/StreamSpans.h"

namespace {

std::string pageRefusal(const Workbench& workbench, const ChipRecord& chip)
{
    return MessageCatalogue::format(Msg::PageSizeUnsupported, workbench.languageIndex,
                                    {std::to_string(chip.flashPage)});
}

// An erase page is always whole: on a chip that ends inside a page, the last
// one would reach past the chip.
std::string erasePageRefusal(const Workbench& workbench, const ChipRecord& chip)
{
    return MessageCatalogue::format(Msg::PagesDoNotFillChip, workbench.languageIndex,
                                    {std::to_string(chip.flashSize), std::to_string(chip.flashPage)});
}

}  // namespace

const std::string& FrameText(const Workbench& workbench, Msg message)
{
    return MessageCatalogue::text(message, workbench.languageIndex);
}

std::string RefusalOf(const Workbench& workbench, const ChipRecord& chip, Operation operation,
                      const AutoOptions& options)
{
    if (chip.flashPage == 0 || chip.flashPage > LargestBlock)
        return pageRefusal(workbench, chip);
    const bool erases = operation == Operation::Erase || (operation == Operation::Auto && options.erase);
    const EraseMethod eraseMethod = BehaviourOfClass(chip.chipClass).erase;
    if (erases && eraseMethod == EraseMethod::PageByPage && chip.flashSize % chip.flashPage != 0)
        return erasePageRefusal(workbench, chip);
    // An Erase that sends nothing would only claim a blank chip.
    if (operation == Operation::Erase && eraseMethod == EraseMethod::None)
        return FrameText(workbench, Msg::FamilyHasNoErase);
    if (operation == Operation::Auto && options.protect) {
        if (std::string refusal = ProtectionRefusal(chip, workbench.languageIndex); !refusal.empty())
            return refusal;
    }
    const bool writes = operation == Operation::Write || (operation == Operation::Auto && options.program);
    const bool verifies = operation == Operation::Verify || (operation == Operation::Auto && options.verify);
    std::optional<Msg> refusal;
    // A blank written from a buffer-sized stream would leave the rest of the chip as it was.
    const bool blanksThroughBuffer = erases && eraseMethod == EraseMethod::ProgramBlank;
    if ((operation == Operation::Read || blanksThroughBuffer) && chip.flashSize > BufferSet::FlashCapacity)
        refusal = Msg::ChipOutsideBuffer;
    if (!refusal && writes)
        refusal = WriteSpan(workbench.buffers, chip).refusal;
    if (!refusal && verifies)
        refusal = VerifySpan(workbench.buffers, chip).refusal;
    return refusal ? FrameText(workbench, *refusal) : std::string();
}

bool OpenFramedSession(Workbench& workbench, OperationHost& host)
{
    const int session = DeviceSessionBegin(workbench, host);
    if (session != 1 && session != 4 && session != 6) {
        DeviceSessionEnd(workbench, host);
        host.setState(Msg::NotConnected, FrameText(workbench, Msg::NotConnected));
        return false;
    }
    workbench.startMs = host.nowMs();
    return true;
}

void ShowTiming(Workbench& workbench, OperationHost& host)
{
    workbench.endMs = host.nowMs();
    host.setElapsedText(ElapsedText(workbench.endMs - workbench.startMs));
    host.beep();
}

void LogCompletion(OperationHost& host, const std::string& text)
{
    host.insertLogLine(text + " (" + host.longTimeText() + ")");
}
