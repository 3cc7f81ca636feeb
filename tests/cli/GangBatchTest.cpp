#include <set>
#include <string>

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

TEST_F(GangBatch, ProgrammersNeedsAJobBatch)
{
    EXPECT_EQ(run({"batch", path("image.bin"), "--programmers", "all"}).exitCode, 2);
    EXPECT_EQ(run({"--programmer", "BU2SIM0000001", "batch", "--job", path("j.belcorjob"), "--programmers", "all"})
                  .exitCode,
              2);
}

}  // namespace
