#include "core/OwnSettings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string OwnSettings::defaultPath()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
    std::filesystem::path folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        folder = config;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        folder = std::filesystem::path(home) / ".config";
    else
        return {};
    return (folder / "belcor" / "belcor.conf").string();
}

OwnSettings::OwnSettings(std::string path) : file_(std::move(path)) {}

std::optional<std::string> OwnSettings::value(const std::string& section, const std::string& key) const
{
    if (file_.path().empty())
        return std::nullopt;
    return file_.readString(section, key);
}

bool OwnSettings::setValue(const std::string& section, const std::string& key, const std::string& value)
{
    if (file_.path().empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file_.path()).parent_path(), error);
    return file_.writeString(section, key, value);
}

std::vector<std::string> OwnSettings::list(const std::string& section, const std::string& key, int capacity) const
{
    std::vector<std::string> items;
    for (int i = 1; i <= capacity; ++i) {
        const std::optional<std::string> item = value(section, key + std::to_string(i));
        if (item && !item->empty())
            items.push_back(*item);
    }
    return items;
}

bool OwnSettings::setList(const std::string& section, const std::string& key, const std::vector<std::string>& items,
                          int capacity)
{
    for (int i = 1; i <= capacity; ++i) {
        const std::string item = size_t(i) <= items.size() ? items[size_t(i) - 1] : std::string();
        if (!setValue(section, key + std::to_string(i), item))
            return false;
    }
    return true;
}
