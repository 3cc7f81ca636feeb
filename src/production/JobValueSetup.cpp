#include "production/JobValueSetup.h"

#include <cstdint>
#include <filesystem>

#include "buffers/Checksums.h"
#include "production/JobValues.h"
#include "production/ProductionJob.h"
#include "production/ProductionText.h"

namespace fs = std::filesystem;

std::string PrepareValueFields(std::vector<ValueField>& fields, const std::string& jobPath,
                               const std::optional<SerialRule>& serial, uint64_t start, uint64_t end, int language,
                               bool* misplaced)
{
    if (misplaced)
        *misplaced = false;
    ProductionJob given;
    given.name = fs::path(jobPath).stem().string();
    given.values = fields;
    for (ValueField& field : given.values) {
        if (field.kind != ValueKind::List)
            continue;
        // An unreadable list keeps no hash; loading it says why.
        field.sha256 = Sha256OfFile(field.path).value_or(std::string());
    }
    std::string error;
    // Placed below, where a misplaced field is told apart.
    const std::optional<JobValues> values = JobValues::load(given, {}, {}, 0, UINT64_MAX, language, error);
    if (!values)
        return error;
    std::vector<FieldSpan> spans;
    if (serial)
        spans.push_back({"serial " + serial->describe(), serial->address, serial->width});
    // Each folder's largest file stands for all of its files.
    for (size_t index = 0; index < values->size(); ++index) {
        const ValueField& field = values->field(index);
        if (field.kind != ValueKind::Files) {
            spans.push_back({field.name(), field.address, values->widest(index)});
            continue;
        }
        std::optional<TakenValue> widest;
        for (std::optional<std::string> key = values->keyAfter(index, std::nullopt); key;
             key = values->keyAfter(index, key)) {
            std::optional<TakenValue> value = values->value(index, *key, error);
            if (!error.empty())
                return error;
            if (value && (!widest || value->bytes.size() > widest->bytes.size()))
                widest = std::move(value);
        }
        if (!widest)
            return ProductionText(Msg::ValueSourceUnreadable, language, {field.path, "no file in the folder"});
        spans.push_back({field.name() + " (" + widest->key + ")", field.address, widest->bytes.size()});
    }
    if (error = FieldSpansProblem(spans, start, end); !error.empty()) {
        if (misplaced)
            *misplaced = true;
        return error;
    }
    const fs::path jobFolder = fs::absolute(jobPath).parent_path();
    for (size_t i = 0; i < fields.size(); ++i) {
        fields[i] = given.values[i];
        if (!fields[i].path.empty())
            fields[i].path = fs::absolute(fields[i].path).lexically_relative(jobFolder).generic_string();
    }
    return {};
}
