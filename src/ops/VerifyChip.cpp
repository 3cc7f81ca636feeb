#include <array>
#include <cstring>

#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

Outcome VerifyBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                     const uint8_t* image)
{
    if (!StartStream(workbench, chip, span.start, 1))
        return FailedAt(workbench, Msg::VerifyFailedAt, span.start);

    std::array<uint8_t, LargestBlock> received;
    const uint64_t end = BufferStreamEnd(chip);
    for (uint32_t address = span.start; address < span.end;) {
        const uint32_t block = BlockAt(chip, address, end);
        if (workbench.link.USB_bulk_read(received.data(), int(block)) != int(block))
            return FailedAt(workbench, Msg::VerifyFailedAt, address);
        const uint8_t* expected = image + address;
        if (std::memcmp(received.data(), expected, block) != 0) {
            uint32_t first = 0;
            while (received[first] == expected[first])
                ++first;
            return Outcome::failure(MessageCatalogue::text(Msg::VerifyErrorAt, workbench.languageIndex) +
                                    AddressText(address + first));
        }
        host.setProgress(address);
        host.pumpEvents();
        address += block;
    }
    return Outcome::success();
}

Outcome VerifyChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span)
{
    host.setStateText(MessageCatalogue::text(Msg::Verifying, workbench.languageIndex));
    host.showProgress(static_cast<uint32_t>(workbench.buffers.dataLength));
    const uint8_t* image = workbench.buffers.flash(uint32_t(BufferStreamEnd(chip)));
    if (Outcome verified = VerifyBlocks(workbench, host, chip, span, image); !verified.ok())
        return verified;
    host.hideProgress();
    return Outcome::success();
}
