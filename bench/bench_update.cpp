// Update against AUTO in simulated time, with a serial flash's typical timings
// (sector erase 45 ms, 64 KiB block erase 150 ms, page program 0.7 ms, chip
// erase of a 16 MiB part 40 s) and the host's own waits (50 ms reply pauses,
// polls, the settle before verify). Data transfers are priced at a USB rate
// given on the command line (MB/s, default 1: a full-speed device); the real
// time the benchmark itself takes is left out. Then the write of one 512 KiB
// region of a 16 MiB chip whose other regions already match, against reading,
// erasing and programming a 512 KiB chip: the region must take at most 1.3
// times as long (exit 1 otherwise).
//   bench_update [MB_PER_S ...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "belcor_sim.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "core/OperationHost.h"
#include "link/Libusb0.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"
#include "ops/UpdateOperations.h"

namespace {

// Waits move the simulator's clock instead of the thread.
class SimulatedHost : public OperationHost {
public:
    void setStateText(const std::string&) override {}
    void setElapsedText(const std::string&) override {}
    void showProgress(uint32_t) override {}
    void setProgress(uint32_t) override {}
    void hideProgress() override {}
    void pumpEvents() override {}
    void errorBox(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
    void informationBox(const std::string&) override {}
    bool question(const std::string&) override { return true; }
    void insertLogLine(const std::string& line) override { lastLine = line; }
    std::string firstLogLine() const override { return lastLine; }
    void beep() override {}
    void sleepMs(uint32_t milliseconds) override { belcor_sim_advance_ms(milliseconds); }
    std::string longTimeText() const override { return "00:00:00"; }
    int64_t nowMs() const override { return int64_t(belcor_sim_now_ms()); }

    std::string lastLine;
};

struct Cost {
    double waitSeconds = 0;  // chip busy times and host waits
    uint64_t bytesMoved = 0;
    size_t pageWrites = 0;   // data blocks written
    double at(double megabytesPerSecond) const { return waitSeconds + double(bytesMoved) / (megabytesPerSecond * 1e6); }
};

// Runs `operation` on a chip seated holding `old`, the buffer holding `wanted`.
Cost measure(const ChipRecord& record, const std::vector<uint8_t>& old, const std::vector<uint8_t>& wanted,
             uint32_t chipEraseMs, const std::function<bool(Workbench&, OperationHost&)>& operation)
{
    belcor_sim_reset();
    belcor_sim_set_erase_time_ms(chipEraseMs);
    const belcor_sim_chip chip{record.chipClass, record.chipId, record.flashSize, record.flashPage};
    belcor_sim_seat_chip(&chip);
    belcor_sim_chip_write(0, old.data(), uint32_t(old.size()));
    OwnedWorkbench workbench;
    SimulatedHost host;
    workbench.link.setSleep([&](uint32_t milliseconds) { host.sleepMs(milliseconds); });
    workbench.catalogue.ChipDatabase[workbench.catalogue.currentChip] = record;
    std::copy(wanted.begin(), wanted.end(), workbench.buffers.flash());
    workbench.buffers.dataLength = int32_t(wanted.size());

    const auto realStart = std::chrono::steady_clock::now();
    const uint64_t simulatedStart = belcor_sim_now_ms();
    if (!operation(workbench, host))
        std::fprintf(stderr, "operation failed\n");
    const double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
    Cost cost;
    cost.waitSeconds = double(belcor_sim_now_ms() - simulatedStart) / 1000.0 - real;
    for (size_t i = 0; i < belcor_sim_transcript_size(); ++i) {
        belcor_sim_event event;
        belcor_sim_transcript_get(i, &event);
        if (event.kind == BELCOR_SIM_EVENT_DATA_IN || event.kind == BELCOR_SIM_EVENT_DATA_OUT)
            cost.bytesMoved += event.length;
        cost.pageWrites += event.kind == BELCOR_SIM_EVENT_DATA_OUT;
    }
    std::vector<uint8_t> result(old.size());
    belcor_sim_chip_read(0, result.data(), uint32_t(result.size()));
    if (result != wanted)
        std::fprintf(stderr, "the chip does not hold the image afterwards\n");
    return cost;
}

bool runAuto(Workbench& workbench, OperationHost& host)
{
    return RunOperation(workbench, host, Operation::Auto);
}

bool runUpdate(Workbench& workbench, OperationHost& host)
{
    return RunUpdate(workbench, host);
}

ChipRecord chipRecord(uint8_t chipClass, uint32_t size, uint16_t page, uint32_t id, uint16_t delay)
{
    ChipRecord record{};
    record.chipClass = chipClass;
    record.flashSize = size;
    record.flashPage = page;
    record.chipId = id;
    record.delay = delay;
    return record;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<double> rates;
    for (int i = 1; i < argc; ++i)
        rates.push_back(std::atof(argv[i]));
    if (rates.empty())
        rates = {1.0};
    Libusb0::setLibraryPath((std::filesystem::canonical("/proc/self/exe").parent_path() / "libbelcor_sim.so").string());

    constexpr uint32_t FlashSize = 16u << 20;
    const ChipRecord flash = chipRecord(SpiFlash25, FlashSize, 256, 0xEF4018, 3000);
    std::mt19937 random(1);
    std::vector<uint8_t> old(FlashSize);
    for (uint8_t& byte : old)
        byte = uint8_t(random());

    struct Change {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    const Change changes[] = {
        {"64 KiB over 16 sectors", [&](auto& image) {
             for (uint32_t sector = 0; sector < 16; ++sector)
                 for (uint32_t i = 0; i < 4096; ++i)
                     image[sector * (1u << 20) + 0x3000 + i] = uint8_t(random());
         }},
        {"1 byte", [](auto& image) { image[0x123456] = uint8_t(~image[0x123456]); }},
        {"everything", [&](auto& image) {
             for (uint8_t& byte : image)
                 byte = uint8_t(random());
         }},
    };
    std::printf("16 MiB serial flash, chip erase 40 s; seconds at each transfer rate\n");
    for (const Change& change : changes) {
        std::vector<uint8_t> wanted = old;
        change.apply(wanted);
        const Cost automatic = measure(flash, old, wanted, 40000, runAuto);
        const Cost update = measure(flash, old, wanted, 40000, runUpdate);
        for (double rate : rates) {
            const Cost read{0, FlashSize, 0};
            std::printf("  change %-24s %5.1f MB/s: AUTO %7.1f s, Update %7.1f s, %6.1fx faster"
                        " (Update - AUTO - one read: %+.1f s)\n",
                        change.name, rate, automatic.at(rate), update.at(rate), automatic.at(rate) / update.at(rate),
                        update.at(rate) - automatic.at(rate) - read.at(rate));
        }
    }

    // A region write leaves out the verify, as Write does; so does the peer.
    constexpr uint32_t RegionSize = 512u << 10;
    constexpr uint32_t RegionStart = 0x400000;
    std::vector<uint8_t> regionWanted = old;
    for (uint32_t i = RegionStart; i < RegionStart + RegionSize; ++i)
        regionWanted[i] = uint8_t(random());
    const Cost region = measure(flash, old, regionWanted, 40000, [&](Workbench& workbench, OperationHost& host) {
        UpdateOptions options;
        options.regions = {{RegionStart, RegionStart + RegionSize}};
        options.verify = false;
        return RunUpdate(workbench, host, options);
    });
    const ChipRecord small = chipRecord(SpiFlash25, RegionSize, 256, 0xEF4013, 3000);
    const std::vector<uint8_t> smallOld(old.begin(), old.begin() + RegionSize);
    const std::vector<uint8_t> smallWanted(regionWanted.begin() + RegionStart,
                                           regionWanted.begin() + RegionStart + RegionSize);
    // A 512 KiB part erases whole in about the time of its eight block erases.
    const Cost whole = measure(small, smallOld, smallWanted, 1200, [](Workbench& workbench, OperationHost& host) {
        UpdateOptions options;
        options.verify = false;
        return RunUpdate(workbench, host, options);
    });
    bool withinBound = true;
    for (double rate : rates) {
        const double ratio = region.at(rate) / whole.at(rate);
        withinBound = withinBound && ratio <= 1.3;
        std::printf("  512 KiB region of 16 MiB %5.1f MB/s: %6.2f s; read, erase, program 512 KiB %6.2f s; %.2fx%s\n",
                    rate, region.at(rate), whole.at(rate), ratio, ratio <= 1.3 ? "" : " (over 1.3x)");
    }

    constexpr uint32_t EepromSize = 0x8000;
    const ChipRecord eeprom = chipRecord(I2cEeprom24, EepromSize, 64, 0, 0);
    std::vector<uint8_t> oldEeprom(EepromSize), wantedEeprom;
    for (uint8_t& byte : oldEeprom)
        byte = uint8_t(random());
    wantedEeprom = oldEeprom;
    for (uint32_t i = 0x2000; i < 0x2400; ++i)
        wantedEeprom[i] = uint8_t(random());
    const Cost automatic = measure(eeprom, oldEeprom, wantedEeprom, 0, runAuto);
    const Cost update = measure(eeprom, oldEeprom, wantedEeprom, 0, runUpdate);
    std::printf("24C256, 1 KiB changed: page writes AUTO %zu, Update %zu; at %.1f MB/s AUTO %.2f s, Update %.2f s\n",
                automatic.pageWrites, update.pageWrites, rates.front(), automatic.at(rates.front()),
                update.at(rates.front()));
    return withinBound ? 0 : 1;
}
