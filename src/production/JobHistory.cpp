#include "production/JobHistory.h"

#include <charconv>

#include <nlohmann/json.hpp>

#include "core/AtomicFile.h"
#include "core/SmallFile.h"

namespace {

using nlohmann::json;

constexpr const char* Format = "belcor-job-history";
// A history is a few lines; anything larger is not one.
constexpr size_t LargestFile = 64 * 1024;

}  // namespace

std::string JobHistory::pathFor(const std::string& jobPath)
{
    return jobPath + ".issued";
}

std::optional<JobHistory> JobHistory::read(const std::string& path)
{
    std::string text;
    if (SmallFile::read(path, LargestFile, text) != SmallFile::Status::Read)
        return std::nullopt;
    return parse(text);
}

std::optional<JobHistory> JobHistory::parse(const std::string& text)
{
    const json root = json::parse(text, nullptr, false);
    if (!root.is_object() || root.value("format", json()) != Format)
        return std::nullopt;
    JobHistory history;
    const auto chips = root.find("chips");
    const auto station = root.find("station");
    const auto log = root.find("log");
    if (chips == root.end() || !chips->is_number_unsigned() || chips->get<uint64_t>() > INT64_MAX ||
        station == root.end() || !station->is_string() || log == root.end() || !log->is_string())
        return std::nullopt;
    history.chips = chips->get<int64_t>();
    history.station = station->get<std::string>();
    history.log = log->get<std::string>();
    if (const auto next = root.find("next_serial"); next != root.end()) {
        const std::string value = next->is_string() ? next->get<std::string>() : std::string();
        uint64_t number = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || error != std::errc() || end != value.data() + value.size())
            return std::nullopt;
        history.next = number;
    }
    return history;
}

std::string JobHistory::text() const
{
    json root = {{"format", Format}, {"chips", chips}, {"station", station}, {"log", log}};
    // As text: JSON readers elsewhere take numbers as doubles, which lose a 64-bit serial.
    if (next)
        root["next_serial"] = std::to_string(*next);
    return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool JobHistory::write(const std::string& path) const
{
    const std::string contents = text();
    AtomicFile file(path);
    return file.open() && file.write(contents.data(), contents.size()) && file.commit();
}
