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
constexpr std::array<std::pair<const char*, std::string LogRecord::*>, 14> TextFields = {{
    {"uid", &LogRecord::uid},
    {"time", &LogRecord::time},
    {"station", &LogRecord::station},
    {"programmer", &LogRecord::programmer},
    {"job", &LogRecord::job},
    {"job_hash", &LogRecord::jobHash},
    {"chip", &LogRecord::chip},
    {"jedec_id", &LogRecord::jedecId},
    {"operations", &LogRecord::operations},
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

// JSON texts are UTF-8; a text that is not (a job file named in Latin-1)
// goes as its bytes in hex, so that the record reaches the log unchanged.
json textValue(const std::string& text)
{
    try {
        (void)json(text).dump();
        return text;
    } catch (const json::type_error&) {
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (const unsigned char byte : text) {
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        return json{{"hex", hex}};
    }
}

std::optional<std::string> textOf(const json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    const auto hex = value.is_object() ? value.find("hex") : value.end();
    if (!value.is_object() || hex == value.end() || !hex->is_string() || hex->get_ref<const std::string&>().size() % 2)
        return std::nullopt;
    const std::string& digits = hex->get_ref<const std::string&>();
    std::string bytes;
    for (size_t i = 0; i < digits.size(); i += 2) {
        uint8_t byte = 0;
        const auto [end, error] = std::from_chars(digits.data() + i, digits.data() + i + 2, byte, 16);
        if (error != std::errc() || end != digits.data() + i + 2)
            return std::nullopt;
        bytes += static_cast<char>(byte);
    }
    return bytes;
}

}  // namespace

std::string PendingRecord::text() const
{
    json root = {{"format", Format}};
    for (const auto& [name, field] : TextFields)
        root[name] = textValue(record.*field);
    root["result"] = ChipResultWord(record.result);
    for (const auto& [name, field] : NumberFields)
        root[name] = record.*field;
    if (!record.operatorName.empty())
        root["operator"] = textValue(record.operatorName);
    if (!record.serialSequence.empty())
        root["serial_sequence"] = textValue(record.serialSequence);
    if (!record.values.empty()) {
        root["values"] = textValue(record.values);
        root["values_status"] = textValue(record.valuesStatus);
    }
    if (returnedSerial)
        root["returned_serial"] = std::to_string(*returnedSerial);
    return root.dump(2) + "\n";
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
        const std::optional<std::string> text = found == root.end() ? std::nullopt : textOf(*found);
        if (!text) {
            error = std::string("the pending record's field ") + name + " is missing or not a text";
            return std::nullopt;
        }
        pending.record.*field = *text;
    }
    const auto result = root.find("result");
    const std::optional<std::string> word = result == root.end() ? std::nullopt : textOf(*result);
    if (!word) {
        error = "the pending record's field result is missing or not a text";
        return std::nullopt;
    }
    pending.record.result = ChipResultOf(*word);
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
    // Records kept before runs named their operator have none.
    if (const auto found = root.find("operator"); found != root.end()) {
        const std::optional<std::string> name = textOf(*found);
        if (!name) {
            error = "the pending record's field operator is not a text";
            return std::nullopt;
        }
        pending.record.operatorName = *name;
    }
    // Records kept before jobs carried a serial sequence have none.
    if (const auto found = root.find("serial_sequence"); found != root.end()) {
        const std::optional<std::string> sequence = textOf(*found);
        if (!sequence) {
            error = "the pending record's field serial_sequence is not a text";
            return std::nullopt;
        }
        pending.record.serialSequence = *sequence;
    }
    // Records of jobs without values have none.
    for (const auto& [name, field] : {std::pair{"values", &LogRecord::values},
                                      std::pair{"values_status", &LogRecord::valuesStatus}}) {
        if (const auto found = root.find(name); found != root.end()) {
            const std::optional<std::string> value = textOf(*found);
            if (!value) {
                error = std::string("the pending record's field ") + name + " is not a text";
                return std::nullopt;
            }
            pending.record.*field = *value;
        }
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
