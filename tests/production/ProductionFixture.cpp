#include "production/ProductionFixture.h"

#include <unistd.h>

#include <fstream>

#include "chips/ChipDatabaseFile.h"
#include "chips/ChipSearch.h"
#include "ops/SelectChip.h"

void ProductionFixture::SetUp()
{
    SimulatorFixture::SetUp();
    folder = std::filesystem::temp_directory_path() /
             ("belcor-production-" + std::to_string(::getpid()) + "-" +
              testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    // The database the build puts beside belcor-cli, in this same folder.
    const std::filesystem::path cli = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "belcor-cli";
    ASSERT_EQ(LoadChipDatabase(workbench, host, ChipDatabaseFile::pathFor(cli.string())), 1);
}

void ProductionFixture::TearDown()
{
    std::filesystem::remove_all(folder);
    SimulatorFixture::TearDown();
}

void ProductionFixture::writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                         static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ProductionFixture::readFile(const std::string& name) const
{
    std::ifstream file(folder / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> ProductionFixture::chipContents(uint32_t address, uint32_t size) const
{
    std::vector<uint8_t> bytes(size);
    belcor_sim_chip_read(address, bytes.data(), size);
    return bytes;
}

void ProductionFixture::selectChipAndLoad(const std::string& image)
{
    const std::vector<ChipSearchRow> rows = FindChips(workbench.catalogue, ChipTitle);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_GE(SelectSearchResult(workbench, host, rows.front()), 0);
    std::ifstream file(path(image), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::copy(bytes.begin(), bytes.end(), workbench.buffers.flash());
    workbench.buffers.dataLength = static_cast<int32_t>(bytes.size());
}
