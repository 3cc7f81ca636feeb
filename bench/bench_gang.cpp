// Gang scaling: chips per hour with 1, 2, 4 and 8 simulated programmers, each
// running the batch loop on its own thread with its own link, all sharing one
// chip record and one image. The simulator takes realistic times: a 1 MiB
// serial flash, 1 s chip erase, 1 MB/s bulk transfers, a feeder that swaps a
// programmed chip for a blank one in 0.3 + 0.3 s. Also the CPU each
// programmer's loop uses while it waits at an empty socket, alone and with the
// production view's tiles following it (offscreen). Then what a gang costs
// beside its chips: the memory its seats take with a serial-number rule, and
// the time each programmer's socket query spends opening its link while the
// others open theirs. And the whole production view: how long it takes to
// open with eight tiles, and its CPU while they wait.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "belcor_sim.h"
#include "link/Libusb0.h"
#include "link/ProgrammerIdentity.h"
#include "link/TUsbBulk.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"
#include "ops/SeatWorker.h"
#include "production/GangRun.h"
#include "production/ProductionLog.h"
#include "production/SeatHost.h"
#include "production/SerialRule.h"
#include "production/ui/GangPanel.h"
#include "production/ui/ProductionView.h"

namespace {

constexpr uint32_t kChipSize = 1u << 20;
constexpr int kChipsPerProgrammer = 3;

std::string besideExecutable(const char* name)
{
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / name).string();
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts the chips one programmer's loop has finished.
class ChipCount : public BatchChipHooks {
public:
    bool beforeChip(const std::array<uint8_t, 4>&) override { return true; }
    bool afterChip(bool passed) override
    {
        ++done;
        failed += passed ? 0 : 1;
        return true;
    }
    std::atomic<int> done{0};
    std::atomic<int> failed{0};
};

// The station: a 1 MiB serial flash selected and a random image loaded.
std::unique_ptr<OwnedWorkbench> stationFor(int programmers, bool feeder, bool seated)
{
    Libusb0::setLibraryPath(besideExecutable("libbelcor_sim.so"));
    const std::string scenario = "/tmp/bench_gang_" + std::to_string(getpid()) + ".scenario";
    std::ofstream(scenario) << (seated ? "chip class=0 id=0xEF4014 size=1048576 page=256\n" : "")
                            << "erase_time_ms 1000\ntransfer_rate 1000\n"
                            << (feeder ? "feeder on 300\n" : "") << "programmers " << programmers << "\n";
    belcor_sim_load_scenario(scenario.c_str());
    std::filesystem::remove(scenario);
    belcor_sim_set_transcript_enabled(0);

    auto station = std::make_unique<OwnedWorkbench>();
    ChipRecord& record = station->catalogue.ChipDatabase[0];
    std::strcpy(record.title, "SPI_FLASH,BENCH,B");
    record.chipId = 0xEF4014;
    record.flashSize = kChipSize;
    record.flashPage = 256;
    record.chipClass = SpiFlash25;
    record.delay = 100;
    station->catalogue.currentChip = 0;
    std::mt19937 random(7);
    for (uint32_t i = 0; i < kChipSize; ++i)
        station->buffers.flash()[i] = uint8_t(random());
    station->buffers.dataLength = int32_t(kChipSize);
    return station;
}

std::string serialOf(int number)
{
    return "BU2SIM000000" + std::to_string(number);
}

// A station log of a benchmark's own, gone with it, and a job for it.
struct StationLog {
    StationLog() : path("/tmp/bench_gang_" + std::to_string(getpid()) + ".sqlite")
    {
        std::string error;
        log = ProductionLog::open({path}, error);
        job.name = "bench";
    }
    ~StationLog()
    {
        log.reset();
        std::filesystem::remove(path);
    }
    std::string path;
    std::unique_ptr<ProductionLog> log;
    ProductionJob job;
};

// Runs one batch loop per programmer until each has done `chips` chips, or
// until `until` when waiting only.
void runGang(OwnedWorkbench& station, int programmers, int chips, std::chrono::steady_clock::time_point until,
             std::vector<std::unique_ptr<ChipCount>>& counts)
{
    std::vector<std::unique_ptr<SeatWorker>> workers;
    for (int number = 1; number <= programmers; ++number) {
        counts.push_back(std::make_unique<ChipCount>());
        workers.push_back(std::make_unique<SeatWorker>(station, serialOf(number), std::make_unique<SeatHost>()));
        SeatWorker& worker = *workers.back();
        worker.start([&worker, chips, until, &count = *counts.back()] {
            RunBatch(worker.workbench(), worker.host(), AutoOptions{}, [&] {
                return count.done < chips && std::chrono::steady_clock::now() < until;
            }, &count);
        });
    }
    for (const std::unique_ptr<SeatWorker>& worker : workers)
        worker->join();
}

void BM_GangChipsPerHour(benchmark::State& state)
{
    const int programmers = int(state.range(0));
    for (auto _ : state) {
        auto station = stationFor(programmers, true, true);
        std::vector<std::unique_ptr<ChipCount>> counts;
        const auto start = std::chrono::steady_clock::now();
        const double cpuBefore = processCpuSeconds();
        runGang(*station, programmers, kChipsPerProgrammer, start + std::chrono::minutes(2), counts);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        int done = 0, failed = 0;
        for (const auto& count : counts) {
            done += count->done;
            failed += count->failed;
        }
        if (failed != 0 || done != programmers * kChipsPerProgrammer)
            state.SkipWithError("chips failed or missing");
        state.counters["chips_per_hour"] = double(done) / seconds * 3600.0;
        state.counters["cpu_percent_per_programmer"] =
            (processCpuSeconds() - cpuBefore) / seconds * 100.0 / programmers;
    }
}
BENCHMARK(BM_GangChipsPerHour)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)
    ->UseRealTime();

// Every programmer's loop waiting at an empty socket for five seconds.
void BM_GangWaitCpu(benchmark::State& state)
{
    const int programmers = int(state.range(0));
    for (auto _ : state) {
        auto station = stationFor(programmers, false, false);
        std::vector<std::unique_ptr<ChipCount>> counts;
        const double cpuBefore = processCpuSeconds();
        runGang(*station, programmers, 1, std::chrono::steady_clock::now() + std::chrono::seconds(5), counts);
        state.counters["cpu_percent_per_programmer"] = (processCpuSeconds() - cpuBefore) / 5.0 * 100.0 / programmers;
    }
}
BENCHMARK(BM_GangWaitCpu)->Arg(1)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void processEventsFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void startApplication()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_gang";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
}

// Answers the next dialog as it is offered: every programmer ticked, the
// operator's name left empty.
void acceptNextDialog()
{
    QTimer::singleShot(0, [] { qobject_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
}

// The same wait, started from the production view's tiles, which follow every
// seat several times a second and look at the bus once a second.
void BM_TilesWaitCpu(benchmark::State& state)
{
    const int programmers = int(state.range(0));
    startApplication();
    for (auto _ : state) {
        auto station = stationFor(programmers, false, false);
        StationLog log;
        SeatHost host;
        QWidget window;
        GangPanel panel(*station, host, [&](const std::vector<std::string>& names) {
            return std::make_unique<GangRun>(*station, *log.log, log.job, GangRun::Settings{}, names);
        }, &window);
        window.show();
        acceptNextDialog();
        panel.AddProgrammersClick();
        if (int(panel.tiles().size()) != programmers)
            state.SkipWithError("a programmer has no tile");
        panel.startAll();
        processEventsFor(1000);
        const double cpuBefore = processCpuSeconds();
        processEventsFor(5000);
        state.counters["cpu_percent_per_programmer"] = (processCpuSeconds() - cpuBefore) / 5.0 * 100.0 / programmers;
        panel.stopAll();
        while (panel.running())
            processEventsFor(50);
    }
}
BENCHMARK(BM_TilesWaitCpu)->Arg(1)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The whole production view as a station opens it: a job, eight tiles, shown
// and painted. Then its CPU while all eight wait at empty sockets.
struct ViewStation {
    explicit ViewStation(int programmers) : programmers(programmers), station(stationFor(programmers, false, false))
    {
        opened.job = log.job;
    }
    std::unique_ptr<ProductionView> open()
    {
        auto view = std::make_unique<ProductionView>(*station, host, &window);
        view->setLogPath(log.path);
        view->setJob(&opened);
        for (int number = 1; number <= programmers; ++number)
            view->programmers()->addProgrammer(serialOf(number));
        view->ApplyLanguage(English);
        view->show();
        QApplication::processEvents();
        return view;
    }
    int programmers;
    std::unique_ptr<OwnedWorkbench> station;
    StationLog log;
    OpenedJob opened;
    SeatHost host;
    QWidget window;
};

void BM_ViewOpenWithTiles(benchmark::State& state)
{
    startApplication();
    ViewStation station(int(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<ProductionView> view = station.open();
        state.PauseTiming();
        view.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ViewOpenWithTiles)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ViewWaitCpu(benchmark::State& state)
{
    startApplication();
    ViewStation station(int(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<ProductionView> view = station.open();
        acceptNextDialog();
        view->StartClick();
        if (!view->running())
            state.SkipWithError("the view did not start");
        processEventsFor(1000);
        const double cpuBefore = processCpuSeconds();
        processEventsFor(5000);
        state.counters["cpu_percent"] = (processCpuSeconds() - cpuBefore) / 5.0 * 100.0;
        view->StopClick();
        while (view->running())
            processEventsFor(50);
    }
}
BENCHMARK(BM_ViewWaitCpu)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int64_t residentBytes()
{
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return int64_t(resident) * sysconf(_SC_PAGESIZE);
}

// The resident memory that N seats of a gang with a serial-number rule add:
// each patches its own serial numbers into its own copy of the image.
void BM_GangSeatMemory(benchmark::State& state)
{
    const int programmers = int(state.range(0));
    for (auto _ : state) {
        auto station = stationFor(programmers, false, false);
        StationLog log;
        std::string error;
        log.job.serial = ParseSerialRule("0x10:4:le:1", error);
        std::vector<std::string> names;
        for (int number = 1; number <= programmers; ++number)
            names.push_back(serialOf(number));
        const int64_t before = residentBytes();
        GangRun gang(*station, *log.log, log.job, GangRun::Settings{}, names);
        state.counters["seats_mib"] = double(residentBytes() - before) / double(1 << 20);
    }
}
BENCHMARK(BM_GangSeatMemory)->Arg(8)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every programmer's link opening and closing its own programmer as fast as
// it can, all at once, as their socket queries do: the mean time of one open,
// and how many devices each open opened (the simulator's string reads cost
// microseconds; a real programmer's take a USB round trip each).
void BM_GangOpenCost(benchmark::State& state)
{
    constexpr int kOpens = 2000;
    const int programmers = int(state.range(0));
    for (auto _ : state) {
        auto station = stationFor(programmers, false, false);
        belcor_sim_transcript_clear();
        std::atomic<int64_t> totalNs{0};
        std::atomic<int> failed{0};
        std::vector<std::thread> threads;
        for (int number = 1; number <= programmers; ++number) {
            threads.emplace_back([&, number] {
                using namespace ProgrammerIdentity;
                TUsbBulk link;
                link.setTarget(serialOf(number));
                for (int open = 0; open < kOpens; ++open) {
                    const auto start = std::chrono::steady_clock::now();
                    failed += link.prog_open(VendorId, Manufacturer, ProductId, Product) == 1 ? 0 : 1;
                    link.USB_bulk_close();
                    totalNs += std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        if (failed != 0)
            state.SkipWithError("a programmer could not be opened");
        size_t deviceOpens = 0;
        belcor_sim_event event{};
        for (size_t index = 0; belcor_sim_transcript_get(index, &event) == 0; ++index)
            deviceOpens += event.kind == BELCOR_SIM_EVENT_OPEN ? 1 : 0;
        state.counters["open_us"] = double(totalNs) / 1000.0 / double(programmers * kOpens);
        state.counters["devices_per_open"] = double(deviceOpens) / double(programmers * kOpens);
    }
}
BENCHMARK(BM_GangOpenCost)->Arg(1)->Arg(8)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
