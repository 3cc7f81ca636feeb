#include <array>
#include <cstring>

#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/TUsbBulk.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "ops/StreamBlocks.h"
#include "core/OperationHost.h"
#include "ops/StreamSpans.h"
#include "core/Workbench.h"

Outcome VerifyBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span,
                     const uint8_t* image)
{
    std::array<uint8_t, LargestBlock> received;
    return StreamBlocks(
        workbench, host, chip, {span, SpanStreamEnd(chip, span), 1, Msg::VerifyFailedAt},
        [&](uint32_t, uint32_t block) {
            return workbench.link.USB_bulk_read(received.data(), int(block)) == int(block);
        },
        [&](uint32_t address, uint32_t block) {
            const uint8_t* expected = image + address;
            if (std::memcmp(received.data(), expected, block) == 0)
                return Outcome::success();
            uint32_t first = 0;
            while (received[first] == expected[first])
                ++first;
            host.verifyMismatch(address + first);
            return Outcome::failure(MessageCatalogue::text(Msg::VerifyErrorAt, workbench.languageIndex) +
                                    AddressText(address + first));
        });
}

Outcome VerifyChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const StreamSpan& span)
{
    host.setState(Msg::Verifying, MessageCatalogue::text(Msg::Verifying, workbench.languageIndex));
    host.showProgress(static_cast<uint32_t>(workbench.buffers.dataLength));
    const uint8_t* image = workbench.buffers.flash(uint32_t(BufferStreamEnd(chip)));
    if (Outcome verified = VerifyBlocks(workbench, host, chip, span, image); !verified.ok())
        return verified;
    host.hideProgress();
    return Outcome::success();
}
