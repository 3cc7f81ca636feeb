#pragma once

#include <nlohmann/json.hpp>

#include "production/LogRecord.h"

// A log record as the station's API and belcor-cli --json hand it out: the
// log's own column names.
nlohmann::json RecordJson(const LogRecord& record);
