#include <chrono>
#include <optional>
#include <set>
#include <string>

#include "cli/CliTest.h"
#include "production/SqliteLog.h"
#include "support/PostgresServer.h"

namespace {

// A line server of the test's own, a fed simulator and the line's image.
class LineServerCliTest : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        if (!PostgresServer::available())
            GTEST_SKIP() << PostgresServer::missingMessage();
        ASSERT_TRUE(server.start()) << server.error();
        writeFile("image.bin", std::vector<uint8_t>(4096, 0x5A));
        writeFile("fed.scenario", Bytes("chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 50\n"
                                        "feeder on 100\nversions H2.0 V3.10 BU2SIM0000020\n"));
    }

    // line.belcorjob for the A25L512 and the image, with `options` added.
    void createJob(const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments{"job", "create", path("line.belcorjob"), "--chip", "A25L512", "--image",
                                           path("image.bin")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ASSERT_EQ(run(arguments).exitCode, 0);
    }

    PostgresServer server;
};

// A whole line's rehearsal: 20 chips through the simulator's feeder under a
// locked job with serial numbers, logged on the station and on the line
// server, which goes down after the 5th chip and comes back after the 12th.
TEST_F(LineServerCliTest, TwentyChipsReachBothLogsThroughAServerOutage)
{
    createJob({"--serial", "0x20:8:dec:1000", "--locked"});

    bool stopped = false;
    bool restarted = false;
    const CliResult result = runWatching(
        {"--simulator=" + path("fed.scenario"), "batch", "--job", path("line.belcorjob"), "--count", "20",
         "--log-db", path("station.sqlite"), "--log-db", server.url()},
        [&](const std::string& out) {
            if (!stopped && Contains(out, "Chip 5:"))
                stopped = server.stop();
            if (stopped && !restarted && Contains(out, "Chip 12:"))
                restarted = server.start();
        });
    ASSERT_TRUE(stopped && restarted) << server.error();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "Job line: 20 passed, 0 failed, yield 100.0%")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Log server: Connected; every record is stored.")) << result.out;

    std::string error;
    const std::unique_ptr<SqliteLog> station = SqliteLog::open(path("station.sqlite"), error);
    ASSERT_TRUE(station) << error;
    std::set<std::string> serials;
    for (const LogRecord& record : station->records({}))
        serials.insert(record.serial);
    EXPECT_EQ(serials.size(), 20u);
    EXPECT_EQ(*serials.begin(), "00001000");
    EXPECT_EQ(station->counters("line").passed, 20);
    EXPECT_EQ(server.query("SELECT count(*), count(DISTINCT serial), count(DISTINCT uid) FROM belcor_production_log"),
              "20|20|20\n");
    EXPECT_EQ(server.query("SELECT bool_and(station_id = seq) FROM belcor_production_log"), "t\n");
}

// A line server that accepts connections and never answers holds the end of a
// batch for at most 5 s; what it did not take goes with the next batch.
TEST_F(LineServerCliTest, FrozenServerHoldsTheEndOfABatchAtMostFiveSeconds)
{
    createJob({});
    const auto batch = [&](const std::string& count, std::optional<std::chrono::steady_clock::time_point>& summary) {
        return runWatching({"--simulator=" + path("fed.scenario"), "batch", "--job", path("line.belcorjob"),
                            "--count", count, "--log-db", path("station.sqlite"), "--log-db", server.url()},
                           [&](const std::string& out) {
                               if (!summary && Contains(out, "Batch: " + count))
                                   summary = std::chrono::steady_clock::now();
                           });
    };

    ASSERT_TRUE(server.freeze()) << server.error();
    std::optional<std::chrono::steady_clock::time_point> summary;
    const CliResult frozen = batch("2", summary);
    ASSERT_TRUE(summary) << frozen.out;
    EXPECT_LT(std::chrono::steady_clock::now() - *summary, std::chrono::seconds(5));
    EXPECT_EQ(frozen.exitCode, 0) << frozen.err;
    EXPECT_TRUE(Contains(frozen.out, "Log server: The line server did not answer in time. 2 records wait")) << frozen.out;

    ASSERT_TRUE(server.thaw()) << server.error();
    summary.reset();
    const CliResult thawed = batch("1", summary);
    EXPECT_TRUE(Contains(thawed.out, "Log server: Connected; every record is stored.")) << thawed.out;
    EXPECT_EQ(server.query("SELECT count(*) FROM belcor_production_log"), "3\n");
}

// Two stations run the same job on one line server, one after the other,
// each with its own station log: the second goes on after the block the first
// leased. With the server away, a station without serials left stops before
// its first chip.
TEST_F(LineServerCliTest, StationsOnOneServerIssueEachSerialOnce)
{
    createJob({"--serial", "0x20:8:dec:1000"});
    const auto batch = [&](const std::string& station) {
        return run({"--simulator=" + path("fed.scenario"), "batch", "--job", path("line.belcorjob"), "--count", "5",
                    "--log-db", path(station + ".sqlite"), "--log-db", server.url()});
    };
    const CliResult first = batch("a");
    EXPECT_EQ(first.exitCode, 0) << first.err;
    const CliResult second = batch("b");
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_TRUE(Contains(second.out, "Chip 1: pass, serial 00001016")) << second.out;
    EXPECT_EQ(server.query("SELECT count(*), count(DISTINCT serial) FROM belcor_production_log"), "10|10\n");

    ASSERT_TRUE(server.stop()) << server.error();
    const CliResult away = batch("c");
    EXPECT_NE(away.exitCode, 0);
    EXPECT_TRUE(Contains(away.err, "The line server gave no serial numbers: ")) << away.err;
    EXPECT_TRUE(Contains(away.out, "Batch: 0 chips done")) << away.out;
}

// A server whose leases went back (restored from a backup) leases values
// again that chips carry already; its index refuses them. The run that made
// those chips exited 0.
TEST_F(LineServerCliTest, RunWhoseSerialsTheServerFindsDoubledFails)
{
    createJob({"--serial", "0x20:4:le:1"});
    const auto batch = [&](const std::string& log) {
        return run({"--simulator=" + path("fed.scenario"), "batch", "--job", path("line.belcorjob"), "--count", "2",
                    "--log-db", path(log), "--log-db", server.url()});
    };
    ASSERT_EQ(batch("a.sqlite").exitCode, 0);
    ASSERT_EQ(server.query("UPDATE belcor_serial_leases SET next = 0"), "");
    const CliResult doubled = batch("b.sqlite");
    EXPECT_EQ(doubled.exitCode, 5) << doubled.out;
    EXPECT_TRUE(Contains(doubled.err, "The line server refused 2 records of this run")) << doubled.err;
    EXPECT_FALSE(Contains(doubled.out, "every record is stored")) << doubled.out;
}

// Two stations of a line take one list's values, none twice, and the line's
// records name them; with the server away a station with none leased stops
// before its first chip, naming the field.
TEST_F(LineServerCliTest, StationsShareAListAndStopWithoutTheServer)
{
    std::string list;
    for (int line = 1; line <= 40; ++line)
        list += "DEV-" + std::to_string(100 + line) + "\n";
    writeFile("list.txt", Bytes(list));
    createJob({"--list", path("list.txt") + ":0x100:ascii"});
    const auto batch = [&](const std::string& station) {
        return run({"--simulator=" + path("fed.scenario"), "batch", "--job", path("line.belcorjob"), "--count", "4",
                    "--log-db", path(station + ".sqlite"), "--log-db", server.url()});
    };
    for (const char* station : {"a", "b", "a"}) {
        const CliResult made = batch(station);
        EXPECT_EQ(made.exitCode, 0) << made.err;
    }
    EXPECT_EQ(server.query("SELECT count(*), count(DISTINCT job_values) FROM belcor_production_log "
                           "WHERE job_values LIKE '0x100=DEV-1%'"),
              "12|12\n");

    ASSERT_TRUE(server.stop()) << server.error();
    const CliResult away = batch("c");
    EXPECT_NE(away.exitCode, 0);
    EXPECT_TRUE(Contains(away.err, "The line server gave no value of list.txt@0x100: ")) << away.err;
    EXPECT_TRUE(Contains(away.out, "Batch: 0 chips done")) << away.out;
}

}  // namespace
