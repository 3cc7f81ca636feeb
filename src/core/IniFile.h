#pragma once

#include <optional>
#include <string>
#include <vector>

// A profile file of "[section]" headers and "key=value" lines, read and
// written the way the Windows profile functions do: section and key names
// compare without regard to ASCII letter case, values are trimmed, and a write
// changes only the one line it owns, keeping every other line (comments,
// foreign keys, odd spacing, line endings) byte for byte. The file is read
// afresh by every call, so edits made by hand in between are never lost.
class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& path() const { return path_; }

    // The trimmed value of the first `key` in the first `section`, or nothing
    // when the file, the section or the key is missing.
    std::optional<std::string> readString(const std::string& section, const std::string& key) const;

    // Sets `key` in `section`, creating the file, the section and the key as
    // needed. The new content goes to a temporary file beside the target that
    // is then renamed over it, so a failed write leaves the old file intact.
    // Returns false when the file cannot be written.
    bool writeString(const std::string& section, const std::string& key, const std::string& value);

    // The two on the text of a file held in memory: the value readString
    // gives, and the text writeString writes.
    static std::optional<std::string> valueIn(const std::string& content, const std::string& section,
                                              const std::string& key);
    static std::string withValue(const std::string& content, const std::string& section, const std::string& key,
                                 const std::string& value);

private:
    std::string path_;
};
