#pragma once

#include <string>

// Where the running program lies. Its settings, chip database and simulator
// sit beside the real executable, so a launcher link elsewhere (in /usr/bin,
// say) must still lead to that folder.
namespace RunningExecutable {

// The executable's real path, every symbolic link resolved; `argument0` made
// absolute when the system does not tell.
std::string path(const char* argument0 = nullptr);

// The folder holding the executable at `executablePath`.
std::string folderOf(const std::string& executablePath);

// `executablePath` with its extension, if any, replaced by `extension`
// (".ini" turns ".../belcor" or ".../belcor.exe" into ".../belcor.ini").
std::string withExtension(const std::string& executablePath, const std::string& extension);

}  // namespace RunningExecutable
