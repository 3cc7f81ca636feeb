// Lookups of a chip's records in a log of 1,000,000 records, on the station's
// SQLite log and on a local PostgreSQL line server: by serial number, by
// image CRC-32, and by job since a time. Each must answer in well under
// 100 ms, which only an index can do at this size.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "production/IsoTime.h"
#include "production/PostgresLog.h"
#include "production/SqliteLog.h"
#include "support/PostgresServer.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t Records = 1000000;
constexpr int64_t Jobs = 100;
constexpr int64_t DistinctCrcs = 65536;
// One record a second from this time on.
constexpr int64_t FirstMs = 1796601600000;  // 2026-12-07T00:00:00Z

enum Kind { Serial, Crc, JobSince };

// The record `i`: a serial of its own, a CRC shared with every 65536th, a
// job shared with every 100th.
LogFilter lookupOf(Kind kind)
{
    constexpr int64_t chosen = 765432;
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", unsigned(chosen % DistinctCrcs));
    switch (kind) {
    case Serial:
        return LogFilter{.serial = std::to_string(chosen)};
    case Crc:
        return LogFilter{.crc32 = crc};
    default:
        // The job's last hour: 36 records.
        return LogFilter{.job = "job" + std::to_string(chosen % Jobs),
                         .since = IsoTime::utcText(FirstMs + (Records - 3600) * 1000)};
    }
}

const char* nameOf(Kind kind)
{
    return kind == Serial ? "serial" : kind == Crc ? "crc" : "job since";
}

// One station log of a million records, made once for every lookup.
SqliteLog* stationLog()
{
    static const fs::path folder = fs::temp_directory_path() / "belcor-bench-lookup";
    // Destroyed after the log, which closes first.
    static const struct Cleanup {
        ~Cleanup() { fs::remove_all(folder); }
    } cleanup;
    static std::unique_ptr<SqliteLog> log = [] {
        fs::remove_all(folder);
        fs::create_directories(folder);
        const std::string file = (folder / "log.sqlite").string();
        std::string error;
        SqliteLog::open(file, error);
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO records(uid, time, station, job, result, serial, serial_status, crc32)"
                           " VALUES(?1, ?2, 'station', ?3, 'pass', ?4, 'used', ?5)",
                           -1, &insert, nullptr);
        for (int64_t i = 0; i < Records; ++i) {
            char crc[9];
            std::snprintf(crc, sizeof crc, "%08X", unsigned(i % DistinctCrcs));
            const std::string uid = "u" + std::to_string(i);
            const std::string time = IsoTime::utcText(FirstMs + i * 1000);
            const std::string job = "job" + std::to_string(i % Jobs);
            const std::string serial = std::to_string(i);
            sqlite3_bind_text(insert, 1, uid.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, time.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, job.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 4, serial.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 5, crc, -1, SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return SqliteLog::open(file, error);
    }();
    return log.get();
}

// One line server holding a million records, made once; nothing when it
// cannot start.
PostgresServer* lineServer(std::string& error)
{
    static std::unique_ptr<PostgresServer> server;
    static std::string failure;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (!PostgresServer::available()) {
            failure = PostgresServer::missingMessage();
        } else {
            server = std::make_unique<PostgresServer>();
            server->setDurable(true);
            if (!server->start()) {
                failure = server->error();
                server.reset();
            } else {
                // The first store makes the table and its indexes; the rest
                // comes in one statement on the server.
                PostgresLog line(server->url());
                std::optional<size_t> rejected;
                line.store({}, rejected);
                server->query(
                    "INSERT INTO belcor_production_log (uid, time, station, job, result, serial, serial_status, crc32)"
                    " SELECT 'u' || i, to_timestamp(" +
                    std::to_string(FirstMs / 1000) +
                    " + i), 'station', 'job' || (i % " + std::to_string(Jobs) +
                    "), 'pass', i::text, 'used', upper(lpad(to_hex(i % " + std::to_string(DistinctCrcs) +
                    "), 8, '0')) FROM generate_series(0, " + std::to_string(Records - 1) + ") AS i; ANALYZE");
            }
        }
    }
    error = failure;
    return server.get();
}

void BM_StationLogLookup(benchmark::State& state)
{
    const auto kind = Kind(state.range(0));
    state.SetLabel(nameOf(kind));
    SqliteLog* log = stationLog();
    const LogFilter filter = lookupOf(kind);
    size_t found = 0;
    for (auto _ : state)
        found = log->records(filter).size();
    state.counters["records"] = double(found);
}
BENCHMARK(BM_StationLogLookup)->Arg(Serial)->Arg(Crc)->Arg(JobSince)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LineServerLookup(benchmark::State& state)
{
    const auto kind = Kind(state.range(0));
    state.SetLabel(nameOf(kind));
    std::string error;
    PostgresServer* server = lineServer(error);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    PostgresLog line(server->url());
    const LogFilter filter = lookupOf(kind);
    std::vector<LogRecord> found;
    for (auto _ : state) {
        if (const PostgresSession::Reply reply = line.find(filter, found); !reply.ok()) {
            state.SkipWithError(reply.message.c_str());
            break;
        }
    }
    state.counters["records"] = double(found.size());
}
BENCHMARK(BM_LineServerLookup)->Arg(Serial)->Arg(Crc)->Arg(JobSince)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
