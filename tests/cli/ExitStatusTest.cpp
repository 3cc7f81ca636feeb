#include <optional>

#include "cli/CliTest.h"

namespace {

// The AMIC A25L512 the database knows: 64 KiB, blank.
const std::string SmallFlash = "chip class=0 id=0x373010 size=65536 page=256\n";
const std::string Unplugged = SmallFlash + "unplugged\n";
// A seated serial flash whose identification differs from the chosen chip's.
const std::string OtherFlash = "chip class=0 id=0xC84099 size=65536 page=256\n";

// "@NAME" in an argument stands for the file NAME in the test's folder.
struct ExitCase {
    const char* name;
    std::optional<std::string> scenario;  // nothing: no simulator
    std::vector<std::string> arguments;
    int exitCode;
    const char* err;  // part of stderr
};

class ExitStatuses : public CliTest, public testing::WithParamInterface<ExitCase> {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        writeFile("long.bin", std::vector<uint8_t>(2 * 65536, 0x5A));
    }
};

TEST_P(ExitStatuses, TellOneThingEach)
{
    std::vector<std::string> arguments;
    for (const std::string& argument : GetParam().arguments)
        arguments.push_back(argument.starts_with("@") ? path(argument.substr(1)) : argument);
    const CliResult result = GetParam().scenario ? runScenario(*GetParam().scenario, arguments) : run(arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.out << result.err;
    EXPECT_TRUE(Contains(result.err, GetParam().err)) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ExitStatuses,
    testing::Values(
        ExitCase{"Done", SmallFlash, {"--chip", "A25L512", "write", "@image.bin"}, 0, "Write"},
        ExitCase{"ListWithoutMatch", std::nullopt, {"list", "NoSuchChip"}, 0,
                 "no chip in the database matches \"NoSuchChip\""},
        ExitCase{"FailedOnTheChip", SmallFlash, {"--chip", "A25L512", "verify", "@image.bin"}, 1, "error: "},
        ExitCase{"FilesDiffer", std::nullopt, {"compare", "@image.bin", "@long.bin"}, 1, ""},
        ExitCase{"QuestionWithoutYes", SmallFlash, {"--chip", "A25L512", "write", "@long.bin"}, 1, "--yes"},
        ExitCase{"UnknownChip", SmallFlash, {"--chip", "NOPE", "erase"}, 2,
                 "no chip in the database matches \"NOPE\""},
        ExitCase{"AmbiguousChip", SmallFlash, {"--chip", "W25Q64", "erase"}, 2, "is ambiguous"},
        ExitCase{"YesWhereNothingAsks", std::nullopt, {"--yes", "list"}, 2, "--yes applies only to"},
        ExitCase{"StatusUnplugged", Unplugged, {"status"}, 3, ""},
        ExitCase{"OperationUnplugged", Unplugged, {"--chip", "A25L512", "erase"}, 3, "Not connected"},
        ExitCase{"InfoUnplugged", Unplugged, {"info"}, 3, "Not connected"},
        ExitCase{"ImageMissing", SmallFlash, {"--chip", "A25L512", "write", "@missing.bin"}, 4, ""},
        ExitCase{"CompareUnreadable", std::nullopt, {"compare", "@missing.bin", "@image.bin"}, 4, ""},
        ExitCase{"OutputNotWritable", SmallFlash, {"--chip", "A25L512", "read", "@no/such/folder/chip.bin"}, 4, ""},
        ExitCase{"JobFileMissing", SmallFlash, {"batch", "--job", "@missing.belcorjob"}, 4, ""},
        ExitCase{"JobFileNoJob", SmallFlash, {"batch", "--job", "@image.bin"}, 5, ""}),
    [](const testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

// The window's questions never reach the terminal: each is answered by a flag
// (--yes; --force for the chip's identification) or refused naming it.
struct QuestionCase {
    const char* name;
    std::string scenario;
    std::vector<std::string> arguments;
    const char* refusal;  // stderr without the flag
    const char* done;     // the output with it
};

class Questions : public CliTest, public testing::WithParamInterface<QuestionCase> {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        writeFile("long.bin", std::vector<uint8_t>(2 * 65536, 0x5A));
    }
    CliResult runWith(const std::vector<std::string>& extra)
    {
        std::vector<std::string> arguments{"--chip", "A25L512"};
        for (const std::string& argument : GetParam().arguments)
            arguments.push_back(argument.starts_with("@") ? path(argument.substr(1)) : argument);
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return runScenario(GetParam().scenario, arguments);
    }
};

TEST_P(Questions, AreAnsweredByYesOrRefusedNamingIt)
{
    const CliResult refused = runWith({});
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    EXPECT_TRUE(Contains(refused.err, GetParam().refusal)) << refused.err;
    EXPECT_FALSE(Contains(refused.err, "?")) << refused.err;

    const CliResult answered = runWith({"--yes"});
    EXPECT_EQ(answered.exitCode, 0) << answered.err;
    EXPECT_TRUE(Contains(answered.out + answered.err, GetParam().done)) << answered.out << answered.err;
    EXPECT_FALSE(Contains(answered.err, "?")) << answered.err;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Questions,
    testing::Values(
        QuestionCase{"FileLongerThanTheChip", SmallFlash, {"write", "@long.bin"},
                     "long.bin is longer than the chip; nothing was done (--yes loads only what fits)",
                     "Write Complete!"},
        QuestionCase{"OtherIdentification", OtherFlash, {"erase"},
                     "the seated chip was left as it was; --yes (or --force) changes it anyway",
                     "Erase Complete!"},
        QuestionCase{"OtherIdentificationInABatch", OtherFlash + "contents pattern\n",
                     {"batch", "@image.bin", "--count", "1"},
                     "the batch stops rather than wait for it to be taken out; --yes (or --force)",
                     "Batch: 1 chip done, 0 failed"}),
    [](const testing::TestParamInfo<QuestionCase>& info) { return std::string(info.param.name); });

// A log that is not there is named, and neither it nor its folder is made.
TEST_F(CliTest, LogCommandsRefuseALogThatDoesNotExist)
{
    const std::string log = path("missing/log.sqlite");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"log", "export", "--csv", path("out.csv"), "--log-db", log},
          std::vector<std::string>{"log", "find", "--serial", "1", "--log-db", log}}) {
        const CliResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 4) << arguments[1];
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(Contains(result.err, "the production log " + log + " does not exist")) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(path("missing")));
    EXPECT_FALSE(std::filesystem::exists(path("out.csv")));
}

}  // namespace
