// Chip operations through the real main window, offscreen: its WindowHost
// (throttled event pumping, progress bars, log line) and the hex view reload
// after a read. The simulator moves data instantly and records no data
// events, so what is measured is our own cost; bench_ops gives the same
// operations with a host that does nothing, for comparison.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "app/TForm1.h"
#include "belcor_sim.h"
#include "hexview/HexView.h"
#include "link/Libusb0.h"
#include "ops/SelectChip.h"

namespace {

std::filesystem::path executableFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// One main window for the whole run, shown offscreen with the shipped database.
class Bench {
public:
    static Bench& instance()
    {
        static Bench bench;
        return bench;
    }

    TForm1& window() { return *window_; }

    // Makes the first record a serial flash of `size` bytes, seats it in the
    // simulator with random contents and selects it.
    void selectChip(uint32_t size)
    {
        belcor_sim_reset();
        belcor_sim_set_transcript_enabled(0);
        belcor_sim_set_transfer_rate(0);
        const belcor_sim_chip chip{0, 0xEF4020, size, 256};
        belcor_sim_seat_chip(&chip);
        std::vector<uint8_t> image(size);
        std::mt19937 random(7);
        std::generate(image.begin(), image.end(), [&random] { return uint8_t(random()); });
        belcor_sim_chip_write(0, image.data(), size);

        Workbench& workbench = window_->workbench();
        ChipRecord& record = workbench.catalogue.ChipDatabase[0];
        record.chipId = 0xEF4020;
        record.flashSize = size;
        record.flashPage = 256;
        record.algorithm = size > FourByteAddressThreshold ? 128 : 0;
        SelectChip(workbench, window_->host(), 0, 0, 0);
        settle();
    }

private:
    Bench()
    {
        Libusb0::setLibraryPath((executableFolder() / "libbelcor_sim.so").string());
        window_ = std::make_unique<TForm1>(settings_.filePath("belcor.ini").toStdString(),
                                           (executableFolder() / "belcor.Dat").string());
        window_->show();
        settle();
    }

    QTemporaryDir settings_;
    std::unique_ptr<TForm1> window_;
};

void countBlocks(benchmark::State& state, uint32_t size)
{
    state.SetBytesProcessed(int64_t(size) * state.iterations());
    // Whole time per 256-byte block, the link's fixed reply pauses included.
    state.counters["us_per_block"] = benchmark::Counter(double(size / 256) * double(state.iterations()) / 1e6,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_WindowRead(benchmark::State& state)
{
    const uint32_t size = uint32_t(state.range(0)) << 20;
    Bench& bench = Bench::instance();
    bench.selectChip(size);
    for (auto _ : state)
        bench.window().ToolReadClick();
    countBlocks(state, size);
}

void BM_WindowVerify(benchmark::State& state)
{
    const uint32_t size = uint32_t(state.range(0)) << 20;
    Bench& bench = Bench::instance();
    bench.selectChip(size);
    bench.window().ToolReadClick();
    for (auto _ : state)
        bench.window().ToolVerifyClick();
    countBlocks(state, size);
}

void BM_WindowWrite(benchmark::State& state)
{
    const uint32_t size = uint32_t(state.range(0)) << 20;
    Bench& bench = Bench::instance();
    bench.selectChip(size);
    Workbench& workbench = bench.window().workbench();
    std::memset(workbench.buffers.flash(), 0x5A, size);
    for (auto _ : state) {
        workbench.buffers.dataLength = int32_t(size);
        bench.window().ToolWriteClick();
    }
    countBlocks(state, size);
}

BENCHMARK(BM_WindowRead)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_WindowVerify)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowWrite)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// Choosing a 64 MiB chip: the buffer refilled with 0xFF and both views loaded.
void BM_WindowSelectChip(benchmark::State& state)
{
    Bench& bench = Bench::instance();
    bench.selectChip(64u << 20);
    TForm1& window = bench.window();
    for (auto _ : state) {
        window.ComboBox3Change(0);
        settle();
    }
}
BENCHMARK(BM_WindowSelectChip)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 64 MiB read while the user scrolls the FLASH view every few milliseconds:
// the longest the window went without handling its events.
void BM_WindowScrollDuringRead(benchmark::State& state)
{
    Bench& bench = Bench::instance();
    bench.selectChip(64u << 20);
    TForm1& window = bench.window();
    QScrollBar* scroll = window.ui.FlashEditor->verticalScrollBar();
    for (auto _ : state) {
        qint64 longestGapMs = 0;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer scroller;
        scroller.setInterval(5);
        QObject::connect(&scroller, &QTimer::timeout, [&] {
            longestGapMs = std::max(longestGapMs, sinceTick.restart());
            scroll->setValue((scroll->value() + 997) % std::max(1, scroll->maximum()));
        });
        scroller.start();
        sinceTick.restart();
        window.ToolReadClick();
        state.counters["longest_gap_ms"] = double(longestGapMs);
    }
}
BENCHMARK(BM_WindowScrollDuringRead)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Batch mode at an empty socket for three seconds: the share of one core the
// window's query loop keeps busy.
void BM_WindowBatchWaitCpu(benchmark::State& state)
{
    Bench& bench = Bench::instance();
    bench.selectChip(1u << 20);
    belcor_sim_remove_chip();
    QToolButton* bulk = bench.window().ui.ToolBulk;
    for (auto _ : state) {
        QTimer::singleShot(3000, bulk, &QToolButton::click);
        const double cpuBefore = processCpuSeconds();
        bulk->click();
        state.counters["cpu_percent"] = (processCpuSeconds() - cpuBefore) / 3.0 * 100.0;
    }
}
BENCHMARK(BM_WindowBatchWaitCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
