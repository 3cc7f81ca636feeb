#include "core/RunningExecutable.h"

#include <filesystem>
#include <system_error>

namespace RunningExecutable {

std::string path(const char* argument0)
{
    std::error_code error;
    // The kernel's link names the file itself, never a link to it.
    const std::filesystem::path real = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return real.string();
    const std::filesystem::path given = std::filesystem::absolute(argument0 ? argument0 : "", error);
    return error ? std::string(argument0 ? argument0 : "") : given.string();
}

std::string folderOf(const std::string& executablePath)
{
    return std::filesystem::path(executablePath).parent_path().string();
}

std::string withExtension(const std::string& executablePath, const std::string& extension)
{
    return std::filesystem::path(executablePath).replace_extension(extension).string();
}

}  // namespace RunningExecutable
