#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "station/StationSettings.h"

namespace {

TEST(StationSettings, FlagsWinOverTheFileWhereverConfigStands)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "belcor-station-test.conf";
    std::ofstream(file) << "# line 1\nlisten = [::1]:9000\nstation = from-file\njobs = /srv/jobs\nsimulator\n";
    const ParsedStationSettings parsed =
        ParseStationArguments({"--station", "from-flag", "--config", file.string(), "--log-db=/tmp/l.sqlite"});
    std::filesystem::remove(file);
    ASSERT_TRUE(parsed.settings) << parsed.error;
    const StationSettings& settings = *parsed.settings;
    EXPECT_EQ(settings.station, "from-flag");
    EXPECT_EQ(settings.listenHost, "::1");
    EXPECT_EQ(settings.listenPort, 9000);
    EXPECT_EQ(settings.jobs, "/srv/jobs");
    EXPECT_EQ(settings.logDb, "/tmp/l.sqlite");
    EXPECT_TRUE(settings.simulator);
    EXPECT_TRUE(settings.loopbackOnly());
}

TEST(StationSettings, AFileLineThatCannotBeUsedIsNamed)
{
    StationSettings settings;
    EXPECT_EQ(ApplyStationSettingsText(settings, "station = a\nlisten = 1.2.3.4\n"),
              "line 2: listen takes ADDRESS:PORT, e.g. 127.0.0.1:8470, not \"1.2.3.4\"");
    EXPECT_EQ(ApplyStationSettingsText(settings, "\n\ntoken = x\n"), "line 3: unknown setting \"token\"");
    EXPECT_EQ(ApplyStationSettingsText(settings, "jobs\n"), "line 1: \"jobs\" needs \"= VALUE\"");
}

TEST(StationSettings, ListenAddresses)
{
    std::string host;
    int port = 0;
    EXPECT_TRUE(ParseListenAddress("0.0.0.0:0", host, port));
    EXPECT_TRUE(ParseListenAddress("[fe80::1]:65535", host, port));
    EXPECT_EQ(host, "fe80::1");
    for (const char* wrong : {"8470", ":8470", "::1:8470", "host:65536", "host:-1", "host:80x", "[::1:80"})
        EXPECT_FALSE(ParseListenAddress(wrong, host, port)) << wrong;
}

// Beyond loopback only with a token and TLS; 127.0.0.2 is loopback too.
TEST(StationSettings, StartRefusals)
{
    const auto refusalOf = [](const std::string& host, bool token, bool tls) {
        StationSettings settings;
        settings.listenHost = host;
        settings.tokenFile = token ? "t" : "";
        settings.tlsCert = settings.tlsKey = tls ? "c" : "";
        return !settings.refusal().empty();
    };
    EXPECT_FALSE(refusalOf("127.0.0.2", false, false));
    EXPECT_FALSE(refusalOf("::1", false, false));
    EXPECT_FALSE(refusalOf("localhost", false, false));
    EXPECT_TRUE(refusalOf("0.0.0.0", false, true));
    EXPECT_TRUE(refusalOf("192.168.1.5", true, false));
    EXPECT_TRUE(refusalOf("station.example", true, false));
    EXPECT_FALSE(refusalOf("0.0.0.0", true, true));
}

}  // namespace
