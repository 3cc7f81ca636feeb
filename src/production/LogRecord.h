#pragma once

#include <cstdint>
#include <string>

#include "production/ChipResult.h"

// One chip handled in production, as the traceability log keeps it.
struct LogRecord {
    int64_t id = 0;           // the station's own sequence, set by the log
    std::string uid;          // unique on every station and server: never stored twice
    std::string time;         // UTC, ISO 8601 with milliseconds
    std::string station;      // host name
    std::string programmer;   // the programmer's serial number
    std::string job;
    std::string jobHash;      // SHA-256 of the job file
    std::string chip;         // TYPE,MANUFACTURER,NAME
    std::string jedecId;      // as the socket query read it, hex
    std::string operations;   // e.g. "erase,program,verify"
    ChipResult result = ChipResult::Interrupted;
    std::string message;      // the failure text
    std::string serial;       // as written; empty without a serial-number rule
    std::string serialStatus; // "used", "scrapped", "returned" (reused by the next chip) or "interrupted"
    std::string crc32;
    std::string sha256;
    int64_t durationMs = 0;   // the chip's Auto run
    int64_t cycleMs = 0;      // since the previous chip's end: what throughput counts
    std::string operatorName; // who ran the chip, when a front end was told
    // The job's serial-number sequence (SerialSequenceOf): what the line
    // server keeps serials unique within. Not one of the exported columns.
    std::string serialSequence;
    // The job values the chip took ("ADDRESS=VALUE; ..."), and what became
    // of them: "used", "burned", "returned" (taken by the next chip) or
    // "interrupted". Not among LogColumns: the line server has no place for them.
    std::string values;
    std::string valuesStatus;
};

// The log's columns, in the order of LogRecord's fields after id.
inline constexpr const char* LogColumns[] = {
    "uid", "time", "station", "programmer", "job", "job_hash", "chip", "jedec_id", "operations", "result",
    "message", "serial", "serial_status", "crc32", "sha256", "duration_ms", "cycle_ms", "operator"};
