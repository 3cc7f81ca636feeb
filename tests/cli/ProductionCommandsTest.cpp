#include <algorithm>
#include <set>
#include <string>

#include "cli/CliTest.h"
#include "production/SqliteLog.h"

namespace {

// The feeder takes each programmed chip out after 100 ms and seats a blank one
// 100 ms later.
const std::string FedFlash =
    "chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\nfeeder on 100\n"
    "versions H2.0 V3.10 BU2SIM0000042\n";

class ProductionCommands : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        writeFile("fed.scenario", Bytes(FedFlash));
    }
    CliResult createJob(const std::string& serial)
    {
        return run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image", path("image.bin"),
                    "--serial", serial, "--locked"});
    }
    std::vector<std::string> batch(const std::string& count)
    {
        return {"--simulator=" + path("fed.scenario"), "batch", "--job", path("j.belcorjob"), "--count", count,
                "--log-db", path("log.sqlite")};
    }
    std::vector<LogRecord> records()
    {
        std::string error;
        const std::unique_ptr<SqliteLog> log = SqliteLog::open(path("log.sqlite"), error);
        return log ? log->records({}) : std::vector<LogRecord>();
    }
};

TEST_F(ProductionCommands, JobBatchLogsEachChipWithItsSerialAndExports)
{
    ASSERT_EQ(createJob("0x10:4:dec:41").exitCode, 0);
    const CliResult shown = run({"job", "show", path("j.belcorjob")});
    EXPECT_TRUE(Contains(shown.out, "Serial: 0x10:4:dec:41:1")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Job: j (locked)"));

    const CliResult result = run(batch("2"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(CountLines(result.out, "Chip 2: pass, serial 0042"), 1) << result.out;
    EXPECT_EQ(CountLines(result.out, "Job j: 2 passed, 0 failed, yield 100.0%"), 1) << result.out;
    const std::vector<LogRecord> logged = records();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].programmer, "BU2SIM0000042");

    const CliResult exported = run({"log", "export", "--csv", path("log.csv"), "--log-db", path("log.sqlite"),
                                    "--job", "j"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(Contains(exported.out, "Exported 2 records"));
}

TEST_F(ProductionCommands, ChangedImageIsRefusedNamingBothHashes)
{
    ASSERT_EQ(createJob("0x10:4:le:1").exitCode, 0);
    writeFile("image.bin", std::vector<uint8_t>(4096, 0x5B));
    const CliResult result = run(batch("1"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Contains(result.err, "has changed since the job was made: its SHA-256 is ")) << result.err;
    EXPECT_TRUE(Contains(result.err, ", the job expects "));
}

// Killed while programming, the station keeps every chip it committed, none
// twice, and the next run goes on with serials no chip has had.
TEST_F(ProductionCommands, KillDuringBatchLosesNoCommittedChipAndDoublesNone)
{
    ASSERT_EQ(createJob("0x10:4:le:1").exitCode, 0);
    const CliResult killed = interruptOnceOutput(batch("50"), "Chip 3: pass", SIGKILL);
    EXPECT_EQ(killed.exitCode, 128 + SIGKILL);
    const size_t afterKill = records().size();
    EXPECT_GE(afterKill, 3u);
    const CliResult resumed = run(batch("2"));
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;

    const std::vector<LogRecord> logged = records();
    EXPECT_EQ(logged.size(), afterKill + 2);
    std::set<std::string> serials;
    std::set<std::string> uids;
    for (const LogRecord& record : logged) {
        serials.insert(record.serial);
        uids.insert(record.uid);
    }
    EXPECT_EQ(serials.size(), logged.size());
    EXPECT_EQ(uids.size(), logged.size());
    EXPECT_GT(std::stoull(logged.back().serial), std::stoull(logged[afterKill - 1].serial));
    EXPECT_TRUE(Contains(resumed.out, "Job j: " + std::to_string(logged.size()) + " passed")) << resumed.out;
}

}  // namespace
