// Cost of the chip operations themselves: the simulator moves data instantly
// and records no data events, so what remains is the per-block work of the
// core (transfer call, compare, progress, pump).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "belcor_sim.h"
#include "link/DeviceSession.h"
#include "link/Libusb0.h"
#include "ops/ChipOperations.h"
#include "core/OperationHost.h"
#include "ops/OwnedWorkbench.h"

namespace {

class MinimalHost : public OperationHost {
public:
    explicit MinimalHost(bool realSleep) : realSleep_(realSleep) {}

    void setStateText(const std::string&) override {}
    void setElapsedText(const std::string&) override {}
    void showProgress(uint32_t) override {}
    void setProgress(uint32_t position) override { benchmark::DoNotOptimize(position); }
    void hideProgress() override {}
    void pumpEvents() override {}
    void errorBox(const std::string& text) override { errors.push_back(text); }
    void informationBox(const std::string&) override {}
    bool question(const std::string&) override { return true; }
    void insertLogLine(const std::string&) override {}
    std::string firstLogLine() const override { return {}; }
    void beep() override {}
    void sleepMs(uint32_t milliseconds) override
    {
        if (realSleep_)
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    std::string longTimeText() const override { return "00:00:00"; }
    int64_t nowMs() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::vector<std::string> errors;

private:
    bool realSleep_;
};

std::string simulatorPath()
{
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / "libbelcor_sim.so").string();
}

// A workbench whose selected chip is a serial flash of `size` bytes, seated
// in the simulator and holding random data.
std::unique_ptr<OwnedWorkbench> benchWith(uint32_t size, MinimalHost& host)
{
    Libusb0::setLibraryPath(simulatorPath());
    belcor_sim_reset();
    belcor_sim_set_transcript_enabled(0);
    belcor_sim_set_transfer_rate(0);
    const belcor_sim_chip chip{0, 0xEF4020, size, 256};
    belcor_sim_seat_chip(&chip);

    auto workbench = std::make_unique<OwnedWorkbench>();
    ChipRecord& record = workbench->catalogue.ChipDatabase[0];
    std::strcpy(record.title, "SPI_FLASH,BENCH,B");
    record.chipId = 0xEF4020;
    record.flashSize = size;
    record.flashPage = 256;
    record.chipClass = SpiFlash25;
    record.delay = 100;
    workbench->catalogue.currentChip = 0;
    workbench->link.setSleep([&host](uint32_t ms) { host.sleepMs(ms); });

    std::vector<uint8_t> image(size);
    std::mt19937 random(7);
    for (auto& byte : image)
        byte = uint8_t(random());
    belcor_sim_chip_write(0, image.data(), size);
    std::memcpy(workbench->buffers.flash(), image.data(), size);
    workbench->buffers.dataLength = int32_t(size);
    return workbench;
}

void runOperation(benchmark::State& state, Operation operation)
{
    const uint32_t size = uint32_t(state.range(0)) << 20;
    MinimalHost host(false);
    auto workbench = benchWith(size, host);
    const int32_t length = workbench->buffers.dataLength;
    for (auto _ : state) {
        workbench->buffers.dataLength = length;
        if (!RunOperation(*workbench, host, operation))
            state.SkipWithError(host.errors.empty() ? "operation refused" : host.errors.back().c_str());
    }
    const double blocks = double(size / 256) * double(state.iterations());
    state.SetBytesProcessed(int64_t(size) * state.iterations());
    // Whole time per block, simulator included: an upper bound of our own cost.
    state.counters["per_block"] =
        benchmark::Counter(blocks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    belcor_sim_set_transcript_enabled(1);
}

void BM_Read(benchmark::State& state) { runOperation(state, Operation::Read); }
void BM_Verify(benchmark::State& state) { runOperation(state, Operation::Verify); }
void BM_Write(benchmark::State& state) { runOperation(state, Operation::Write); }

// The same blocks read with nothing around them: what the link and the
// simulator cost alone, so that Read minus this is our own share.
void BM_RawBlockRead(benchmark::State& state)
{
    const uint32_t size = uint32_t(state.range(0)) << 20;
    MinimalHost host(false);
    auto workbench = benchWith(size, host);
    for (auto _ : state) {
        DeviceSessionBegin(*workbench, host);
        SetStartAddress(*workbench, 0, 1);
        for (uint32_t offset = 0; offset < size; offset += 256)
            workbench->link.USB_bulk_read(workbench->buffers.flash() + offset, 256);
        DeviceSessionEnd(*workbench, host);
    }
    state.SetBytesProcessed(int64_t(size) * state.iterations());
    state.counters["per_block"] = benchmark::Counter(double(size / 256) * double(state.iterations()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    belcor_sim_set_transcript_enabled(1);
}

BENCHMARK(BM_RawBlockRead)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Verify)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Write)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Batch mode waiting at an empty socket, with a host that really sleeps:
// the share of one core the loop keeps busy.
void BM_BatchWaitCpu(benchmark::State& state)
{
    MinimalHost host(true);
    auto workbench = benchWith(1 << 20, host);
    belcor_sim_remove_chip();
    for (auto _ : state) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        const double cpuBefore = processCpuSeconds();
        RunBatch(*workbench, host, AutoOptions{}, [&] { return std::chrono::steady_clock::now() < until; });
        state.counters["cpu_percent"] = (processCpuSeconds() - cpuBefore) / 3.0 * 100.0;
    }
}
BENCHMARK(BM_BatchWaitCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
