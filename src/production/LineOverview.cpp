#include "production/LineOverview.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

namespace {

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

}  // namespace

bool LineOverview::query(std::vector<LineStation>& stations, std::string& error)
{
    const PostgresSession::Reply reply = session_.run(Query, {std::to_string(FailureTexts)});
    stations.clear();
    // A log that no station has written to yet has no table.
    if (reply.status == PostgresSession::Reply::Status::Refused && reply.sqlState == "42P01")
        return true;
    if (!reply.ok()) {
        error = reply.message;
        return false;
    }
    for (const std::vector<std::string>& row : reply.rows) {
        if (row.size() != 6)
            continue;
        LineStation station;
        station.station = row[0];
        station.lastTime = row[1];
        station.lastAgeSeconds = std::strtod(row[2].c_str(), nullptr);
        station.chipsLastHour = std::strtoll(row[3].c_str(), nullptr, 10);
        station.passedLastHour = std::strtoll(row[4].c_str(), nullptr, 10);
        const nlohmann::json failures = nlohmann::json::parse(row[5], nullptr, false);
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
