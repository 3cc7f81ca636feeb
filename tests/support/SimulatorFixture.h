#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "belcor_sim.h"
#include "chips/ChipRecord.h"
#include "ops/OwnedWorkbench.h"
#include "support/RecordingHost.h"

// Base fixture for tests that drive the programmer simulator through the real
// libusb binding. Before each test the simulator is back in its initial state
// (one programmer, empty socket, no faults, empty transcript), the binding
// loads libbelcor_sim.so from beside the test executable with every entry
// point, and `workbench` is fresh: English texts, the link's reply pause going
// through `host` (so it is recorded and moves simulated time), slot 0 all
// zeros and selected.
//
// After each test the link is closed and, unless the test cleared
// `expectNoProtocolErrors`, the firmware must have seen no protocol mistake.
//
//   class ReadTest : public SimulatorFixture {};
//   TEST_F(ReadTest, ReadsTheWholeChip) {
//       setCurrentChip(record);
//       seatChip({0, 0xEF4018, 0x1000000, 256});
//       ... run the operation on workbench and host ...
//       EXPECT_EQ(commandOpcodes(), (std::vector<uint8_t>{7, 5, 8}));
//   }
class SimulatorFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // libbelcor_sim.so in the folder of the running executable.
    static std::string simulatorPath();

    // Writes `record` into the selected slot of the catalogue.
    void setCurrentChip(const ChipRecord& record);
    // belcor_sim_seat_chip, failing the test when the simulator refuses.
    static void seatChip(const belcor_sim_chip& chip);

    // The whole transcript, and parts of it, in order.
    static std::vector<belcor_sim_event> transcript();
    static std::vector<belcor_sim_event> events(int kind);
    // Command blocks received, all or those with one opcode (byte 1).
    static std::vector<belcor_sim_event> commands();
    static std::vector<belcor_sim_event> commands(uint8_t opcode);
    // Byte 1 of every command block, e.g. {7, 5, 8} for BeginSession,
    // SetAddress, EndSession.
    static std::vector<uint8_t> commandOpcodes();
    // Bulk data written to and read from the programmer.
    static std::vector<belcor_sim_event> dataTransfers();
    static std::vector<std::string> protocolErrors();

    RecordingHost host;
    OwnedWorkbench workbench;
    bool expectNoProtocolErrors = true;
};
