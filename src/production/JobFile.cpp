#include "production/JobFile.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "core/AtomicFile.h"

namespace {

using nlohmann::json;

constexpr const char* Format = "belcor-job";
constexpr int Version = 1;

std::string hexText(uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::uppercase << std::hex << value;
    return text.str();
}

uint32_t addressOf(const json& value)
{
    const std::string text = value.get<std::string>();
    size_t used = 0;
    const unsigned long long number = std::stoull(text, &used, 16);
    if (used != text.size() || number > 0xFFFFFFFFull)
        throw std::invalid_argument("\"" + text + "\" is not a hexadecimal address");
    return static_cast<uint32_t>(number);
}

json serialJson(const SerialRule& rule)
{
    return {{"address", hexText(rule.address)}, {"width", rule.width}, {"form", SerialFormName(rule.form)},
            {"first", rule.first}, {"step", rule.step}, {"prefix", rule.prefix},
            {"reuse_failed", rule.reuseFailed}};
}

SerialRule serialOf(const json& value)
{
    SerialRule rule;
    rule.address = addressOf(value.at("address"));
    rule.width = value.at("width").get<uint32_t>();
    const std::optional<SerialForm> form = SerialFormNamed(value.at("form").get<std::string>());
    if (!form)
        throw std::invalid_argument("the serial number's form is none of le, be, bcd, dec, hex");
    rule.form = *form;
    rule.first = value.at("first").get<uint64_t>();
    rule.step = value.value("step", uint64_t{1});
    rule.prefix = value.value("prefix", std::string());
    rule.reuseFailed = value.value("reuse_failed", false);
    if (const std::string problem = rule.problem(); !problem.empty())
        throw std::invalid_argument(problem);
    return rule;
}

ProductionJob jobOf(const json& root, const std::string& name)
{
    if (root.value("format", std::string()) != Format)
        throw std::invalid_argument("this is not a Belcor job file");
    if (root.value("version", 0) > Version)
        throw std::invalid_argument("the job file was written by a newer Belcor");
    ProductionJob job;
    job.name = name;
    const json& chip = root.at("chip");
    for (size_t column = 0; column < JobChipKeys.size(); ++column)
        job.chip.cells[column] = chip.at(JobChipKeys[column]).get<std::string>();
    const json& image = root.at("image");
    job.image = image.at("file").get<std::string>();
    job.imageSha256 = image.at("sha256").get<std::string>();
    if (root.contains("range"))
        job.range = ProductionJob::Range{addressOf(root["range"].at("start")), addressOf(root["range"].at("end"))};
    const json& steps = root.at("auto");
    job.options.erase = steps.at("erase").get<bool>();
    job.options.program = steps.at("program").get<bool>();
    job.options.verify = steps.at("verify").get<bool>();
    if (root.contains("serial"))
        job.serial = serialOf(root["serial"]);
    const json& expected = root.at("expected");
    job.expected.crc32 = addressOf(expected.at("crc32"));
    job.expected.sha256 = expected.at("sha256").get<std::string>();
    job.note = root.value("note", std::string());
    job.locked = root.value("locked", false);
    if (root.contains("target")) {
        job.target = root["target"].get<int64_t>();
        if (*job.target <= 0)
            throw std::invalid_argument("the target must be a number of chips above 0");
    }
    return job;
}

}  // namespace

JobFileRead JobFile::parse(const std::string& text, const std::string& name)
{
    JobFileRead result;
    result.sha256 = Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    try {
        result.job = jobOf(json::parse(text), name);
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    return result;
}

JobFileRead JobFile::read(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        JobFileRead result;
        result.error = "cannot read the job file " + path;
        return result;
    }
    JobFileRead result = parse(text.str(), std::filesystem::path(path).stem().string());
    if (!result.error.empty())
        result.error = path + ": " + result.error;
    return result;
}

std::string JobFile::text(const ProductionJob& job)
{
    json chip = json::object();
    for (size_t column = 0; column < JobChipKeys.size(); ++column)
        chip[JobChipKeys[column]] = job.chip.cells[column];
    json root = {{"format", Format},
                 {"version", Version},
                 {"note", job.note},
                 {"locked", job.locked},
                 {"chip", chip},
                 {"image", {{"file", job.image}, {"sha256", job.imageSha256}}},
                 {"auto", {{"erase", job.options.erase}, {"program", job.options.program},
                           {"verify", job.options.verify}}},
                 {"expected", {{"crc32", hexText(job.expected.crc32)}, {"sha256", job.expected.sha256}}}};
    if (job.range)
        root["range"] = {{"start", hexText(job.range->start)}, {"end", hexText(job.range->end)}};
    if (job.serial)
        root["serial"] = serialJson(*job.serial);
    if (job.target)
        root["target"] = *job.target;
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
