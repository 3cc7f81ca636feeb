#include "production/JobFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/AtomicFile.h"
#include "core/SmallFile.h"
#include "production/MacAddress.h"

namespace {

using nlohmann::json;

constexpr const char* Format = "belcor-job";
// Version 2 adds an image's address, further images and value fields: a
// program that knows only version 1 would program such a job without them,
// so it must refuse it. A job without them is still written as version 1, so
// that older stations keep reading it. Version 3 adds protection after
// programming, which a station that knows only version 2 would leave out.
constexpr int Version = 3;
constexpr int ExtrasVersion = 2;
// A job is made by hand on the command line; more fields than this are a mistake.
constexpr size_t MostValueFields = 64;
constexpr const char* PinAlgorithm = "pbkdf2-sha256";
constexpr size_t LongestSequence = 64;

std::string hexText(uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::uppercase << std::hex << value;
    return text.str();
}

// A job file is carried between stations and edited by hand: every member is
// checked for its type and range, and a refusal names the member.
[[noreturn]] void refuse(const std::string& field, const std::string& problem)
{
    throw std::invalid_argument("the job file's " + field + " " + problem);
}

const json* find(const json& object, const std::string& path, const char* key, bool required)
{
    if (!object.is_object())
        refuse(path, "is not an object");
    const auto found = object.find(key);
    if (found == object.end()) {
        if (required)
            refuse(path.empty() ? key : path + "." + key, "is missing");
        return nullptr;
    }
    return &*found;
}

std::string fieldName(const std::string& path, const char* key)
{
    return path.empty() ? key : path + "." + key;
}

// Texts become paths and terminal output: a NUL would cut a path short where
// the operating system reads it.
std::string textOf(const json& object, const std::string& path, const char* key, bool required,
                   size_t longest = JobFile::LongestText)
{
    const json* value = find(object, path, key, required);
    if (!value)
        return {};
    const std::string field = fieldName(path, key);
    if (!value->is_string())
        refuse(field, "must be a text, not " + std::string(value->type_name()));
    const std::string& text = value->get_ref<const std::string&>();
    if (text.find('\0') != std::string::npos)
        refuse(field, "holds a NUL character");
    if (text.size() > longest)
        refuse(field, "is longer than " + std::to_string(longest) + " bytes");
    return text;
}

bool flagOf(const json& object, const std::string& path, const char* key, bool required, bool otherwise = false)
{
    const json* value = find(object, path, key, required);
    if (!value)
        return otherwise;
    if (!value->is_boolean())
        refuse(fieldName(path, key), "must be true or false, not " + value->dump());
    return value->get<bool>();
}

uint64_t numberOf(const json& object, const std::string& path, const char* key, bool required, uint64_t lowest,
                  uint64_t highest, uint64_t otherwise = 0)
{
    const json* value = find(object, path, key, required);
    if (!value)
        return otherwise;
    // Only whole numbers written as such: 4.9 is no width, -1 no step and
    // 1e30 no serial number, whatever a conversion would make of them.
    if (!value->is_number_unsigned() || value->get<uint64_t>() < lowest || value->get<uint64_t>() > highest)
        refuse(fieldName(path, key), "must be a whole number from " + std::to_string(lowest) + " to " +
                                         std::to_string(highest) + ", not " + value->dump());
    return value->get<uint64_t>();
}

uint32_t addressOf(const json& object, const std::string& path, const char* key)
{
    std::string text = textOf(object, path, key, true);
    const std::string shown = text;
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.erase(0, 2);
    uint32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        refuse(fieldName(path, key), "\"" + shown + "\" is not a hexadecimal number of at most 32 bits");
    return number;
}

json serialJson(const SerialRule& rule)
{
    return {{"address", hexText(rule.address)}, {"width", rule.width}, {"form", SerialFormName(rule.form)},
            {"first", rule.first}, {"step", rule.step}, {"prefix", rule.prefix},
            {"reuse_failed", rule.reuseFailed}};
}

SerialRule serialOf(const json& root)
{
    const std::string path = "serial";
    const json& value = *find(root, "", "serial", true);
    SerialRule rule;
    rule.address = addressOf(value, path, "address");
    rule.width = static_cast<uint32_t>(numberOf(value, path, "width", true, 1, 8));
    const std::string form = textOf(value, path, "form", true);
    const std::optional<SerialForm> named = SerialFormNamed(form);
    if (!named)
        refuse("serial.form", "\"" + form + "\" is none of le, be, bcd, dec, hex");
    rule.form = *named;
    rule.first = numberOf(value, path, "first", true, 0, UINT64_MAX);
    rule.step = numberOf(value, path, "step", false, 1, UINT64_MAX, 1);
    rule.prefix = textOf(value, path, "prefix", false);
    rule.reuseFailed = flagOf(value, path, "reuse_failed", false);
    if (const std::string problem = rule.problem(); !problem.empty())
        throw std::invalid_argument(problem);
    return rule;
}

// Made by Belcor, but carried and edited by hand like the rest: a short text
// of letters, digits and dashes, as it becomes a key on the line server.
std::string sequenceOf(const json& serial)
{
    const std::string sequence = textOf(serial, "serial", "sequence", false, LongestSequence);
    const bool plain = std::all_of(sequence.begin(), sequence.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
    if (serial.contains("sequence") && (sequence.empty() || !plain))
        refuse("serial.sequence", "must be letters, digits, - and _ only, not \"" + sequence + "\"");
    return sequence;
}

uint64_t macOf(const json& object, const std::string& path, const char* key)
{
    const std::string text = textOf(object, path, key, true);
    const std::optional<uint64_t> address = MacAddress::parse(text);
    if (!address)
        refuse(fieldName(path, key), "\"" + text + "\" is no MAC address AA:BB:CC:DD:EE:FF");
    return *address;
}

ValueField valueFieldOf(const json& value, const std::string& path)
{
    ValueField field;
    const std::string kind = textOf(value, path, "kind", true);
    field.address = addressOf(value, path, "address");
    if (kind == "list") {
        field.kind = ValueKind::List;
        field.path = textOf(value, path, "file", true);
        const std::string form = textOf(value, path, "form", true);
        const std::optional<ValueForm> named = ValueFormNamed(form);
        if (!named)
            refuse(path + ".form", "\"" + form + "\" is none of hex, dec, ascii, bytes");
        field.form = *named;
        field.sha256 = textOf(value, path, "sha256", true);
    } else if (kind == "mac") {
        field.kind = ValueKind::Mac;
        field.first = macOf(value, path, "first");
        field.last = macOf(value, path, "last");
        if (field.first > field.last)
            refuse(path, "ends before it starts");
    } else if (kind == "files") {
        field.kind = ValueKind::Files;
        field.path = textOf(value, path, "folder", true);
    } else {
        refuse(path + ".kind", "\"" + kind + "\" is none of list, mac, files");
    }
    if (field.kind != ValueKind::Mac && field.path.empty())
        refuse(path, "names no file or folder");
    return field;
}

void valuesOf(const json& root, ProductionJob& job)
{
    const json& values = *find(root, "", "values", true);
    if (!values.is_array() || values.size() > MostValueFields)
        refuse("values", "must be a list of at most " + std::to_string(MostValueFields) + " fields");
    for (size_t i = 0; i < values.size(); ++i)
        job.values.push_back(valueFieldOf(values[i], "values[" + std::to_string(i) + "]"));
    const std::string onFail = textOf(root, "", "values_on_fail", false);
    if (!onFail.empty() && onFail != "burn" && onFail != "reuse")
        refuse("values_on_fail", "\"" + onFail + "\" is neither burn nor reuse");
    job.reuseFailedValues = onFail == "reuse";
}

json valueFieldJson(const ValueField& field)
{
    switch (field.kind) {
    case ValueKind::List:
        return {{"kind", "list"}, {"address", hexText(field.address)}, {"file", field.path},
                {"form", ValueFormName(field.form)}, {"sha256", field.sha256}};
    case ValueKind::Mac:
        return {{"kind", "mac"}, {"address", hexText(field.address)}, {"first", MacAddress::text(field.first)},
                {"last", MacAddress::text(field.last)}};
    case ValueKind::Files:
        return {{"kind", "files"}, {"address", hexText(field.address)}, {"folder", field.path}};
    }
    return {};
}

EngineerPin pinOf(const json& root)
{
    const std::string path = "engineer_pin";
    const json& value = *find(root, "", "engineer_pin", true);
    const std::string algorithm = textOf(value, path, "algorithm", true);
    if (algorithm != PinAlgorithm)
        refuse("engineer_pin.algorithm", "\"" + algorithm + "\" is not " + PinAlgorithm);
    EngineerPin pin;
    pin.iterations = static_cast<uint32_t>(numberOf(value, path, "iterations", true, EngineerPin::LeastIterations,
                                                    EngineerPin::MostIterations));
    pin.salt = textOf(value, path, "salt", true);
    pin.hash = textOf(value, path, "hash", true);
    if (const std::string problem = pin.problem(); !problem.empty())
        refuse("engineer_pin", problem);
    return pin;
}

ProductionJob jobOf(const json& root, const std::string& name)
{
    if (!root.is_object() || !root.contains("format") || !root["format"].is_string() || root["format"] != Format)
        throw std::invalid_argument("this is not a Belcor job file");
    if (root.contains("version") && numberOf(root, "", "version", false, 0, UINT64_MAX) > Version)
        throw std::invalid_argument("the job file was written by a newer Belcor");
    ProductionJob job;
    job.name = name;
    const json& chip = *find(root, "", "chip", true);
    for (size_t column = 0; column < JobChipKeys.size(); ++column)
        job.chip.cells[column] = textOf(chip, "chip", JobChipKeys[column], true);
    const json& image = *find(root, "", "image", true);
    job.image = textOf(image, "image", "file", true);
    if (job.image.empty())
        refuse("image.file", "is empty");
    job.imageSha256 = textOf(image, "image", "sha256", true);
    if (image.contains("address"))
        job.imageAddress = addressOf(image, "image", "address");
    if (const json* more = find(root, "", "more_images", false)) {
        if (!more->is_array() || more->empty() || more->size() > ProductionJob::MostImages)
            refuse("more_images", "must be a list of 1 to " + std::to_string(ProductionJob::MostImages) + " images");
        for (size_t i = 0; i < more->size(); ++i) {
            const std::string path = "more_images[" + std::to_string(i) + "]";
            ProductionJob::Image added{textOf((*more)[i], path, "file", true), textOf((*more)[i], path, "sha256", true),
                                       addressOf((*more)[i], path, "address")};
            if (added.file.empty())
                refuse(path + ".file", "is empty");
            job.moreImages.push_back(std::move(added));
        }
    }
    if (const json* range = find(root, "", "range", false)) {
        job.range = ProductionJob::Range{addressOf(*range, "range", "start"), addressOf(*range, "range", "end")};
        if (job.range->start > job.range->end)
            refuse("range", "starts after its end");
    }
    const json& steps = *find(root, "", "auto", true);
    job.options.erase = flagOf(steps, "auto", "erase", true);
    job.options.program = flagOf(steps, "auto", "program", true);
    job.options.verify = flagOf(steps, "auto", "verify", true);
    job.options.protect = flagOf(steps, "auto", "protect", false);
    if (root.contains("serial")) {
        job.serial = serialOf(root);
        job.serialSequence = sequenceOf(root["serial"]);
    }
    const json& expected = *find(root, "", "expected", true);
    job.expected.crc32 = addressOf(expected, "expected", "crc32");
    job.expected.sha256 = textOf(expected, "expected", "sha256", true);
    job.note = textOf(root, "", "note", false, ProductionJob::LongestNote);
    job.locked = flagOf(root, "", "locked", false);
    if (root.contains("target"))
        job.target = static_cast<int64_t>(numberOf(root, "", "target", true, 1, uint64_t(INT64_MAX)));
    if (root.contains("engineer_pin"))
        job.pin = pinOf(root);
    job.operatorRequired = flagOf(root, "", "operator_required", false);
    if (root.contains("values"))
        valuesOf(root, job);
    return job;
}

// JSON's parsers take the last of two equal keys, or stop reading at a NUL:
// a file with either says two things, and a job must say one.
class DuplicateKeys : public nlohmann::json_sax<json> {
public:
    std::string duplicate;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override
    {
        keys_.emplace_back();
        return true;
    }
    bool key(string_t& key) override
    {
        if (!keys_.back().insert(key).second) {
            duplicate = key;
            return false;
        }
        return true;
    }
    bool end_object() override
    {
        keys_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    std::vector<std::set<std::string>> keys_;
};

void refuseTwoReadings(const std::string& text)
{
    if (text.find('\0') != std::string::npos)
        throw std::invalid_argument("the job file holds a NUL byte");
    DuplicateKeys keys;
    json::sax_parse(text, &keys);
    if (!keys.duplicate.empty())
        throw std::invalid_argument("the job file names \"" + keys.duplicate + "\" twice in one object");
}

// The lowest version that says everything the job holds.
int fileVersion(const ProductionJob& job)
{
    if (job.options.protect)
        return Version;
    return job.imageAddress || !job.moreImages.empty() || !job.values.empty() ? ExtrasVersion : 1;
}

}  // namespace

JobFileRead JobFile::parse(const std::string& text, const std::string& name)
{
    JobFileRead result;
    result.sha256 = Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    try {
        refuseTwoReadings(text);
        result.job = jobOf(json::parse(text), name);
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

JobFileRead JobFile::read(const std::string& path)
{
    std::string text;
    const SmallFile::Status status = SmallFile::read(path, LargestFile, text);
    if (status != SmallFile::Status::Read) {
        JobFileRead result;
        result.error = status == SmallFile::Status::NotRegular ? path + " is not a regular file"
                       : status == SmallFile::Status::TooLarge
                           ? path + " is larger than " + std::to_string(LargestFile) + " bytes, too large for a job file"
                           : "cannot read the job file " + path;
        return result;
    }
    JobFileRead result = parse(text, std::filesystem::path(path).stem().string());
    if (!result.error.empty())
        result.error = path + ": " + result.error;
    if (result.job)
        result.job->path = path;
    return result;
}

std::string JobFile::text(const ProductionJob& job)
{
    json chip = json::object();
    for (size_t column = 0; column < JobChipKeys.size(); ++column)
        chip[JobChipKeys[column]] = job.chip.cells[column];
    json root = {{"format", Format},
                 {"version", fileVersion(job)},
                 {"note", job.note},
                 {"locked", job.locked},
                 {"chip", chip},
                 {"image", {{"file", job.image}, {"sha256", job.imageSha256}}},
                 {"auto", {{"erase", job.options.erase}, {"program", job.options.program},
                           {"verify", job.options.verify}}},
                 {"expected", {{"crc32", hexText(job.expected.crc32)}, {"sha256", job.expected.sha256}}}};
    // Written only when set, so that every other job's text and hash stay as they were.
    if (job.options.protect)
        root["auto"]["protect"] = true;
    if (job.imageAddress)
        root["image"]["address"] = hexText(*job.imageAddress);
    for (const ProductionJob::Image& image : job.moreImages)
        root["more_images"].push_back(
            {{"file", image.file}, {"sha256", image.sha256}, {"address", hexText(image.address)}});
    if (job.range)
        root["range"] = {{"start", hexText(job.range->start)}, {"end", hexText(job.range->end)}};
    if (job.serial) {
        root["serial"] = serialJson(*job.serial);
        if (!job.serialSequence.empty())
            root["serial"]["sequence"] = job.serialSequence;
    }
    if (job.target)
        root["target"] = *job.target;
    if (job.pin)
        root["engineer_pin"] = {{"algorithm", PinAlgorithm}, {"iterations", job.pin->iterations},
                                {"salt", job.pin->salt}, {"hash", job.pin->hash}};
    if (job.operatorRequired)
        root["operator_required"] = true;
    if (!job.values.empty()) {
        root["values"] = json::array();
        for (const ValueField& field : job.values)
            root["values"].push_back(valueFieldJson(field));
        root["values_on_fail"] = job.reuseFailedValues ? "reuse" : "burn";
    }
    return root.dump(2) + "\n";
}

std::string JobFile::write(const std::string& path, const ProductionJob& job)
{
    const std::string contents = text(job);
    AtomicFile file(path);
    if (!file.open() || !file.write(contents.data(), contents.size()) || !file.commit())
        return "cannot write the job file " + path;
    return {};
}
