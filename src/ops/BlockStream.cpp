#include "ops/BlockStream.h"

#include <cstdio>

#include "chips/ChipRecord.h"
#include "link/CommandBlock.h"
#include "link/DeviceSession.h"
#include "core/Workbench.h"

std::string AddressText(uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%Xh", address);
    return text;
}

Outcome FailedAt(const Workbench& workbench, Msg message, uint32_t address)
{
    return Outcome::failure(MessageCatalogue::format(message, workbench.languageIndex, {AddressText(address)}));
}

bool CommandDone(int result)
{
    return result == CommandBlock::Size;
}

bool StartStream(Workbench& workbench, const ChipRecord& chip, uint32_t start, int replyFlag)
{
    if (chip.flashSize > FourByteAddressThreshold && !CommandDone(EnterFourByteMode(workbench)))
        return false;
    return CommandDone(SetStartAddress(workbench, start, replyFlag));
}
