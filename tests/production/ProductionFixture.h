#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/SimulatorFixture.h"

// A simulator fixture with the default chip database loaded, a folder of its
// own and the AMIC A25L512 (64 KiB serial flash) as the production chip.
class ProductionFixture : public SimulatorFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string path(const std::string& name) const { return (folder / name).string(); }
    void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> readFile(const std::string& name) const;
    std::vector<uint8_t> chipContents(uint32_t address, uint32_t size) const;
    // Selects the A25L512 and loads `image` as the job's image.
    void selectChipAndLoad(const std::string& image);

    static constexpr const char* ChipTitle = "SPI_FLASH,AMIC,A25L512";
    static constexpr belcor_sim_chip Chip = {0, 0x373010, 65536, 256};

    std::filesystem::path folder;
};
