#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "production/FieldSpan.h"
#include "production/TakenValue.h"
#include "production/ValueField.h"
#include "production/ValueList.h"

struct ProductionJob;

// A job's value sources as a run uses them: each list read and checked
// against the SHA-256 the job keeps, each folder's file names in name order,
// each MAC range. Values are named by keys that stay valid across runs: an
// index into a list or range (which cannot change), a file's name (a folder
// may gain files).
class JobValues {
public:
    // A per-device file is one key or certificate; anything larger is no such file.
    static constexpr size_t LargestDeviceFile = 16u << 20;

    // Nothing, with `error` set (in `language`), when a source cannot be
    // used. `programmed` is the span a chip is written over, which every
    // value must lie within, apart from the serial number's span `serial`.
    static std::optional<JobValues> load(const ProductionJob& job, const std::string& jobPath,
                                         std::vector<FieldSpan> fixed, uint64_t programmedStart,
                                         uint64_t programmedEnd, int language, std::string& error);

    size_t size() const { return sources_.size(); }
    const ValueField& field(size_t index) const { return sources_[index].field; }
    // The key of the value after `last`, the first value without one;
    // nothing when the source has no further value.
    std::optional<std::string> keyAfter(size_t index, const std::optional<std::string>& last) const;
    // The value under `key`; nothing when it is gone (a file removed) or
    // cannot be read, with `problem` set to the run's message.
    std::optional<TakenValue> value(size_t index, const std::string& key, std::string& problem) const;
    // The bytes a list's or a range's values take at most.
    uint64_t widest(size_t index) const;
    // Why one chip's values cannot all be written (a file too long for its
    // place); empty when they can.
    std::string problemOf(const std::vector<TakenValue>& taken) const;
    // Up to `count` values from `last` on, as the log shows them.
    std::vector<std::string> preview(size_t index, std::optional<std::string> last, size_t count) const;
    // "ADDRESS=VALUE; ..." as a record keeps them.
    static std::string recordText(const JobValues& values, const std::vector<TakenValue>& taken);

    // The path a field's source has, relative to the job file's folder.
    static std::string sourcePath(const ValueField& field, const std::string& jobPath);

private:
    struct Source {
        ValueField field;
        std::string path;  // the list or folder as opened
        ValueList list;
        std::vector<std::string> files;  // in name order
    };
    std::vector<Source> sources_;
    std::vector<FieldSpan> fixed_;
    uint64_t start_ = 0;
    uint64_t end_ = 0;
    int language_ = 0;
};
