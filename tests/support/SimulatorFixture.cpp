#include "support/SimulatorFixture.h"

#include <filesystem>

#include "core/MessageCatalogue.h"
#include "link/Libusb0.h"
#include "link/TUsbBulk.h"

void SimulatorFixture::SetUp()
{
    belcor_sim_reset();
    Libusb0::setLibraryPath(simulatorPath());
    Libusb0::setEntryFilter({});
    workbench.languageIndex = English;
    workbench.link.setSleep([this](uint32_t milliseconds) { host.sleepMs(milliseconds); });
}

void SimulatorFixture::TearDown()
{
    workbench.link.USB_bulk_close();
    Libusb0::setEntryFilter({});
    if (expectNoProtocolErrors) {
        EXPECT_EQ(protocolErrors(), std::vector<std::string>());
    }
}

std::string SimulatorFixture::simulatorPath()
{
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe");
    return (executable.parent_path() / "libbelcor_sim.so").string();
}

void SimulatorFixture::setCurrentChip(const ChipRecord& record)
{
    workbench.catalogue.ChipDatabase[workbench.catalogue.currentChip] = record;
}

void SimulatorFixture::seatChip(const belcor_sim_chip& chip)
{
    ASSERT_EQ(belcor_sim_seat_chip(&chip), 0) << "the simulator refused the chip";
}

std::vector<belcor_sim_event> SimulatorFixture::transcript()
{
    std::vector<belcor_sim_event> all(belcor_sim_transcript_size());
    for (size_t i = 0; i < all.size(); ++i)
        belcor_sim_transcript_get(i, &all[i]);
    return all;
}

std::vector<belcor_sim_event> SimulatorFixture::events(int kind)
{
    std::vector<belcor_sim_event> found;
    for (const belcor_sim_event& event : transcript())
        if (event.kind == kind)
            found.push_back(event);
    return found;
}

std::vector<belcor_sim_event> SimulatorFixture::commands()
{
    return events(BELCOR_SIM_EVENT_COMMAND);
}

std::vector<belcor_sim_event> SimulatorFixture::commands(uint8_t opcode)
{
    std::vector<belcor_sim_event> found;
    for (const belcor_sim_event& event : commands())
        if (event.block[1] == opcode)
            found.push_back(event);
    return found;
}

std::vector<uint8_t> SimulatorFixture::commandOpcodes()
{
    std::vector<uint8_t> opcodes;
    for (const belcor_sim_event& event : commands())
        opcodes.push_back(event.block[1]);
    return opcodes;
}

std::vector<belcor_sim_event> SimulatorFixture::dataTransfers()
{
    std::vector<belcor_sim_event> found;
    for (const belcor_sim_event& event : transcript())
        if (event.kind == BELCOR_SIM_EVENT_DATA_OUT || event.kind == BELCOR_SIM_EVENT_DATA_IN)
            found.push_back(event);
    return found;
}

std::vector<std::string> SimulatorFixture::protocolErrors()
{
    std::vector<std::string> errors;
    for (size_t i = 0; i < belcor_sim_protocol_error_count(); ++i)
        errors.emplace_back(belcor_sim_protocol_error(i));
    return errors;
}
