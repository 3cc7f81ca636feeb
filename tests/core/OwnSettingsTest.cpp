#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "../buffers/TempFolder.h"
#include "core/OwnSettings.h"

namespace {

struct EnvironmentCase {
    const char* name;
    const char* configHome;  // nullptr: unset
    const char* home;
    const char* expected;
};

class OwnSettingsPath : public testing::TestWithParam<EnvironmentCase> {
protected:
    static std::optional<std::string> saved(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    static void put(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    void TearDown() override
    {
        put("XDG_CONFIG_HOME", configHome_);
        put("HOME", home_);
    }

    std::optional<std::string> configHome_ = saved("XDG_CONFIG_HOME");
    std::optional<std::string> home_ = saved("HOME");
};

TEST_P(OwnSettingsPath, FollowsTheBaseDirectoryRules)
{
    const EnvironmentCase& c = GetParam();
    put("XDG_CONFIG_HOME", c.configHome ? std::optional<std::string>(c.configHome) : std::nullopt);
    put("HOME", c.home ? std::optional<std::string>(c.home) : std::nullopt);
    EXPECT_EQ(OwnSettings::defaultPath(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, OwnSettingsPath,
    testing::Values(EnvironmentCase{"ConfigHome", "/cfg", "/home/u", "/cfg/belcor/belcor.conf"},
                    EnvironmentCase{"HomeWithoutConfigHome", nullptr, "/home/u", "/home/u/.config/belcor/belcor.conf"},
                    EnvironmentCase{"RelativeConfigHomeIgnored", "cfg", "/home/u", "/home/u/.config/belcor/belcor.conf"},
                    EnvironmentCase{"Neither", nullptr, nullptr, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OwnSettings, ListRoundTripsInAFolderItMakes)
{
    TempFolder folder;
    OwnSettings settings(folder.file("config/belcor/belcor.conf"));
    ASSERT_TRUE(settings.setList("Files", "Recent", {"/a b/c.bin", "/d.hex"}, 8));
    EXPECT_EQ(settings.list("Files", "Recent", 8), (std::vector<std::string>{"/a b/c.bin", "/d.hex"}));
    ASSERT_TRUE(settings.setList("Files", "Recent", {"/e.bin"}, 8));
    EXPECT_EQ(settings.list("Files", "Recent", 8), std::vector<std::string>{"/e.bin"});
}

TEST(OwnSettings, NoFolderRemembersNothingQuietly)
{
    OwnSettings settings{std::string()};
    EXPECT_FALSE(settings.setValue("Files", "Recent1", "/a.bin"));
    EXPECT_FALSE(settings.value("Files", "Recent1"));
}

}  // namespace
