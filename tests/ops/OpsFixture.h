#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "belcor_sim.h"
#include "link/CommandBlock.h"
#include "ops/ChipOperations.h"
#include "core/Workbench.h"
#include "support/SimulatorFixture.h"

inline ChipRecord chipRecord(const char* title, uint8_t chipClass, uint32_t size, uint16_t page,
                             uint32_t chipId = 0, uint16_t delay = 100)
{
    ChipRecord record{};
    std::strncpy(record.title, title, sizeof record.title - 1);
    record.chipClass = chipClass;
    record.flashSize = size;
    record.flashPage = page;
    record.chipId = chipId;
    record.delay = delay;
    return record;
}

// The selected chip seated in the programmer, plus what the operation tests
// ask of the transcript.
class OpsFixture : public SimulatorFixture {
protected:
    void useChip(const ChipRecord& record)
    {
        setCurrentChip(record);
        seatChip({record.chipClass, record.chipId, record.flashSize, record.flashPage});
    }
    void useFlash(uint32_t size = 0x1000, uint16_t page = 256)
    {
        useChip(chipRecord("SPI_FLASH,T,F", SpiFlash25, size, page, 0xEF4014));
    }

    bool run(Operation operation, const AutoOptions& options = {})
    {
        return RunOperation(workbench, host, operation, options);
    }

    uint8_t* flash() { return workbench.buffers.flash(); }
    void fillPattern(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i)
            flash()[i] = uint8_t(i * 7 + 1);
    }
    std::string lastError() const { return host.errorBoxes.empty() ? std::string() : host.errorBoxes.back(); }

    // Chip addresses of the data blocks moved, in order.
    static std::vector<uint32_t> blockAddresses(int kind = 0)
    {
        std::vector<uint32_t> addresses;
        for (const belcor_sim_event& event : dataTransfers())
            if (kind == 0 || event.kind == kind)
                addresses.push_back(event.address);
        return addresses;
    }

    // A field of every command with `opcode`, as sent most significant byte first.
    static std::vector<uint32_t> fieldOf(uint8_t opcode, size_t offset, size_t bytes)
    {
        std::vector<uint32_t> values;
        for (const belcor_sim_event& event : commands(opcode)) {
            uint32_t value = 0;
            for (size_t i = 0; i < bytes; ++i)
                value = value << 8 | event.block[offset + i];
            values.push_back(value);
        }
        return values;
    }

    uint32_t lastProgressPosition() const
    {
        uint32_t position = 0;
        for (const RecordingHost::ProgressCall& call : host.progressCalls)
            if (call.kind == RecordingHost::ProgressCall::Set)
                position = call.value;
        return position;
    }

    // Nothing was reported as done and the session was closed again.
    void expectFailedWith(const std::string& message)
    {
        EXPECT_EQ(host.errorBoxes, std::vector<std::string>{message});
        EXPECT_EQ(host.log, std::vector<std::string>{});
        EXPECT_FALSE(workbench.link.isOpen());
        EXPECT_FALSE(workbench.busy);
    }
};
