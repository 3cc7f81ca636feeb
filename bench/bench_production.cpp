// Cost of the production station around each chip: the log on SQLite (the
// reservation synced to disk on its own, and with the chip's record) and on a
// local PostgreSQL server, a whole BULK cycle with and without logging, the
// CSV export, and the serial number patched into a 64 MiB image.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "belcor_sim.h"
#include "buffers/BufferSet.h"
#include "core/OperationHost.h"
#include "link/Libusb0.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"
#include "production/Checksums.h"
#include "production/CsvExport.h"
#include "production/PostgresLog.h"
#include "production/ProductionLog.h"
#include "production/ProductionRun.h"
#include "production/SerialLease.h"
#include "production/SerialPatch.h"
#include "support/PostgresServer.h"

namespace fs = std::filesystem;

namespace {

// Waits really sleep, as at a station.
class StationHost : public OperationHost {
public:
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
    void sleepMs(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
    std::string longTimeText() const override { return "00:00:00"; }
    int64_t nowMs() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::vector<std::string> errors;
};

fs::path benchFolder(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("belcor-bench-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

LogRecord sampleRecord(int64_t number)
{
    LogRecord record;
    record.uid = "bench-" + std::to_string(number) + "-" + std::to_string(getpid());
    record.time = "2026-12-07T10:00:00.000Z";
    record.station = "station";
    record.programmer = "BU2SIM0000001";
    record.job = "bench";
    record.jobHash = std::string(64, 'a');
    record.chip = "SPI_FLASH,AMIC,A25L080";
    record.jedecId = "373014";
    record.operations = "erase,program,verify";
    record.result = "pass";
    record.serial = std::to_string(number);
    record.serialStatus = "used";
    record.crc32 = "1A2B3C4D";
    record.sha256 = std::string(64, 'b');
    record.durationMs = 3000;
    record.cycleMs = 3500;
    return record;
}

// A chip's reservation and, when `recording`, its record per iteration, as a
// production run writes them: SqliteLog on a station alone, ProductionLog on
// a line.
template <typename Log>
void logChips(benchmark::State& state, Log& log, bool recording)
{
    SerialRule rule;
    std::string error;
    int64_t number = 0;
    for (auto _ : state) {
        LogRecord record = sampleRecord(++number);
        if (log.reserve(record, &rule).outcome != Reservation::Outcome::Reserved ||
            (recording && !log.commit(record, std::nullopt, error)))
            state.SkipWithError("the log refused a chip");
    }
}

// What the log adds per chip. Arg 0: the reservation before the chip alone
// (a serial number taken and a row written, synced to disk: synchronous=FULL),
// its row left behind as a chip under way leaves it; Arg 1: the reservation
// and the chip's record after it (NORMAL).
void BM_SqliteLogPerChip(benchmark::State& state)
{
    const bool recording = state.range(0) == 1;
    const fs::path folder = benchFolder("sqlite");
    std::string error;
    auto log = SqliteLog::open((folder / "log.sqlite").string(), error);
    logChips(state, *log, recording);
    log.reset();
    fs::remove_all(folder);
}
BENCHMARK(BM_SqliteLogPerChip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A line server as deployed (fsync on); nothing, with the benchmark skipped,
// when it cannot start.
std::unique_ptr<PostgresServer> durableServer(benchmark::State& state)
{
    if (!PostgresServer::available()) {
        state.SkipWithError(PostgresServer::missingMessage().c_str());
        return nullptr;
    }
    auto server = std::make_unique<PostgresServer>();
    server->setDurable(true);
    if (!server->start()) {
        state.SkipWithError(server->error().c_str());
        return nullptr;
    }
    return server;
}

// One record stored on the line server in its own transaction, as the
// forwarder sends it while chips come one by one.
void BM_PostgresLogPerChip(benchmark::State& state)
{
    const std::unique_ptr<PostgresServer> server = durableServer(state);
    if (!server)
        return;
    PostgresLog sink(server->url());
    std::optional<size_t> rejected;
    int64_t number = 0;
    for (auto _ : state) {
        if (const PostgresSession::Reply reply = sink.store({sampleRecord(++number)}, rejected); !reply.ok())
            state.SkipWithError(reply.message.c_str());
    }
}
BENCHMARK(BM_PostgresLogPerChip)->Unit(benchmark::kMillisecond)->UseRealTime();

// A block of 16 serial numbers leased from the line server in one
// transaction, as a station does every 16th chip.
void BM_SerialLeaseOf16(benchmark::State& state)
{
    const std::unique_ptr<PostgresServer> server = durableServer(state);
    if (!server)
        return;
    SerialLease lease(server->url());
    PostgresSession::Reply failure;
    for (auto _ : state) {
        if (!lease.lease("bench", std::string(64, 'a'), 1, SerialLease::BlockSize, 1, failure))
            state.SkipWithError(failure.message.c_str());
    }
}
BENCHMARK(BM_SerialLeaseOf16)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the log adds per chip at a station of a line: as BM_SqliteLogPerChip,
// with the serial numbers from blocks of 16 leased from the line server (and
// the forwarder sending the records meanwhile).
void BM_LeasedSerialPerChip(benchmark::State& state)
{
    const std::unique_ptr<PostgresServer> server = durableServer(state);
    if (!server)
        return;
    const fs::path folder = benchFolder("leased");
    std::string error;
    auto log = ProductionLog::open({(folder / "log.sqlite").string(), server->url()}, error);
    logChips(state, *log, true);
    log.reset();
    fs::remove_all(folder);
}
BENCHMARK(BM_LeasedSerialPerChip)->Unit(benchmark::kMillisecond)->UseRealTime();

// Ends the plain batch loop after a number of chips, exactly where a
// production run ends at its target.
class ChipCount : public BatchChipHooks {
public:
    explicit ChipCount(int chips) : left_(chips) {}
    bool beforeChip(const std::array<uint8_t, 4>&) override { return true; }
    bool afterChip(bool) override { return --left_ > 0; }

private:
    int left_;
};

// A BULK cycle on a 1 MiB serial flash at a programmer's pace: 1 s chip
// erase, 2 MB/s transfers, real batch polls and settle time, the feeder
// swapping chips in 200 ms. Arg 0: the plain batch loop; 1: the same loop in
// a production run with a serial number, checksums and a SQLite record per chip.
void BM_BulkCycle(benchmark::State& state)
{
    constexpr uint32_t Size = 1u << 20;
    constexpr int Chips = 4;
    const bool logging = state.range(0) == 1;
    const fs::path folder = benchFolder("bulk");
    Libusb0::setLibraryPath((fs::canonical("/proc/self/exe").parent_path() / "libbelcor_sim.so").string());
    StationHost host;
    auto workbench = std::make_unique<OwnedWorkbench>();
    ChipRecord& chip = workbench->catalogue.ChipDatabase[0];
    std::strcpy(chip.title, "SPI_FLASH,AMIC,A25L080");
    chip.chipId = 0x373014;
    chip.flashSize = Size;
    chip.flashPage = 256;
    chip.chipClass = SpiFlash25;
    chip.delay = 300;
    workbench->catalogue.currentChip = 0;
    workbench->link.setSleep([&host](uint32_t ms) { host.sleepMs(ms); });
    std::mt19937 random(7);
    for (uint32_t i = 0; i < Size; ++i)
        workbench->buffers.flash()[i] = uint8_t(random());
    workbench->buffers.dataLength = int32_t(Size);

    ProductionJob job;
    job.name = "bench";
    job.chip.cells[ChipRow::Type] = "SPI_FLASH";
    SerialRule rule;
    rule.address = 0x100;
    job.serial = rule;
    std::string error;
    std::unique_ptr<ProductionLog> log = ProductionLog::open({(folder / "log.sqlite").string()}, error);

    for (auto _ : state) {
        state.PauseTiming();
        belcor_sim_reset();
        belcor_sim_set_transcript_enabled(0);
        belcor_sim_set_transfer_rate(2000);
        belcor_sim_set_erase_time_ms(1000);
        const belcor_sim_chip seated{0, 0x373014, Size, 256};
        belcor_sim_seat_chip(&seated);
        belcor_sim_set_feeder(1, 100);
        state.ResumeTiming();
        if (logging) {
            ProductionRun::Settings settings;
            settings.target = Chips;
            ProductionRun production(*workbench, host, *log, job, settings);
            production.run([] { return true; });
        } else {
            ChipCount count(Chips);
            RunBatch(*workbench, host, job.options, [] { return true; }, &count);
        }
    }
    state.counters["s_per_chip"] =
        benchmark::Counter(double(state.iterations() * Chips), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["errors"] = double(host.errors.size());
    log.reset();
    fs::remove_all(folder);
}
BENCHMARK(BM_BulkCycle)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ExportCsv100k(benchmark::State& state)
{
    const fs::path folder = benchFolder("export");
    std::string error;
    auto log = SqliteLog::open((folder / "log.sqlite").string(), error);
    sqlite3* db = nullptr;
    sqlite3_open((folder / "log.sqlite").string().c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO records(uid, time, station, programmer, job, job_hash, chip, jedec_id, operations,"
                       " result, message, serial, serial_status, crc32, sha256, duration_ms, cycle_ms)"
                       " VALUES(?1, ?2, 'station', 'BU2SIM0000001', 'bench', ?3, 'SPI_FLASH,AMIC,A25L080', '373014',"
                       " 'erase,program,verify', 'pass', '', ?4, 'used', '1A2B3C4D', ?3, 3000, 3500)",
                       -1, &insert, nullptr);
    const std::string hash(64, 'c');
    for (int i = 0; i < 100000; ++i) {
        const std::string uid = "u" + std::to_string(i);
        const std::string serial = std::to_string(i);
        sqlite3_bind_text(insert, 1, uid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, "2026-12-07T10:00:00.000Z", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, hash.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, serial.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    int64_t count = 0;
    for (auto _ : state) {
        error = ExportCsv(*log, {}, (folder / "log.csv").string(), count);
        if (!error.empty() || count != 100000)
            state.SkipWithError("export failed");
    }
    state.counters["MiB"] = double(fs::file_size(folder / "log.csv")) / (1 << 20);
    log.reset();
    fs::remove_all(folder);
}
BENCHMARK(BM_ExportCsv100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The serial number into the 64 MiB buffer and out again: the bytes at its
// address only, never a copy of the image.
void BM_SerialInjection64MiB(benchmark::State& state)
{
    BufferSet buffers;
    SerialRule rule;
    rule.address = 0x3FFFF00;
    rule.width = 8;
    rule.form = SerialForm::Decimal;
    rule.prefix = "SN";
    uint64_t value = 0;
    for (auto _ : state) {
        const SerialPatch patch(buffers.flash(), rule.address, *rule.encode(++value % 1000000));
        benchmark::DoNotOptimize(buffers.flash()[rule.address]);
    }
}
BENCHMARK(BM_SerialInjection64MiB)->Unit(benchmark::kMicrosecond);

// What the record's checksums cost per chip on a full 64 MiB image.
void BM_Checksums64MiB(benchmark::State& state)
{
    BufferSet buffers;
    for (auto _ : state)
        benchmark::DoNotOptimize(Checksums::of(buffers.flash(), BufferSet::FlashCapacity));
}
BENCHMARK(BM_Checksums64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
