#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/CliTest.h"
#include "production/SqliteLog.h"

namespace {

const std::string GangOfFour =
    "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\nfeeder on 100\nprogrammers 4\n";

class GangBatch : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        writeFile("gang.scenario", Bytes(GangOfFour));
        ASSERT_EQ(run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image", path("image.bin"),
                       "--serial", "0x10:4:dec:1", "--locked"})
                      .exitCode,
                  0);
    }
    CliResult batch(const std::string& programmers, const std::string& count)
    {
        return run({"--simulator=" + path("gang.scenario"), "batch", "--job", path("j.belcorjob"), "--programmers",
                    programmers, "--count", count, "--log-db", path("log.sqlite")});
    }
    std::vector<LogRecord> records()
    {
        std::string error;
        const std::unique_ptr<SqliteLog> log = SqliteLog::open(path("log.sqlite"), error);
        return log ? log->records({}) : std::vector<LogRecord>();
    }
};

// Forty chips over four programmers: forty serials, none twice, in the order
// they were reserved, forty records naming all four programmers.
TEST_F(GangBatch, FortyChipsOverFourProgrammers)
{
    const CliResult result = batch("all", "40");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<LogRecord> logged = records();
    ASSERT_EQ(logged.size(), 40u);
    std::set<std::string> serials, programmers;
    for (const LogRecord& record : logged) {
        EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
        serials.insert(record.serial);
        programmers.insert(record.programmer);
    }
    EXPECT_EQ(serials.size(), 40u);
    EXPECT_EQ(*serials.begin(), "0001");
    EXPECT_EQ(*serials.rbegin(), "0040");
    EXPECT_EQ(programmers.size(), 4u);
    EXPECT_EQ(CountLines(result.out, "] chip pass, serial "), 40) << result.out;
    EXPECT_EQ(CountLines(result.out, "Programmer BU2SIM000000"), 4) << result.out;
    EXPECT_TRUE(Contains(result.out, "Batch: 40 chips done, 0 failed")) << result.out;
    EXPECT_TRUE(Contains(result.out, " chips/h on 4 programmers\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Job j: 40 passed, 0 failed")) << result.out;
}

TEST_F(GangBatch, ChosenProgrammersOnly)
{
    const CliResult result = batch("BU2SIM0000002,BU2SIM0000004", "4");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::set<std::string> programmers;
    for (const LogRecord& record : records())
        programmers.insert(record.programmer);
    EXPECT_EQ(programmers, (std::set<std::string>{"BU2SIM0000002", "BU2SIM0000004"}));
}

TEST_F(GangBatch, CtrlCLetsTheChipsInFlightFinish)
{
    const CliResult result = interruptOnceOutput(
        {"--simulator=" + path("gang.scenario"), "batch", "--job", path("j.belcorjob"), "--programmers", "all",
         "--log-db", path("log.sqlite")},
        "] chip pass");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<LogRecord> logged = records();
    EXPECT_GE(logged.size(), 1u);
    for (const LogRecord& record : logged)
        EXPECT_EQ(record.result, ChipResult::Pass) << record.programmer << ": " << record.message;
    EXPECT_TRUE(Contains(result.out, "Batch: " + std::to_string(logged.size()))) << result.out;
}

// A programmer named with --programmer runs the same engine as a gang of one:
// its chips get the same records, but for when they were made and their uids.
TEST_F(GangBatch, OneProgrammerRecordsAsAGangOfOne)
{
    const auto recordsOf = [&](std::vector<std::string> choice, const std::string& log) {
        std::vector<std::string> arguments{"--simulator=" + path("gang.scenario")};
        arguments.insert(arguments.end(), {"batch", "--job", path("j.belcorjob"), "--count", "3", "--operator", "Ann",
                                           "--log-db", path(log)});
        arguments.insert(choice[0] == "--programmer" ? arguments.begin() + 1 : arguments.end(), choice.begin(),
                         choice.end());
        const CliResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::string error;
        const std::unique_ptr<SqliteLog> opened = SqliteLog::open(path(log), error);
        std::vector<std::string> records;
        for (const LogRecord& r : opened ? opened->records({}) : std::vector<LogRecord>())
            records.push_back(r.station + "|" + r.programmer + "|" + r.job + "|" + r.jobHash + "|" + r.chip + "|" +
                              r.jedecId + "|" + r.operations + "|" + ChipResultWord(r.result) + "|" + r.message + "|" + r.serial +
                              "|" + r.serialStatus + "|" + r.crc32 + "|" + r.sha256 + "|" + r.operatorName + "|" +
                              r.serialSequence);
        return records;
    };
    const std::vector<std::string> single = recordsOf({"--programmer", "BU2SIM0000003"}, "single.sqlite");
    ASSERT_EQ(single.size(), 3u);
    EXPECT_EQ(single, recordsOf({"--programmers", "BU2SIM0000003"}, "gang.sqlite"));
}

TEST_F(GangBatch, ProgrammersNeedsAJobBatch)
{
    EXPECT_EQ(run({"batch", path("image.bin"), "--programmers", "all"}).exitCode, 2);
    EXPECT_EQ(run({"--programmer", "BU2SIM0000001", "batch", "--job", path("j.belcorjob"), "--programmers", "all"})
                  .exitCode,
              2);
}

}  // namespace
