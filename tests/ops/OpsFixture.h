#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "belcor_sim.h"
#include "buffers/BufferSet.h"
#include "chips/ChipRecord.h"
#include "link/CommandBlock.h"
#include "ops/ChipOperations.h"
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

// A selected chip of the record's kind seated in the programmer, plus the
// questions the operation tests ask of the transcript.
class OpsFixture : public SimulatorFixture {
protected:
    void useChip(const ChipRecord& record)
    {
        setCurrentChip(record);
        seatChip({record.chipClass, record.chipId, record.flashSize, record.flashPage});
    }

    bool run(Operation operation, const AutoOptions& options = {})
    {
        return RunOperation(workbench, host, operation, options);
    }

    uint8_t* flash() { return workbench.buffers.flash(); }
    std::string lastError() const { return host.errorBoxes.empty() ? std::string() : host.errorBoxes.back(); }
    void setRange(int32_t start, int32_t end)
    {
        workbench.buffers.range = {start, end, true};
    }

    static std::vector<belcor_sim_event> dataOf(int kind) { return events(kind); }

    void fillPattern(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i)
            flash()[i] = uint8_t(i * 7 + 1);
    }

    // Parameters of the Erase commands, as sent most significant byte first.
    static std::vector<uint16_t> eraseParameters()
    {
        std::vector<uint16_t> parameters;
        for (const belcor_sim_event& event : commands(CommandBlock::Erase))
            parameters.push_back(uint16_t(event.block[26] << 8 | event.block[27]));
        return parameters;
    }

    static std::vector<uint32_t> addressesOf(const std::vector<belcor_sim_event>& transfers)
    {
        std::vector<uint32_t> addresses;
        for (const belcor_sim_event& event : transfers)
            addresses.push_back(event.address);
        return addresses;
    }

    // Start address of the SetAddress commands, as sent most significant byte first.
    static std::vector<uint32_t> startAddresses()
    {
        std::vector<uint32_t> addresses;
        for (const belcor_sim_event& event : commands(CommandBlock::SetAddress))
            addresses.push_back(uint32_t(event.block[8]) << 24 | uint32_t(event.block[9]) << 16 |
                                uint32_t(event.block[10]) << 8 | event.block[11]);
        return addresses;
    }

    static int fourByteCommands()
    {
        int count = 0;
        for (const belcor_sim_event& event : commands(CommandBlock::ChipCommand))
            count += event.block[3] == 1 && event.block[4] == 0xB7;
        return count;
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
        EXPECT_TRUE(host.log.empty()) << host.log.front();
        EXPECT_FALSE(workbench.link.isOpen());
        EXPECT_FALSE(workbench.busy);
    }
};
