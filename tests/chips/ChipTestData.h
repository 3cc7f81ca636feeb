#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chips/ChipRecord.h"

// A record with the given title bytes and a few distinguishing fields.
inline ChipRecord MakeRecord(const std::string& title, uint32_t flashSize = 0x1000, uint8_t chipClass = 0,
                             uint16_t eepromSize = 0)
{
    ChipRecord record{};
    std::memcpy(record.title, title.data(), std::min(title.size(), sizeof record.title));
    record.flashSize = flashSize;
    record.flashPage = 256;
    record.chipClass = chipClass;
    record.eepromSize = eepromSize;
    return record;
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "belcor-chips-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_); }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
