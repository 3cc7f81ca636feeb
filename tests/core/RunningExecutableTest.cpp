#include <gtest/gtest.h>

#include <filesystem>

#include "core/RunningExecutable.h"

namespace {

TEST(RunningExecutable, PathIsTheRealFileWhateverTheLinks)
{
    const std::string path = RunningExecutable::path("ignored");
    EXPECT_EQ(path, std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_FALSE(std::filesystem::is_symlink(path));
}

TEST(RunningExecutable, FilesBesideTakeTheExecutablesName)
{
    EXPECT_EQ(RunningExecutable::withExtension("/usr/lib/belcor/belcor", ".ini"), "/usr/lib/belcor/belcor.ini");
    EXPECT_EQ(RunningExecutable::withExtension("/opt/x.y/belcor.exe", ".Dat"), "/opt/x.y/belcor.Dat");
    EXPECT_EQ(RunningExecutable::folderOf("/usr/lib/belcor/belcor-cli"), "/usr/lib/belcor");
}

}  // namespace
