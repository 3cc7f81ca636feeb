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
    EXPECT_TRUE(Contains(result.err, GetParam().complaint)) << result.err;
    EXPECT_TRUE(Contains(result.err, "Usage: belcor-cli"));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, UsageErrors,
    testing::Values(UsageCase{"UnknownOption", {"--fast", "status"}, "unknown option --fast"},
                    UsageCase{"UnknownCommand", {"program"}, "unknown command program"},
                    UsageCase{"MissingFile", {"write"}, "write takes 1 argument, got 0"},
                    UsageCase{"MissingValue", {"read", "a.bin", "--chip"}, "--chip needs a value"},
                    UsageCase{"AddressTooLong", {"--end=0x123456789", "write", "a.bin"},
                              "--end: '0x123456789' is not a valid integer value"},
                    UsageCase{"ZeroCount", {"batch", "a.bin", "--count", "0"}, "--count needs a positive decimal number"},
                    // Read as 16 before; chips are counted in decimal.
                    UsageCase{"HexadecimalCount", {"batch", "a.bin", "--count", "0x10"},
                              "--count needs a positive decimal number, not \"0x10\""},
                    UsageCase{"CapacityPastCounts", {"convert", "a", "b", "--capacity=0x80000000"},
                              "--capacity takes at most 2147483647 bytes"},
                    UsageCase{"RangeOnRead", {"--start", "100", "read", "a.bin"}, "--start, --end and --range apply only"},
                    UsageCase{"BatchFileAndJob", {"batch", "a.bin", "--job", "j.belcorjob"}, "either FILE or --job"},
                    UsageCase{"BatchJobWithChip", {"batch", "--job", "j", "--chip", "X"}, "the job fixes the chip"},
                    UsageCase{"JobCreateWithoutImage", {"job", "create", "j", "--chip", "X"}, "needs --chip and --image"},
                    UsageCase{"JobUnknownWord", {"job", "delete", "j"}, "job takes create or show"},
                    UsageCase{"SerialOnBatch", {"batch", "a.bin", "--serial", "0:4:le:1"},
                              "--serial applies only to job create and log find"},
                    UsageCase{"RangeNeedsTwo", {"job", "create", "j", "--range", "0"}, "--range needs START and END"},
                    UsageCase{"ExportWithoutCsv", {"log", "export"}, "log export needs --csv FILE"},
                    UsageCase{"FindWithoutKey", {"log", "find", "--since", "2026-12-07"},
                              "log find needs --serial VALUE, --crc HEX or --job NAME"},
                    UsageCase{"FindBadCrc", {"log", "find", "--crc", "0x123456789"}, "--crc needs a CRC-32"},
                    UsageCase{"CrcOnExport", {"log", "export", "--csv", "a.csv", "--crc", "1"},
                              "--crc applies only to log find"},
                    UsageCase{"CountPast63Bits", {"batch", "a.bin", "--count", "9223372036854775808"},
                              "--count takes at most 9223372036854775807 chips"},
                    UsageCase{"SinceInWords", {"log", "export", "--csv", "a.csv", "--since", "yesterday"},
                              "--since: \"yesterday\" is no ISO 8601 time"},
                    UsageCase{"SinceNoSuchDay", {"log", "export", "--csv", "a.csv", "--since", "2026-02-30"},
                              "is no ISO 8601 time"},
                    UsageCase{"BadSerialRule",
                              {"job", "create", "j", "--chip", "X", "--image", "a.bin", "--serial", "0:4:xx:1"},
                              "--serial: the serial number's form \"xx\" is none of"},
                    UsageCase{"OperatorWithoutJob", {"batch", "a.bin", "--operator", "Ann"},
                              "--operator applies only to batch --job"},
                    UsageCase{"PinFileOnBatch", {"batch", "--job", "j", "--pin-file", "pin.txt"},
                              "--pin-file and --operator-required apply only to job create"},
                    UsageCase{"ValuesOnBatch", {"batch", "a.bin", "--mac", "0:02:00:00:00:00:01:02:00:00:00:00:02"},
                              "--list, --mac, --files and --on-fail apply only to job create"},
                    UsageCase{"MacRangeBackwards",
                              {"job", "create", "j", "--chip", "X", "--image", "a.bin", "--mac",
                               "0:02:00:00:00:00:09:02:00:00:00:00:02"},
                              "--mac: the MAC address range 02:00:00:00:00:09 to 02:00:00:00:00:02 ends before"},
                    UsageCase{"ListWithoutForm", {"job", "create", "j", "--chip", "X", "--image", "a.bin", "--list",
                                                  "keys.txt:0x10"},
                              "--list: a value list reads FILE:ADDRESS:FORM, not \"keys.txt:0x10\""},
                    UsageCase{"OnFailUnknown", {"job", "create", "j", "--chip", "X", "--image", "a.bin", "--on-fail",
                                                "keep"},
                              "--on-fail takes burn or reuse, not keep"},
                    UsageCase{"ProtectAfterOutsideJobCreate", {"auto", "a.bin", "--protect-after"},
                              "--protect-after applies only to job create"},
                    UsageCase{"SinceHalfAZone", {"log", "export", "--csv", "a.csv", "--since", "2026-12-07T10:00+1"},
                              "is no ISO 8601 time"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, HelpNamesEveryCommandAndOption)
{
    const CliResult result = run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* word : {"status", "detect", "read FILE", "blank", "erase", "write FILE", "verify FILE",
                             "auto FILE", "batch FILE", "convert IN OUT", "info", "upgrade FILE.fwpk", "list [TEXT]",
                             "--chip TYPE,MANUFACTURER,NAME", "--start ADDR", "--no-erase", "--no-verify", "--count N",
                             "--capacity BYTES", "--simulator[=FILE]", "--verbose", "overwritten without asking",
                             "Exit status:", "--yes", "log find --serial VALUE"})
        EXPECT_TRUE(Contains(result.out, word)) << word;
}

}  // namespace
