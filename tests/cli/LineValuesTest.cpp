#include <string>

#include "cli/CliTest.h"
#include "support/PostgresServer.h"

namespace {

class LineValuesCliTest : public CliTest {
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

    PostgresServer server;
};

// Two stations of a line take one list's values, none twice, and the line's
// records name them; with the server away a station with none leased stops
// before its first chip, naming the field.
TEST_F(LineValuesCliTest, StationsShareAListAndStopWithoutTheServer)
{
    std::string list;
    for (int line = 1; line <= 40; ++line)
        list += "DEV-" + std::to_string(100 + line) + "\n";
    writeFile("list.txt", Bytes(list));
    ASSERT_EQ(run({"job", "create", path("line.belcorjob"), "--chip", "A25L512", "--image", path("image.bin"),
                   "--list", path("list.txt") + ":0x100:ascii"})
                  .exitCode,
              0);
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
