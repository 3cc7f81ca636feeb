#include <string>
#include <vector>

#include "cli/CliTest.h"

namespace {

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* complaint;
};

class UsageErrors : public CliTest, public testing::WithParamInterface<UsageCase> {};

TEST_P(UsageErrors, PrintUsageOnStderrAndExitTwo)
{
    const CliResult result = run(GetParam().arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(GetParam().complaint), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("Usage: belcor-cli"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, UsageErrors,
    testing::Values(UsageCase{"NoCommand", {}, "no command given"},
                    UsageCase{"UnknownOption", {"--fast", "status"}, "unknown option --fast"},
                    UsageCase{"UnknownCommand", {"program"}, "unknown command program"},
                    UsageCase{"MissingFile", {"write"}, "write takes 1 argument, got 0"},
                    UsageCase{"ExtraFile", {"erase", "a.bin"}, "erase takes 0 arguments, got 1"},
                    UsageCase{"MissingValue", {"read", "a.bin", "--chip"}, "--chip needs a value"},
                    UsageCase{"AddressNotHex", {"--start", "12G", "write", "a.bin"}, "--start needs a hexadecimal"},
                    UsageCase{"AddressTooLong", {"--end=123456789", "write", "a.bin"}, "--end needs a hexadecimal"},
                    UsageCase{"ZeroCount", {"batch", "a.bin", "--count", "0"}, "--count needs a positive number"},
                    UsageCase{"CountOutsideBatch", {"auto", "a.bin", "--count", "2"}, "--count applies only to batch"},
                    UsageCase{"RangeOnRead", {"--start", "100", "read", "a.bin"}, "--start and --end apply only"},
                    UsageCase{"ChipOnConvert", {"--chip", "W25Q64JV", "convert", "a", "b"}, "--chip applies only"},
                    UsageCase{"FlagWithValue", {"--verbose=1", "status"}, "--verbose takes no value"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, HelpNamesEveryCommandAndOption)
{
    const CliResult result = run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* word : {"status", "detect", "read FILE", "blank", "erase", "write FILE", "verify FILE",
                             "auto FILE", "batch FILE", "convert IN OUT", "info", "upgrade FILE.fwpk", "list [TEXT]",
                             "--chip NAME", "--chip TYPE,MANUFACTURER,NAME", "--start ADDR", "--end ADDR", "--no-erase",
                             "--no-verify", "--count N", "--capacity BYTES", "--simulator[=FILE]", "--verbose",
                             "overwritten without asking"})
        EXPECT_NE(result.out.find(word), std::string::npos) << word;
}

TEST_F(CliTest, SimulatorScenarioErrorIsReported)
{
    const CliResult result = runScenario("chip class=9\n", {"status"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("error: "), std::string::npos);
    EXPECT_NE(result.err.find("test.scenario:1:"), std::string::npos) << result.err;
}

}  // namespace
