#include "production/JobValues.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "buffers/Checksums.h"
#include "core/SmallFile.h"
#include "core/WholeNumber.h"
#include "production/MacAddress.h"
#include "production/ProductionJob.h"
#include "production/ProductionText.h"

namespace fs = std::filesystem;

namespace {

std::string hexText(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Hidden files (an editor's backup, a desktop's index) are no chip's.
std::optional<std::vector<std::string>> filesIn(const std::string& folder)
{
    std::error_code failure;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, failure)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with('.') && entry.is_regular_file(failure))
            names.push_back(name);
    }
    if (failure)
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::string JobValues::sourcePath(const ValueField& field, const std::string& jobPath)
{
    return fs::path(field.path).is_absolute() ? field.path : (fs::path(jobPath).parent_path() / field.path).string();
}

std::optional<JobValues> JobValues::load(const ProductionJob& job, const std::string& jobPath,
                                         std::vector<FieldSpan> fixed, uint64_t programmedStart,
                                         uint64_t programmedEnd, int language, std::string& error)
{
    JobValues loaded;
    loaded.start_ = programmedStart;
    loaded.end_ = programmedEnd;
    loaded.language_ = language;
    for (const ValueField& field : job.values) {
        Source source{field, sourcePath(field, jobPath), {}, {}};
        const auto unreadable = [&](const std::string& why) {
            error = ProductionText(Msg::ValueSourceUnreadable, language, {source.path, why});
            return std::nullopt;
        };
        if (field.kind == ValueKind::List) {
            std::string text;
            if (SmallFile::read(source.path, ValueList::LargestFile, text) != SmallFile::Status::Read)
                return unreadable("not a readable file of at most " + std::to_string(ValueList::LargestFile) +
                                  " bytes");
            const std::string found = Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
            if (found != field.sha256) {
                error = ProductionText(Msg::ValueListChanged, language, {source.path, field.sha256, found});
                return std::nullopt;
            }
            std::string problem;
            std::optional<ValueList> list = ValueList::parse(text, field.form, problem);
            if (!list)
                return unreadable(problem);
            source.list = std::move(*list);
            fixed.push_back({field.name(), field.address, source.list.widest()});
        } else if (field.kind == ValueKind::Mac) {
            fixed.push_back({field.name(), field.address, MacAddress::Width});
        } else {
            std::optional<std::vector<std::string>> files = filesIn(source.path);
            if (!files)
                return unreadable("not a readable folder");
            source.files = std::move(*files);
        }
        loaded.sources_.push_back(std::move(source));
    }
    if (const std::string problem = FieldSpansProblem(fixed, programmedStart, programmedEnd); !problem.empty()) {
        error = ProductionText(Msg::ValueSourceUnreadable, language, {job.name, problem});
        return std::nullopt;
    }
    loaded.fixed_ = std::move(fixed);
    return loaded;
}

std::optional<std::string> JobValues::keyAfter(size_t index, const std::optional<std::string>& last) const
{
    const Source& source = sources_[index];
    if (source.field.kind == ValueKind::Files) {
        const auto next = last ? std::upper_bound(source.files.begin(), source.files.end(), *last)
                               : source.files.begin();
        return next == source.files.end() ? std::nullopt : std::optional<std::string>(*next);
    }
    const uint64_t count = source.field.kind == ValueKind::List ? source.list.values.size()
                                                                : source.field.last - source.field.first + 1;
    std::optional<uint64_t> next = uint64_t{0};
    if (last) {
        next = WholeNumber(*last);
        if (next)
            ++*next;
    }
    if (!next || *next >= count)
        return std::nullopt;
    return std::to_string(*next);
}

std::optional<TakenValue> JobValues::value(size_t index, const std::string& key, std::string& problem) const
{
    const Source& source = sources_[index];
    TakenValue taken{index, key, {}, {}};
    problem.clear();
    if (source.field.kind == ValueKind::Files) {
        if (!std::binary_search(source.files.begin(), source.files.end(), key))
            return std::nullopt;
        const std::string path = (fs::path(source.path) / key).string();
        std::string bytes;
        const SmallFile::Status status = SmallFile::read(path, LargestDeviceFile, bytes);
        if (status == SmallFile::Status::TooLarge) {
            problem = ProductionText(Msg::ValueFileTooLarge, language_,
                                     {path, "> " + std::to_string(LargestDeviceFile), hexText(source.field.address)});
            return std::nullopt;
        }
        if (status != SmallFile::Status::Read || bytes.empty()) {
            problem = ProductionText(Msg::ValueSourceUnreadable, language_,
                                     {path, bytes.empty() && status == SmallFile::Status::Read ? "empty" : "unreadable"});
            return std::nullopt;
        }
        taken.text = key;
        taken.bytes.assign(bytes.begin(), bytes.end());
        return taken;
    }
    const std::optional<uint64_t> at = WholeNumber(key);
    if (source.field.kind == ValueKind::List) {
        if (!at || *at >= source.list.values.size())
            return std::nullopt;
        taken.text = source.list.texts[*at];
        taken.bytes = source.list.values[*at];
        return taken;
    }
    if (!at || *at > source.field.last - source.field.first)
        return std::nullopt;
    taken.text = MacAddress::text(source.field.first + *at);
    taken.bytes = MacAddress::bytes(source.field.first + *at);
    return taken;
}

uint64_t JobValues::widest(size_t index) const
{
    const Source& source = sources_[index];
    return source.field.kind == ValueKind::Mac ? MacAddress::Width : source.list.widest();
}

// Lists and MAC ranges were checked at their widest when loaded; a file's
// length is known only when it is taken.
std::string JobValues::problemOf(const std::vector<TakenValue>& taken) const
{
    std::vector<FieldSpan> spans = fixed_;
    for (const TakenValue& value : taken) {
        const Source& source = sources_[value.field];
        if (source.field.kind != ValueKind::Files)
            continue;
        spans.push_back({source.field.name(), source.field.address, value.bytes.size()});
        if (!FieldSpansProblem(spans, start_, end_).empty())
            return ProductionText(Msg::ValueFileTooLarge, language_,
                                  {(fs::path(source.path) / value.key).string(), std::to_string(value.bytes.size()),
                                   hexText(source.field.address)});
    }
    return {};
}

std::vector<std::string> JobValues::preview(size_t index, std::optional<std::string> last, size_t count) const
{
    std::vector<std::string> shown;
    std::string problem;
    while (shown.size() < count) {
        last = keyAfter(index, last);
        if (!last)
            break;
        const std::optional<TakenValue> taken = value(index, *last, problem);
        shown.push_back(taken ? taken->text : *last);
    }
    return shown;
}

std::string JobValues::recordText(const JobValues& values, const std::vector<TakenValue>& taken)
{
    std::string text;
    for (const TakenValue& value : taken) {
        if (!text.empty())
            text += "; ";
        text += hexText(values.field(value.field).address) + "=" + value.text;
    }
    return text;
}
