#pragma once

#include <optional>
#include <string>
#include <vector>

#include "production/SerialRule.h"
#include "production/ValueField.h"

// The value fields of a job about to be made, as given (paths relative to the
// working folder or absolute), checked and made ready for the job file: each
// list read, checked and hashed, each folder holding at least one file, every
// value (a list's longest, a folder's largest file) inside [start, end)
// without overlapping another field or the serial number. Paths become
// relative to the job file's folder. Empty on success, else why not, with
// `misplaced` (when given) telling a field out of place from a source that
// cannot be used.
std::string PrepareValueFields(std::vector<ValueField>& fields, const std::string& jobPath,
                               const std::optional<SerialRule>& serial, uint64_t start, uint64_t end, int language,
                               bool* misplaced = nullptr);
