#include "station/StationRequests.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <set>

#include <nlohmann/json.hpp>

#include "core/WholeNumber.h"
#include "production/Checksums.h"

namespace {

using nlohmann::json;

// The body as an object whose every key is one of `known`.
std::optional<RequestProblem> objectOf(const std::string& body, std::initializer_list<const char*> known, json& object)
{
    object = json::parse(body, nullptr, false);
    if (object.is_discarded() || !object.is_object())
        return RequestProblem{Msg::StationBodyNotJson, {}, {}, {}};
    for (const auto& item : object.items()) {
        if (std::none_of(known.begin(), known.end(), [&](const char* name) { return item.key() == name; }))
            return RequestProblem{Msg::StationFieldUnknown, item.key(), {}, {}};
    }
    return std::nullopt;
}

bool isBlank(const std::string& body)
{
    return body.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool hasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// Characters, not bytes: the name is UTF-8.
size_t characterCount(const std::string& text)
{
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::optional<int64_t> wholeNumber(const std::string& text)
{
    int64_t value = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The "operator" field, when there is one.
std::optional<RequestProblem> operatorOf(const json& object, std::string& operatorName)
{
    if (const auto name = object.find("operator"); name != object.end()) {
        if (!name->is_string() || characterCount(name->get<std::string>()) > OperatorNameMaximum ||
            hasControlCharacter(name->get<std::string>()))
            return RequestProblem{Msg::StationOperatorField, {}, {}, {}};
        operatorName = name->get<std::string>();
    }
    return std::nullopt;
}

// "pin" and "operator" of a change.
std::optional<RequestProblem> changeFields(const json& object, ChangeRequest& request)
{
    if (const auto pin = object.find("pin"); pin != object.end()) {
        if (!pin->is_string() || pin->get_ref<const std::string&>().size() > 256)
            return RequestProblem{Msg::StationPinField, {}, {}, {}};
        request.pin = pin->get<std::string>();
    }
    return operatorOf(object, request.operatorName);
}

}  // namespace

std::optional<RequestProblem> ParseTargetRequest(const std::string& body, ChangeRequest& request)
{
    json object;
    if (auto problem = objectOf(body, {"target", "pin", "operator"}, object))
        return problem;
    const auto target = object.find("target");
    if (target == object.end() || !target->is_number_integer() || target->get<int64_t>() < 1 ||
        target->get<int64_t>() > TargetMaximum)
        return RequestProblem{Msg::StationTargetField, std::to_string(TargetMaximum), {}, {}};
    request.target = target->get<int64_t>();
    return changeFields(object, request);
}

std::optional<RequestProblem> ParseResetRequest(const std::string& body, ChangeRequest& request)
{
    if (isBlank(body))
        return std::nullopt;
    json object;
    if (auto problem = objectOf(body, {"pin", "operator"}, object))
        return problem;
    return changeFields(object, request);
}

std::optional<RequestProblem> ParseJobRequest(const std::string& body, JobRequest& request)
{
    json object;
    if (auto problem = objectOf(body, {"file"}, object))
        return problem;
    const auto file = object.find("file");
    if (file == object.end() || !file->is_string() || file->get_ref<const std::string&>().empty() ||
        file->get_ref<const std::string&>().find('\0') != std::string::npos)
        return RequestProblem{Msg::StationJobFileField, {}, {}, {}};
    request.file = file->get<std::string>();
    return std::nullopt;
}

std::optional<RequestProblem> ParseRunRequest(const std::string& body, RunRequest& request)
{
    json object;
    // An empty body asks for the defaults.
    if (isBlank(body))
        return std::nullopt;
    if (auto problem = objectOf(body, {"count", "programmers", "operator"}, object))
        return problem;
    if (const auto count = object.find("count"); count != object.end() && !count->is_null()) {
        // A count past the signed range reads as negative here.
        if (!count->is_number_integer() || count->get<int64_t>() <= 0)
            return RequestProblem{Msg::StationCountField, {}, {}, {}};
        request.count = count->get<int64_t>();
    }
    if (const auto programmers = object.find("programmers"); programmers != object.end()) {
        const RequestProblem wrong{Msg::StationProgrammersField, {}, {}, {}};
        if (programmers->is_string()) {
            if (programmers->get_ref<const std::string&>() != "all")
                return wrong;
        } else if (programmers->is_array()) {
            if (programmers->empty() || programmers->size() > ProgrammersMaximum)
                return wrong;
            std::set<std::string> seen;
            for (const json& item : *programmers) {
                if (!item.is_string() || item.get_ref<const std::string&>().empty() ||
                    item.get_ref<const std::string&>().size() > 64 || hasControlCharacter(item.get<std::string>()) ||
                    !seen.insert(item.get<std::string>()).second)
                    return wrong;
                request.programmers.push_back(item.get<std::string>());
            }
            request.allProgrammers = false;
        } else {
            return wrong;
        }
    }
    return operatorOf(object, request.operatorName);
}

std::optional<RequestProblem> ParseEmptyRequest(const std::string& body)
{
    if (isBlank(body))
        return std::nullopt;
    json object;
    return objectOf(body, {}, object);
}

std::optional<RequestProblem> ParseRecordsQuery(const std::optional<std::string>& since,
                                                const std::optional<std::string>& limit, RecordsQuery& query)
{
    if (since) {
        const std::optional<int64_t> value = wholeNumber(*since);
        if (!value || *value < 0)
            return RequestProblem{Msg::StationQueryNumber, "since", "0", std::to_string(INT64_MAX)};
        query.afterId = *value;
    }
    if (limit) {
        const std::optional<int64_t> value = wholeNumber(*limit);
        if (!value || *value < 1 || *value > RecordsLimitMaximum)
            return RequestProblem{Msg::StationQueryNumber, "limit", "1", std::to_string(RecordsLimitMaximum)};
        query.limit = *value;
    }
    return std::nullopt;
}

std::optional<RequestProblem> ParseRecordsLookup(const std::optional<std::string>& serial,
                                                 const std::optional<std::string>& crc,
                                                 const std::optional<std::string>& job, RecordsQuery& query)
{
    if (crc) {
        const std::optional<std::string> key = Checksums::crc32Key(*crc);
        if (!key)
            return RequestProblem{Msg::StationQueryNumber, "crc", "0x0", "0xFFFFFFFF"};
        query.crc32 = *key;
    }
    query.serial = serial.value_or("");
    query.job = job.value_or("");
    return std::nullopt;
}

std::optional<uint64_t> ParseLastEventId(const std::string& header)
{
    return WholeNumber(header);
}

int LanguageOfAcceptLanguage(const std::string& header)
{
    struct Tag {
        std::string name;
        double weight = 1;
        size_t order = 0;
    };
    std::vector<Tag> tags;
    size_t start = 0;
    while (start <= header.size()) {
        const size_t comma = std::min(header.find(',', start), header.size());
        std::string item = header.substr(start, comma - start);
        start = comma + 1;
        Tag tag;
        tag.order = tags.size();
        if (const size_t semicolon = item.find(';'); semicolon != std::string::npos) {
            const std::string parameter = item.substr(semicolon + 1);
            if (const size_t q = parameter.find("q="); q != std::string::npos)
                tag.weight = std::strtod(parameter.c_str() + q + 2, nullptr);
            item.resize(semicolon);
        }
        item.erase(std::remove(item.begin(), item.end(), ' '), item.end());
        std::transform(item.begin(), item.end(), item.begin(), [](unsigned char c) { return std::tolower(c); });
        tag.name = item;
        if (!tag.name.empty() && tag.weight > 0)
            tags.push_back(tag);
    }
    std::stable_sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.weight > b.weight; });
    for (const Tag& tag : tags) {
        if (tag.name == "en" || tag.name.starts_with("en-"))
            return English;
        if (tag.name == "zh" || tag.name.starts_with("zh-")) {
            const bool traditional = tag.name.find("hant") != std::string::npos || tag.name.ends_with("-tw") ||
                                     tag.name.ends_with("-hk") || tag.name.ends_with("-mo");
            return traditional ? TraditionalChinese : SimplifiedChinese;
        }
    }
    return English;
}
