#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/IniFile.h"

// What Belcor itself remembers between runs beyond the settings file beside
// the executable (recent files, later the production view's placement), in a
// profile file of its own under the user's configuration folder. The settings
// file holds only its own keys, so that it stays as other tools expect it.
// Every call reads or writes the file at once; a file that cannot be written
// (no home folder, a read-only one) only means that nothing is remembered.
class OwnSettings {
public:
    // $XDG_CONFIG_HOME/belcor/belcor.conf, or ~/.config/belcor/belcor.conf;
    // empty when neither folder is known.
    static std::string defaultPath();

    explicit OwnSettings(std::string path = defaultPath());

    const std::string& path() const { return file_.path(); }

    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Creates the folder as needed; false when the file cannot be written.
    bool setValue(const std::string& section, const std::string& key, const std::string& value);

    // A list kept as the keys <key>1, <key>2, ... in order; empty entries are skipped.
    std::vector<std::string> list(const std::string& section, const std::string& key, int capacity) const;
    // Writes all `capacity` keys, clearing those past the list's end.
    bool setList(const std::string& section, const std::string& key, const std::vector<std::string>& items,
                 int capacity);

private:
    IniFile file_;
};
