#include "ops/UpdatePlan.h"

#include <algorithm>
#include <cstring>

namespace {

// What the host waits, in milliseconds, on typical parts: it decides between
// sector, block and chip erases. A sector erase takes 45 ms and a block erase
// 150 ms, each seen through status polls of 50 ms; a block program 0.7 ms
// plus its transfer.
constexpr uint32_t SectorEraseCost = 100;
constexpr uint32_t BlockEraseCost = 200;
constexpr uint32_t ProgramCost = 1;
constexpr uint32_t SectorsPerBlock = EraseBlockBytes / SectorBytes;

bool isBlank(const uint8_t* bytes, uint32_t length)
{
    return std::all_of(bytes, bytes + length, [](uint8_t byte) { return byte == 0xFF; });
}

// Adds [start, end) to `runs`, joining it to the last run when they touch.
void appendRun(std::vector<StreamSpan>& runs, uint32_t start, uint32_t end)
{
    if (!runs.empty() && runs.back().end == start)
        runs.back().end = end;
    else
        runs.push_back({start, end});
}

struct Sector {
    uint32_t start = 0;
    uint32_t length = 0;
    SectorState state = SectorState::Equal;
    uint32_t differingBlocks = 0;  // what programming alone would write
    uint32_t filledBlocks = 0;     // what programming after an erase would write
    bool erase = false;
};

Sector examine(const uint8_t* present, const uint8_t* target, uint32_t start, uint32_t length, uint32_t block)
{
    Sector sector{start, length, ClassifySector(present + start, target + start, length)};
    for (uint32_t at = start; at < start + length; at += block) {
        const uint32_t count = std::min(block, start + length - at);
        sector.differingBlocks += std::memcmp(present + at, target + at, count) != 0;
        sector.filledBlocks += !isBlank(target + at, count);
    }
    return sector;
}

bool mayErase(const std::vector<StreamSpan>& within, uint64_t start, uint64_t end)
{
    return within.empty() || std::any_of(within.begin(), within.end(), [=](const StreamSpan& span) {
               return span.start <= start && end <= span.end;
           });
}

uint32_t sectorCost(const Sector& sector)
{
    switch (sector.state) {
    case SectorState::NeedsErase:
        return SectorEraseCost + sector.filledBlocks * ProgramCost;
    case SectorState::ProgramOnly:
        return sector.differingBlocks * ProgramCost;
    case SectorState::Equal:
        break;
    }
    return 0;
}

}  // namespace

SectorState ClassifySector(const uint8_t* present, const uint8_t* wanted, uint32_t length)
{
    bool equal = true;
    for (uint32_t i = 0; i < length; ++i) {
        if (present[i] == wanted[i])
            continue;
        if (wanted[i] & ~present[i])
            return SectorState::NeedsErase;
        equal = false;
    }
    return equal ? SectorState::Equal : SectorState::ProgramOnly;
}

UpdatePlan PlanFlashUpdate(const uint8_t* present, const uint8_t* target, uint32_t size, uint32_t block,
                           const std::vector<StreamSpan>& eraseWithin)
{
    std::vector<Sector> sectors;
    for (uint64_t start = 0; start < size; start += SectorBytes)
        sectors.push_back(examine(present, target, uint32_t(start), uint32_t(std::min<uint64_t>(SectorBytes, size - start)),
                                  block));

    UpdatePlan plan;
    uint64_t planCost = 0;
    uint64_t chipCost = 0;
    bool anyErase = false;
    for (size_t first = 0; first < sectors.size(); first += SectorsPerBlock) {
        const auto begin = sectors.begin() + long(first);
        const auto end = sectors.begin() + long(std::min(first + SectorsPerBlock, sectors.size()));
        uint64_t bySectors = 0, byBlock = BlockEraseCost;
        bool erases = false;
        for (auto sector = begin; sector != end; ++sector) {
            bySectors += sectorCost(*sector);
            byBlock += sector->filledBlocks * ProgramCost;
            erases = erases || sector->state == SectorState::NeedsErase;
        }
        chipCost += byBlock;
        anyErase = anyErase || erases;
        const bool wholeBlock = erases && byBlock < bySectors &&
                                mayErase(eraseWithin, begin->start, uint64_t(begin->start) + EraseBlockBytes);
        planCost += wholeBlock ? byBlock : bySectors;
        if (wholeBlock)
            plan.erases.push_back({EraseUnit::Block, begin->start});
        for (auto sector = begin; sector != end; ++sector) {
            sector->erase = wholeBlock || sector->state == SectorState::NeedsErase;
            if (sector->state == SectorState::NeedsErase && !wholeBlock)
                plan.erases.push_back({EraseUnit::Sector, sector->start});
        }
    }
    // Erasing every block one by one takes about as long as a chip erase.
    if (anyErase && chipCost <= planCost && mayErase(eraseWithin, 0, size)) {
        plan.chipErase = true;
        plan.erases.clear();
        for (Sector& sector : sectors)
            sector.erase = true;
    }

    for (const Sector& sector : sectors) {
        if (!sector.erase && sector.state == SectorState::Equal) {
            ++plan.skipped;
            continue;
        }
        ++(sector.erase ? plan.erased : plan.programmed);
        appendRun(plan.touched, sector.start, sector.start + sector.length);
        for (uint32_t at = sector.start; at < sector.start + sector.length; at += block) {
            const uint32_t count = std::min(block, sector.start + sector.length - at);
            const bool needed = sector.erase ? !isBlank(target + at, count)
                                             : std::memcmp(present + at, target + at, count) != 0;
            if (needed)
                appendRun(plan.programs, at, at + block);
        }
    }
    return plan;
}

UpdatePlan PlanEepromUpdate(const uint8_t* present, const uint8_t* target, uint32_t size, uint32_t block)
{
    UpdatePlan plan;
    for (uint64_t at = 0; at < size; at += block) {
        const uint32_t count = uint32_t(std::min<uint64_t>(block, size - at));
        if (std::memcmp(present + at, target + at, count) == 0) {
            ++plan.skipped;
            continue;
        }
        ++plan.programmed;
        appendRun(plan.programs, uint32_t(at), uint32_t(at) + block);
        appendRun(plan.touched, uint32_t(at), uint32_t(at) + block);
    }
    return plan;
}
