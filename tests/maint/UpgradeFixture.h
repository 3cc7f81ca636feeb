#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "belcor_sim.h"
#include "support/SimulatorFixture.h"

// The simulator fixture with the boot-loader side bound as well, and firmware
// files made to measure in a scratch folder.
class UpgradeFixture : public SimulatorFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A firmware file of `size` bytes whose byte i is firmwareByte(i).
    std::string writeFirmware(uint32_t size, const std::string& name = "image.fwpk");
    static uint8_t firmwareByte(uint32_t offset) { return static_cast<uint8_t>(offset * 7 + (offset >> 8)); }

    // Reports the boot loader received, and byte 1 (the command) of each.
    static std::vector<belcor_sim_event> hidReports();
    static std::vector<uint8_t> hidCommands();

    // The image the last completed upgrade delivered.
    static std::vector<uint8_t> lastImage();

    std::filesystem::path folder;
};
