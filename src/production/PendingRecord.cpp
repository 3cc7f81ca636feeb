#include "production/PendingRecord.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

constexpr const char* Format = "belcor-pending-record";

// The record's texts under the log's column names.
constexpr std::array<std::pair<const char*, std::string LogRecord::*>, 15> TextFields = {{
    {"uid", &LogRecord::uid},
    {"time", &LogRecord::time},
    {"station", &LogRecord::station},
    {"programmer", &LogRecord::programmer},
    {"job", &LogRecord::job},
    {"job_hash", &LogRecord::jobHash},
    {"chip", &LogRecord::chip},
    {"jedec_id", &LogRecord::jedecId},
    {"operations", &LogRecord::operations},
    {"result", &LogRecord::result},
    {"message", &LogRecord::message},
    {"serial", &LogRecord::serial},
    {"serial_status", &LogRecord::serialStatus},
    {"crc32", &LogRecord::crc32},
    {"sha256", &LogRecord::sha256},
}};

constexpr std::array<std::pair<const char*, int64_t LogRecord::*>, 2> NumberFields = {{
    {"duration_ms", &LogRecord::durationMs},
    {"cycle_ms", &LogRecord::cycleMs},
}};

}  // namespace

std::string PendingRecord::text() const
{
    json root = {{"format", Format}};
    for (const auto& [name, field] : TextFields)
        root[name] = record.*field;
    for (const auto& [name, field] : NumberFields)
        root[name] = record.*field;
    if (returnedSerial)
        root["returned_serial"] = std::to_string(*returnedSerial);
    // Escaped to ASCII: a failure text in any encoding survives the file.
    return root.dump(2, ' ', true, json::error_handler_t::replace) + "\n";
}

std::optional<PendingRecord> PendingRecord::parse(const std::string& text, std::string& error)
{
    const json root = json::parse(text, nullptr, false);
    if (!root.is_object() || root.value("format", json()) != Format) {
        error = "this is not a pending production record";
        return std::nullopt;
    }
    PendingRecord pending;
    for (const auto& [name, field] : TextFields) {
        const auto found = root.find(name);
        if (found == root.end() || !found->is_string()) {
            error = std::string("the pending record's field ") + name + " is missing or not a text";
            return std::nullopt;
        }
        pending.record.*field = found->get<std::string>();
    }
    for (const auto& [name, field] : NumberFields) {
        const auto found = root.find(name);
        const bool fits = found != root.end() && found->is_number_integer() &&
                          !(found->is_number_unsigned() && found->get<uint64_t>() > INT64_MAX);
        if (!fits) {
            error = std::string("the pending record's field ") + name + " is missing or not a whole number";
            return std::nullopt;
        }
        pending.record.*field = found->get<int64_t>();
    }
    if (pending.record.uid.empty()) {
        error = "the pending record has no uid";
        return std::nullopt;
    }
    if (const auto returned = root.find("returned_serial"); returned != root.end()) {
        const std::string value = returned->is_string() ? returned->get<std::string>() : std::string();
        uint64_t number = 0;
        const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || failure != std::errc() || end != value.data() + value.size()) {
            error = "the pending record's returned_serial is not a serial number";
            return std::nullopt;
        }
        pending.returnedSerial = number;
    }
    return pending;
}
