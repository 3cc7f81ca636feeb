#include "UpgradeFixture.h"

#include <fstream>

#include "maint/HidApi.h"

void UpgradeFixture::SetUp()
{
    SimulatorFixture::SetUp();
    HidApi::setLibraryPath(simulatorPath());
    folder = std::filesystem::temp_directory_path()
             / ("belcor-maint-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
}

void UpgradeFixture::TearDown()
{
    workbench.hid.hid_close();
    std::filesystem::remove_all(folder);
    SimulatorFixture::TearDown();
}

std::string UpgradeFixture::writeFirmware(uint32_t size, const std::string& name)
{
    std::vector<char> bytes(size);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(firmwareByte(i));
    const std::filesystem::path path = folder / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::vector<belcor_sim_event> UpgradeFixture::hidReports()
{
    return events(BELCOR_SIM_EVENT_HID_OUT);
}

std::vector<uint8_t> UpgradeFixture::hidCommands()
{
    std::vector<uint8_t> commands;
    for (const belcor_sim_event& report : hidReports())
        commands.push_back(report.block[1]);
    return commands;
}

std::vector<uint8_t> UpgradeFixture::lastImage()
{
    std::vector<uint8_t> image(belcor_sim_last_image(nullptr, 0));
    belcor_sim_last_image(image.data(), static_cast<uint32_t>(image.size()));
    return image;
}
