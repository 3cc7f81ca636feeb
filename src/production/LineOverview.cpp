#include "production/LineOverview.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>

#include <nlohmann/json.hpp>

namespace {

// A monitor refreshes every few seconds; an answer later than this is no use.
constexpr const char* ConnectTimeoutSeconds = "2";
constexpr const char* StatementTimeout = "-c statement_timeout=5000";

// The stations are found by skipping through the index (one probe per
// station, not a scan of the log); each one's newest record and last hour
// are ranges of the same index.
const char* const Query = R"(
WITH RECURSIVE stations(station) AS (
    (SELECT station FROM belcor_production_log WHERE station IS NOT NULL ORDER BY station LIMIT 1)
    UNION ALL
    SELECT (SELECT l.station FROM belcor_production_log l WHERE l.station > s.station ORDER BY l.station LIMIT 1)
    FROM stations s WHERE s.station IS NOT NULL)
SELECT s.station,
    to_char(newest.time AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"'),
    extract(epoch FROM now() - newest.time),
    hour.chips, hour.passed,
    coalesce((SELECT json_agg(json_build_array(f.message, f.n)) FROM (
        SELECT coalesce(message, '') AS message, count(*) AS n FROM belcor_production_log
        WHERE station = s.station AND time > now() - interval '1 hour' AND result = 'fail'
        GROUP BY 1 ORDER BY n DESC, message LIMIT $1) f), '[]')
FROM stations s
CROSS JOIN LATERAL (SELECT max(time) AS time FROM belcor_production_log WHERE station = s.station) newest
CROSS JOIN LATERAL (SELECT count(*) AS chips, count(*) FILTER (WHERE result = 'pass') AS passed
    FROM belcor_production_log WHERE station = s.station AND time > now() - interval '1 hour') hour
WHERE s.station IS NOT NULL
ORDER BY s.station
)";

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

}  // namespace

LineOverview::~LineOverview()
{
    disconnect();
}

void LineOverview::disconnect()
{
    PQfinish(conn_);
    conn_ = nullptr;
}

bool LineOverview::connect(std::string& error)
{
    if (conn_ && PQstatus(conn_) == CONNECTION_OK)
        return true;
    disconnect();
    const char* keys[] = {"connect_timeout", "options", "dbname", nullptr};
    const char* values[] = {ConnectTimeoutSeconds, StatementTimeout, connection_.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn_) == CONNECTION_OK)
        return true;
    error = PQerrorMessage(conn_);
    disconnect();
    return false;
}

bool LineOverview::query(std::vector<LineStation>& stations, std::string& error)
{
    if (!connect(error))
        return false;
    const std::string limit = std::to_string(FailureTexts);
    const char* values[] = {limit.c_str()};
    const Result result(PQexecParams(conn_, Query, 1, nullptr, values, nullptr, nullptr, 0), &PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK) {
        // A log that no station has written to yet has no table.
        const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
        if (state && std::string(state) == "42P01") {
            stations.clear();
            return true;
        }
        error = PQerrorMessage(conn_);
        disconnect();
        return false;
    }
    stations.clear();
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        LineStation station;
        station.station = PQgetvalue(result.get(), row, 0);
        station.lastTime = PQgetvalue(result.get(), row, 1);
        station.lastAgeSeconds = std::strtod(PQgetvalue(result.get(), row, 2), nullptr);
        station.chipsLastHour = std::strtoll(PQgetvalue(result.get(), row, 3), nullptr, 10);
        station.passedLastHour = std::strtoll(PQgetvalue(result.get(), row, 4), nullptr, 10);
        const nlohmann::json failures = nlohmann::json::parse(PQgetvalue(result.get(), row, 5), nullptr, false);
        if (failures.is_array()) {
            for (const nlohmann::json& failure : failures) {
                if (failure.is_array() && failure.size() == 2 && failure[0].is_string() && failure[1].is_number())
                    station.failures.emplace_back(failure[0].get<std::string>(), failure[1].get<int64_t>());
            }
        }
        stations.push_back(std::move(station));
    }
    return true;
}
