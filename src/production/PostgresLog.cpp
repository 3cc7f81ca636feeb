#include "production/PostgresLog.h"

#include <cstdlib>
#include <iterator>

#include "core/ValidUtf8.h"
#include "production/ChipResult.h"
#include "production/LineServerSchema.h"

namespace {

const char* const Insert =
    "INSERT INTO belcor_production_log (uid, time, station, programmer, job, job_hash, chip, jedec_id, operations,"
    " result, message, serial, serial_status, crc32, sha256, duration_ms, cycle_ms, station_id, operator,"
    " serial_sequence, job_values, values_status)"
    " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19, $20, $21, $22)"
    " ON CONFLICT (uid) DO NOTHING";

// The server's codes for a fault of the record itself: bad data or text
// (22), a constraint (23), a value past a limit (54). Everything else is the
// server's or its setup's (a right revoked, no room, a shutdown, a conflict
// with another session) and passes: the record is sent again.
bool faultOfRecord(const std::string& sqlState)
{
    return sqlState.starts_with("22") || sqlState.starts_with("23") || sqlState.starts_with("54");
}

std::vector<std::string> valuesOf(const LogRecord& record)
{
    std::vector<std::string> values;
    const std::string result = ChipResultWord(record.result);
    for (const std::string* text : {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                                    &record.jobHash, &record.chip, &record.jedecId, &record.operations,
                                    &result, &record.message, &record.serial, &record.serialStatus,
                                    &record.crc32, &record.sha256})
        values.push_back(ValidUtf8(*text));
    values.push_back(std::to_string(record.durationMs));
    values.push_back(std::to_string(record.cycleMs));
    values.push_back(std::to_string(record.id));
    values.push_back(ValidUtf8(record.operatorName));
    values.push_back(ValidUtf8(record.serialSequence));
    values.push_back(ValidUtf8(record.values));
    values.push_back(ValidUtf8(record.valuesStatus));
    return values;
}

// The columns in LogRecord's order after id, the time as the station's log
// writes it.
const char* const Select =
    "SELECT seq, uid, to_char(time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), station, programmer,"
    " job, job_hash, chip, jedec_id, operations, result, message, serial, serial_status, crc32, sha256,"
    " duration_ms, cycle_ms, operator, serial_sequence, COALESCE(job_values, ''), COALESCE(values_status, '')"
    " FROM belcor_production_log WHERE true";

LogRecord recordOf(const std::vector<std::string>& row)
{
    LogRecord record;
    record.id = std::strtoll(row[0].c_str(), nullptr, 10);
    std::string result;
    std::string* texts[] = {&record.uid, &record.time, &record.station, &record.programmer, &record.job,
                            &record.jobHash, &record.chip, &record.jedecId, &record.operations, &result,
                            &record.message, &record.serial, &record.serialStatus, &record.crc32, &record.sha256};
    for (size_t i = 0; i < std::size(texts); ++i)
        *texts[i] = row[i + 1];
    record.result = ChipResultOf(result);
    record.durationMs = std::strtoll(row[16].c_str(), nullptr, 10);
    record.cycleMs = std::strtoll(row[17].c_str(), nullptr, 10);
    record.operatorName = row[18];
    record.serialSequence = row[19];
    record.values = row[20];
    record.valuesStatus = row[21];
    return record;
}

constexpr size_t SelectedColumns = 22;

}  // namespace

PostgresLog::PostgresLog(const std::string& address) : session_(address, LineServerSchema) {}

PostgresSession::Reply PostgresLog::store(const std::vector<LogRecord>& records, std::optional<size_t>& rejected)
{
    rejected.reset();
    if (records.empty())
        return session_.run("SELECT 1");
    PostgresSession::Reply reply = session_.run("BEGIN");
    for (size_t i = 0; reply.ok() && i < records.size(); ++i) {
        reply = session_.run(Insert, valuesOf(records[i]));
        if (reply.status == PostgresSession::Reply::Status::Refused && faultOfRecord(reply.sqlState))
            rejected = i;
    }
    if (reply.ok())
        return session_.run("COMMIT");
    if (reply.status == PostgresSession::Reply::Status::Refused)
        session_.run("ROLLBACK");
    return reply;
}

PostgresSession::Reply PostgresLog::find(const LogFilter& filter, std::vector<LogRecord>& records)
{
    records.clear();
    std::string sql = Select;
    std::vector<std::string> parameters;
    for (const auto& [condition, value] :
         {std::pair{" AND job = $", &filter.job}, {" AND time >= $", &filter.since},
          {" AND serial = $", &filter.serial}, {" AND crc32 = $", &filter.crc32}}) {
        if (!value->empty()) {
            parameters.push_back(*value);
            sql += condition + std::to_string(parameters.size());
        }
    }
    sql += " ORDER BY time, seq";
    PostgresSession::Reply reply = session_.run(sql, parameters);
    if (reply.status == PostgresSession::Reply::Status::Refused && reply.sqlState == "42P01")
        return PostgresSession::Reply{};
    if (reply.ok()) {
        for (const std::vector<std::string>& row : reply.rows) {
            if (row.size() == SelectedColumns)
                records.push_back(recordOf(row));
        }
    }
    return reply;
}
