// Cost of job values at a station: a 1,000,000-line value list read, hashed
// and parsed once per run, and one value of it taken per chip, from the
// station's own log and leased from a local PostgreSQL line server.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "buffers/Checksums.h"
#include "core/MessageCatalogue.h"
#include "production/JobValues.h"
#include "production/ProductionJob.h"
#include "production/ProductionLog.h"
#include "support/PostgresServer.h"

namespace fs = std::filesystem;

namespace {

constexpr int ListLines = 1000000;

fs::path benchFolder(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("belcor-bench-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// A job whose one field takes a 16-character ASCII line per chip.
ProductionJob listJob(const fs::path& folder)
{
    std::string text;
    text.reserve(ListLines * 17);
    char line[32];
    for (int number = 0; number < ListLines; ++number) {
        std::snprintf(line, sizeof line, "DEVICE-%09d\n", number);
        text += line;
    }
    std::ofstream((folder / "list.txt").string(), std::ios::binary) << text;
    ValueField field;
    field.path = (folder / "list.txt").string();
    field.form = ValueForm::Ascii;
    field.sha256 = Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    ProductionJob job;
    job.name = "bench";
    job.values = {field};
    return job;
}

std::optional<JobValues> load(const ProductionJob& job, benchmark::State& state)
{
    std::string error;
    std::optional<JobValues> values = JobValues::load(job, "", {}, 0, 0x100, English, error);
    if (!values)
        state.SkipWithError(error.c_str());
    return values;
}

// Once per run: the list read, checked against its SHA-256 and parsed.
void BM_ValueListLoadPerRun(benchmark::State& state)
{
    const fs::path folder = benchFolder("values-load");
    const ProductionJob job = listJob(folder);
    for (auto _ : state)
        benchmark::DoNotOptimize(load(job, state));
    fs::remove_all(folder);
}
BENCHMARK(BM_ValueListLoadPerRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// Per chip: its reservation taking the list's next value, and its record
// giving the value up, as a run writes them. Arg 0: the station's log
// alone; Arg 1: with a line server leasing the values 16 at a time (and the
// forwarder sending the records meanwhile); Arg 2: the station's log alone
// with no value taken, what the log costs a chip anyway (both syncs to disk).
void BM_ListValuePerChip(benchmark::State& state)
{
    std::unique_ptr<PostgresServer> server;
    if (state.range(0) == 1) {
        if (!PostgresServer::available()) {
            state.SkipWithError(PostgresServer::missingMessage().c_str());
            return;
        }
        server = std::make_unique<PostgresServer>();
        server->setDurable(true);
        if (!server->start()) {
            state.SkipWithError(server->error().c_str());
            return;
        }
    }
    const fs::path folder = benchFolder("values-chip");
    const ProductionJob job = listJob(folder);
    const std::optional<JobValues> values = load(job, state);
    std::vector<std::string> targets{(folder / "log.sqlite").string()};
    if (server)
        targets.push_back(server->url());
    std::string error;
    std::unique_ptr<ProductionLog> log = ProductionLog::open(targets, error);
    if (!values || !log) {
        state.SkipWithError(error.c_str());
        return;
    }
    int64_t number = 0;
    for (auto _ : state) {
        LogRecord record;
        record.uid = "bench-" + std::to_string(++number);
        record.time = "2026-12-08T10:00:00.000Z";
        record.job = job.name;
        record.jobHash = std::string(64, 'a');
        record.serialSequence = "bench";
        if (log->reserve(record, nullptr, state.range(0) == 2 ? nullptr : &*values).outcome != Reservation::Outcome::Reserved) {
            state.SkipWithError("no value for the chip");
            break;
        }
        record.result = ChipResult::Pass;
        record.valuesStatus = "used";
        if (!log->commit(record, std::nullopt, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    log.reset();
    fs::remove_all(folder);
}
BENCHMARK(BM_ListValuePerChip)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
