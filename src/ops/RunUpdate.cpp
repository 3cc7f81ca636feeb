#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "buffers/BufferSet.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "buffers/FlashViewEdits.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/DeviceSession.h"
#include "ops/BlockRoutines.h"
#include "ops/BlockStream.h"
#include "ops/FamilyBehaviour.h"
#include "ops/FlashInstructions.h"
#include "ops/OperationFrame.h"
#include "ops/StreamSpans.h"
#include "ops/UpdateOperations.h"
#include "ops/UpdatePlan.h"

namespace {

// A sector erase takes 45 ms on typical parts (400 ms at worst), a block erase
// 150 ms (2 s): the status is first read when the typical time is nearly up.
constexpr BusyWait SectorEraseWait{0, 2000, Msg::EraseFailedAt, Msg::EraseTimedOut};
constexpr BusyWait BlockEraseWait{100, 5000, Msg::EraseFailedAt, Msg::EraseTimedOut};

bool canUpdate(const ChipRecord& chip)
{
    if (chip.chipClass == I2cEeprom24)
        return true;
    // A programming block must lie inside one sector.
    return chip.chipClass == SpiFlash25 && SectorBytes % BlockSize(chip) == 0;
}

// A region must lie whole in the chip; the first that does not, counted from 1, named.
std::string regionOutsideChip(const Workbench& workbench, const ChipRecord& chip,
                              const std::vector<StreamSpan>& regions)
{
    for (size_t i = 0; i < regions.size(); ++i) {
        const StreamSpan& region = regions[i];
        if (region.start >= region.end || region.end > chip.flashSize)
            return MessageCatalogue::format(Msg::RegionPastChipEnd, workbench.languageIndex,
                                            {std::to_string(i + 1), AddressText(region.start),
                                             AddressText(region.end - 1), AddressText(chip.flashSize)});
    }
    return {};
}

std::string refusalOf(const Workbench& workbench, const ChipRecord& chip, const std::vector<StreamSpan>& regions)
{
    // Refused like a Read (the whole chip is read) and like an Auto that programs and verifies.
    std::string refusal = RefusalOf(workbench, chip, Operation::Read, {});
    if (refusal.empty())
        refusal = RefusalOf(workbench, chip, Operation::Auto, {});
    if (refusal.empty() && !canUpdate(chip))
        refusal = FrameText(workbench, regions.empty() ? Msg::UpdateUnsupported : Msg::RegionsUnsupported);
    if (refusal.empty())
        refusal = regionOutsideChip(workbench, chip, regions);
    return refusal;
}

// Images of the whole chip, with room for a last block that passes its end.
std::vector<uint8_t> chipImage(const ChipRecord& chip)
{
    return std::vector<uint8_t>(size_t(chip.flashSize) + BlockSize(chip), 0xFF);
}

// What Auto leaves on the chip: the buffer over the write span, blank
// everywhere else.
std::vector<uint8_t> targetImage(const Workbench& workbench, const ChipRecord& chip, const StreamSpan& span)
{
    std::vector<uint8_t> target = chipImage(chip);
    const uint64_t end = SpanStreamEnd(chip, span);
    if (span.start < end)
        std::copy(workbench.buffers.flash() + span.start, workbench.buffers.flash() + end,
                  target.begin() + span.start);
    return target;
}

// What is read and may be erased: the regions rounded out to sectors (a
// serial flash) or to whole programming blocks (an EEPROM), joined where they
// touch. Bytes of those sectors outside the regions are programmed back.
std::vector<StreamSpan> readSpans(const ChipRecord& chip, const std::vector<StreamSpan>& regions)
{
    const uint32_t unit = chip.chipClass == SpiFlash25 ? SectorBytes : BlockSize(chip);
    std::vector<StreamSpan> spans;
    for (const StreamSpan& region : regions) {
        const uint32_t start = region.start / unit * unit;
        const uint32_t end = uint32_t(std::min<uint64_t>((uint64_t(region.end) + unit - 1) / unit * unit, chip.flashSize));
        spans.push_back({start, end});
    }
    std::sort(spans.begin(), spans.end(), [](const StreamSpan& a, const StreamSpan& b) { return a.start < b.start; });
    std::vector<StreamSpan> joined;
    for (const StreamSpan& span : spans) {
        if (!joined.empty() && span.start <= joined.back().end)
            joined.back().end = std::max(joined.back().end, span.end);
        else
            joined.push_back(span);
    }
    return joined;
}

// Outside the regions the target is what the chip holds (unread bytes stay
// blank in both images, so the plan leaves them alone).
void keepOutsideRegions(std::vector<uint8_t>& target, const std::vector<uint8_t>& present,
                        const std::vector<StreamSpan>& regions)
{
    std::vector<uint8_t> kept = present;
    for (const StreamSpan& region : regions)
        std::copy(target.begin() + region.start, target.begin() + region.end, kept.begin() + region.start);
    target.swap(kept);
}

void startPhase(Workbench& workbench, OperationHost& host, const ChipRecord& chip, Msg text)
{
    host.setState(text, FrameText(workbench, text));
    host.showProgress(chip.flashSize);
}

Outcome eraseSectors(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const UpdatePlan& plan)
{
    if (plan.chipErase)
        return EraseChip(workbench, host, chip);
    startPhase(workbench, host, chip, Msg::UpdateErasing);
    for (const UpdatePlan::Erase& erase : plan.erases) {
        const std::vector<uint8_t> instruction = EraseInstruction(chip, erase.unit, erase.address);
        if (!CommandDone(SendWithWriteEnable(workbench, instruction)))
            return FailedAt(workbench, Msg::EraseFailedAt, erase.address);
        BusyWait wait = erase.unit == EraseUnit::Sector ? SectorEraseWait : BlockEraseWait;
        wait.address = erase.address;
        uint8_t status = 0;
        if (Outcome ready = WaitWhileBusy(workbench, host, wait, status); !ready.ok())
            return ready;
        host.setProgress(erase.address);
        host.pumpEvents();
    }
    return Outcome::success();
}

Outcome programBlocks(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const UpdatePlan& plan,
                      const uint8_t* target)
{
    startPhase(workbench, host, chip, Msg::UpdateProgramming);
    for (const StreamSpan& run : plan.programs) {
        if (Outcome written = WriteBlocks(workbench, host, chip, run, target); !written.ok())
            return written;
    }
    if (const uint32_t settle = BehaviourOfClass(chip.chipClass).writeSettleMs; settle != 0 && !plan.programs.empty())
        host.sleepMs(settle);
    return Outcome::success();
}

Outcome verifyTouched(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const UpdatePlan& plan,
                      const UpdateOptions& options, const uint8_t* target)
{
    startPhase(workbench, host, chip, Msg::UpdateVerifying);
    const std::vector<StreamSpan> whole =
        options.regions.empty() ? std::vector<StreamSpan>{VerifySpan(workbench.buffers, chip).span} : options.regions;
    const std::vector<StreamSpan>& spans = options.verifyWholeSpan ? whole : plan.touched;
    for (const StreamSpan& span : spans) {
        if (Outcome verified = VerifyBlocks(workbench, host, chip, span, target); !verified.ok())
            return verified;
    }
    return Outcome::success();
}

Outcome updateChip(Workbench& workbench, OperationHost& host, const ChipRecord& chip, const UpdateOptions& options,
                   UpdatePlan& plan)
{
    if (Outcome unprotected = RefuseIfProtected(workbench, chip); !unprotected.ok())
        return unprotected;
    const StreamSpan span = WriteSpan(workbench.buffers, chip).span;
    // As after a Write, the chip holds whole pages and a later Verify covers them.
    if (!workbench.buffers.range.enabled)
        workbench.buffers.dataLength = PageRoundedLength(workbench.buffers.dataLength, chip.flashPage);
    std::vector<uint8_t> target = targetImage(workbench, chip, span);

    std::vector<uint8_t> present = chipImage(chip);
    startPhase(workbench, host, chip, Msg::UpdateReading);
    const std::vector<StreamSpan> reads =
        options.regions.empty() ? std::vector<StreamSpan>{{0, chip.flashSize}} : readSpans(chip, options.regions);
    for (const StreamSpan& read : reads) {
        if (Outcome done = ReadBlocks(workbench, host, chip, read, present.data()); !done.ok())
            return done;
    }
    if (!options.regions.empty())
        keepOutsideRegions(target, present, options.regions);

    const uint32_t block = BlockSize(chip);
    // A larger erase than the read spans would also clear what was never read.
    plan = chip.chipClass == SpiFlash25
               ? PlanFlashUpdate(present.data(), target.data(), chip.flashSize, block,
                                 options.regions.empty() ? std::vector<StreamSpan>{} : reads)
               : PlanEepromUpdate(present.data(), target.data(), chip.flashSize, block);
    if (plan.chipErase || !plan.erases.empty()) {
        if (Outcome erased = eraseSectors(workbench, host, chip, plan); !erased.ok())
            return erased;
    }
    if (Outcome programmed = programBlocks(workbench, host, chip, plan, target.data()); !programmed.ok())
        return programmed;
    if (options.verify) {
        if (Outcome verified = verifyTouched(workbench, host, chip, plan, options, target.data()); !verified.ok())
            return verified;
    }
    host.hideProgress();
    return Outcome::success();
}

std::string completionText(const Workbench& workbench, const ChipRecord& chip, const UpdatePlan& plan)
{
    const bool flash = chip.chipClass == SpiFlash25;
    return MessageCatalogue::format(flash ? Msg::UpdateDoneSectors : Msg::UpdateDonePages, workbench.languageIndex,
                                    {std::to_string(plan.skipped), std::to_string(plan.programmed),
                                     std::to_string(plan.erased)});
}

// What Update and a verify of regions do before their session: nothing while
// another command runs or the buffer is empty, a refusal before the session,
// then the session. The chip is a copy, so that nothing done to the table
// meanwhile changes the chip under way.
std::optional<ChipRecord> sessionOpened(Workbench& workbench, OperationHost& host,
                                        const std::vector<StreamSpan>& regions)
{
    if (workbench.busy) {
        host.beep();
        return std::nullopt;
    }
    ChipRecord chip = workbench.catalogue.currentRecord();
    TakeOverFlashViewEdits(workbench, host);
    if (workbench.buffers.dataLength <= 0)
        return std::nullopt;
    if (const std::string refusal = refusalOf(workbench, chip, regions); !refusal.empty()) {
        host.errorBox(refusal);
        return std::nullopt;
    }
    if (!OpenFramedSession(workbench, host))
        return std::nullopt;
    return chip;
}

}  // namespace

bool RunUpdate(Workbench& workbench, OperationHost& host, const UpdateOptions& options, std::string* summary,
               UpdatePlan* done)
{
    const std::optional<ChipRecord> opened = sessionOpened(workbench, host, options.regions);
    if (!opened)
        return false;
    const ChipRecord& chip = *opened;
    UpdatePlan plan;
    const Outcome outcome = updateChip(workbench, host, chip, options, plan);
    if (outcome.ok()) {
        const std::string completion = completionText(workbench, chip, plan);
        LogCompletion(host, completion);
        if (summary)
            *summary = completion;
        if (done)
            *done = plan;
    } else {
        host.errorBox(outcome.message());
    }
    ShowTiming(workbench, host);
    DeviceSessionEnd(workbench, host);
    return outcome.ok();
}

bool RunVerifyRegions(Workbench& workbench, OperationHost& host, const std::vector<StreamSpan>& regions)
{
    const std::optional<ChipRecord> opened = sessionOpened(workbench, host, regions);
    if (!opened)
        return false;
    const ChipRecord& chip = *opened;
    const std::vector<uint8_t> target = targetImage(workbench, chip, WriteSpan(workbench.buffers, chip).span);
    startPhase(workbench, host, chip, Msg::UpdateVerifying);
    Outcome outcome = Outcome::success();
    for (const StreamSpan& region : regions) {
        if (outcome = VerifyBlocks(workbench, host, chip, region, target.data()); !outcome.ok())
            break;
    }
    host.hideProgress();
    if (outcome.ok())
        LogCompletion(host, FrameText(workbench, Msg::VerifyDone));
    else
        host.errorBox(outcome.message());
    ShowTiming(workbench, host);
    DeviceSessionEnd(workbench, host);
    return outcome.ok();
}
