#include "production/PostgresLog.h"

#include <libpq-fe.h>

#include <memory>

namespace {

// A dead server must not hold the station for long; records wait meanwhile.
constexpr const char* ConnectTimeoutSeconds = "2";

const char* const Schema =
    "CREATE TABLE IF NOT EXISTS belcor_production_log ("
    " seq BIGSERIAL PRIMARY KEY, uid TEXT NOT NULL UNIQUE, time TIMESTAMPTZ NOT NULL,"
    " station TEXT, programmer TEXT, job TEXT, job_hash TEXT, chip TEXT, jedec_id TEXT, operations TEXT,"
    " result TEXT, message TEXT, serial TEXT, serial_status TEXT, crc32 TEXT, sha256 TEXT,"
    " duration_ms BIGINT, cycle_ms BIGINT, station_id BIGINT);"
    // A line server made before records named their operator gains the column.
    "ALTER TABLE belcor_production_log ADD COLUMN IF NOT EXISTS operator TEXT;"
    // The line's overview: each station's newest record and its last hour,
    // read from the index alone.
    "CREATE INDEX IF NOT EXISTS belcor_production_log_station_time"
    " ON belcor_production_log (station, time) INCLUDE (result)";

const char* const Insert =
    "INSERT INTO belcor_production_log (uid, time, station, programmer, job, job_hash, chip, jedec_id, operations,"
    " result, message, serial, serial_status, crc32, sha256, duration_ms, cycle_ms, station_id, operator)"
    " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19)"
    " ON CONFLICT (uid) DO NOTHING";

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

bool run(pg_conn* conn, const char* sql, std::string& error)
{
    const Result result(PQexec(conn, sql), &PQclear);
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK)
        return true;
    error = PQerrorMessage(conn);
    return false;
}

bool insert(pg_conn* conn, const LogRecord& record, std::string& error)
{
    const std::string duration = std::to_string(record.durationMs);
    const std::string cycle = std::to_string(record.cycleMs);
    const std::string id = std::to_string(record.id);
    const char* values[] = {record.uid.c_str(), record.time.c_str(), record.station.c_str(),
                            record.programmer.c_str(), record.job.c_str(), record.jobHash.c_str(),
                            record.chip.c_str(), record.jedecId.c_str(), record.operations.c_str(),
                            record.result.c_str(), record.message.c_str(), record.serial.c_str(),
                            record.serialStatus.c_str(), record.crc32.c_str(), record.sha256.c_str(),
                            duration.c_str(), cycle.c_str(), id.c_str(), record.operatorName.c_str()};
    const Result result(PQexecParams(conn, Insert, 19, nullptr, values, nullptr, nullptr, 0), &PQclear);
    if (PQresultStatus(result.get()) == PGRES_COMMAND_OK)
        return true;
    error = PQerrorMessage(conn);
    return false;
}

}  // namespace

PostgresLog::~PostgresLog()
{
    disconnect();
}

void PostgresLog::disconnect()
{
    PQfinish(conn_);
    conn_ = nullptr;
}

bool PostgresLog::connect(std::string& error)
{
    if (conn_ && PQstatus(conn_) == CONNECTION_OK)
        return true;
    disconnect();
    // Later keys win: a timeout written in the URL overrides this default.
    const char* keys[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {ConnectTimeoutSeconds, connection_.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK || !run(conn_, "SET client_min_messages = warning", error) ||
        !run(conn_, Schema, error)) {
        error = PQerrorMessage(conn_);
        disconnect();
        return false;
    }
    return true;
}

bool PostgresLog::store(const std::vector<LogRecord>& records, std::string& error)
{
    if (!connect(error))
        return false;
    bool stored = run(conn_, "BEGIN", error);
    for (size_t i = 0; stored && i < records.size(); ++i)
        stored = insert(conn_, records[i], error);
    if (stored && run(conn_, "COMMIT", error))
        return true;
    disconnect();
    return false;
}
