#pragma once

#include "production/LogRecord.h"

class SqliteStatement;

// A record as the log's records table holds it.
namespace LogRecordRow {

// Selects a record's columns in the order read() takes them; a WHERE clause follows.
inline constexpr const char* Select =
    "SELECT id, uid, time, station, programmer, job, job_hash, chip, jedec_id, operations, result, message, "
    "serial, serial_status, crc32, sha256, duration_ms, cycle_ms, operator, serial_sequence, job_values, values_status FROM records ";

LogRecord read(const SqliteStatement& row);

}  // namespace LogRecordRow
