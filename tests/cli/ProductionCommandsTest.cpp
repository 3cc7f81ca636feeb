#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "cli/CliTest.h"
#include "production/JobFile.h"
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

    std::vector<std::string> arguments = batch("2");
    arguments.insert(arguments.end(), {"--operator", "Ann Lee"});
    const CliResult result = run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(CountLines(result.out, "Chip 2: pass, serial 0042"), 1) << result.out;
    EXPECT_EQ(CountLines(result.out, "Job j: 2 passed, 0 failed, yield 100.0%"), 1) << result.out;
    const std::vector<LogRecord> logged = records();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].programmer, "BU2SIM0000042");
    EXPECT_EQ(logged[1].operatorName, "Ann Lee");

    const CliResult exported = run({"log", "export", "--csv", path("log.csv"), "--log-db", path("log.sqlite"),
                                    "--job", "j"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(Contains(exported.out, "Exported 2 records"));

    // A lookup prints the export's header and columns, one line per record.
    const CliResult found = run({"log", "find", "--serial", "0042", "--log-db", path("log.sqlite")});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(CountLines(found.out, "\"uid\",\"time\",\"local_time\""), 1) << found.out;
    EXPECT_EQ(CountLines(found.out, "\"0042\",\"used\""), 1) << found.out;
    EXPECT_EQ(CountLines(found.out, "\""), 2) << found.out;
    const CliResult byCrc = run({"log", "find", "--crc", "0x" + logged[1].crc32, "--job", "j", "--log-db",
                                 path("log.sqlite")});
    EXPECT_EQ(CountLines(byCrc.out, "\"" + logged[1].uid + "\""), 1) << byCrc.out << byCrc.err;
    const CliResult none = run({"log", "find", "--serial", "9999", "--log-db", path("log.sqlite")});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_TRUE(Contains(none.err, "no record in " + path("log.sqlite") + " matches")) << none.err;
}

TEST_F(ProductionCommands, ValueJobRefusesOverlapsAndExportsEachChipsValues)
{
    const std::vector<std::string> create = {"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image",
                                             path("image.bin"), "--serial", "0x10:4:le:1", "--mac"};
    std::vector<std::string> overlapping = create;
    overlapping.push_back("0x12:02:00:00:00:00:01:02:00:00:00:00:09");
    const CliResult refused = run(overlapping);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(Contains(refused.err, "overlap at 0x12")) << refused.err;

    writeFile("keys.txt", Bytes("DE AD\nBE EF\n"));
    std::vector<std::string> arguments = create;
    arguments.insert(arguments.end(), {"0x20:02:00:00:00:00:01:02:00:00:00:00:09", "--list",
                                       path("keys.txt") + ":0x30:bytes", "--on-fail", "reuse"});
    ASSERT_EQ(run(arguments).exitCode, 0);
    const CliResult shown = run({"job", "show", path("j.belcorjob")});
    EXPECT_TRUE(Contains(shown.out, "Values: 02:00:00:00:00:01..02:00:00:00:00:09@0x20")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Values: keys.txt@0x30 (bytes, SHA-256 ")) << shown.out;
    EXPECT_TRUE(Contains(shown.out, "Values of a failed chip: reused")) << shown.out;

    EXPECT_EQ(run(batch("2")).exitCode, 0);
    ASSERT_EQ(run({"log", "export", "--csv", path("log.csv"), "--log-db", path("log.sqlite")}).exitCode, 0);
    const std::vector<uint8_t> csv = readFile("log.csv");
    const std::string text(csv.begin(), csv.end());
    EXPECT_TRUE(Contains(text, "\"operator\",\"values\"\r\n")) << text;
    EXPECT_TRUE(Contains(text, "\"0x20=02:00:00:00:00:02; 0x30=BEEF\"\r\n")) << text;
}

TEST_F(ProductionCommands, ChangedImageIsRefusedNamingBothHashes)
{
    ASSERT_EQ(createJob("0x10:4:le:1").exitCode, 0);
    writeFile("image.bin", std::vector<uint8_t>(4096, 0x5B));
    const CliResult result = run(batch("1"));
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_TRUE(Contains(result.err, "has changed since the job was made: its SHA-256 is ")) << result.err;
    EXPECT_TRUE(Contains(result.err, ", the job expects "));
}

// Killed while programming chip 4, the station keeps every chip it committed,
// none twice; the chip under way is recorded as interrupted with the serial it
// may carry, and the next run goes on with serials no chip has had.
TEST_F(ProductionCommands, KillDuringBatchLosesNoChipAndLeavesNoSerialUnnamed)
{
    ASSERT_EQ(createJob("0x10:4:le:1").exitCode, 0);
    // A slow erase keeps the kill inside chip 4 on a busy machine.
    writeFile("fed.scenario", Bytes("chip class=0 id=0x373010 size=65536 page=256\nerase_time_ms 1500\nfeeder on 100\n"
                                    "versions H2.0 V3.10 BU2SIM0000042\n"));
    const CliResult killed = interruptWhen(
        batch("50"),
        [](const std::string&, const std::string& err) { return CountLines(err, "Erase Flash ... 0%") >= 4; },
        SIGKILL);
    EXPECT_EQ(killed.exitCode, 128 + SIGKILL);
    const CliResult resumed = run(batch("2"));
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;

    const std::vector<LogRecord> logged = records();
    ASSERT_EQ(logged.size(), 6u);
    std::vector<std::string> serials;
    std::set<std::string> uids;
    for (const LogRecord& record : logged) {
        serials.push_back(record.serial + " " + ChipResultWord(record.result));
        uids.insert(record.uid);
    }
    EXPECT_EQ(serials, (std::vector<std::string>{"1 pass", "2 pass", "3 pass", "4 interrupted", "5 pass", "6 pass"}));
    EXPECT_EQ(uids.size(), logged.size());
    EXPECT_TRUE(Contains(resumed.out, "Job j: 5 passed, 0 failed, 1 interrupted, yield 83.3%")) << resumed.out;
}

// Control characters in a job's texts would drive the terminal that shows it.
TEST_F(ProductionCommands, JobShowEscapesControlCharactersAndNamesTheOneStationRule)
{
    const CliResult made = run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image",
                                path("image.bin"), "--serial", "0x10:4:le:1", "--note", "rev B\x1b[2J\x07\xc2\x9b" "2J"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const CliResult shown = run({"job", "show", path("j.belcorjob")});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_TRUE(Contains(shown.out, "Note: rev B\\x1B[2J\\x07\\u009B2J\n")) << shown.out;
    EXPECT_EQ(shown.out.find('\x1b'), std::string::npos);
    EXPECT_TRUE(Contains(shown.out, "without a line server the job runs on one station only")) << shown.out;
}

TEST_F(ProductionCommands, JobRefusesAnImageThatIsNoRegularFile)
{
    mkfifo(path("fifo.bin").c_str(), 0600);
    for (const std::string& image : {std::string("/dev/zero"), path("fifo.bin")}) {
        const CliResult made = run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image", image});
        EXPECT_EQ(made.exitCode, 4);
        EXPECT_TRUE(Contains(made.err, image + " is not a regular file")) << made.err;
    }
}

struct PinFileCase {
    const char* name;
    std::optional<std::string> contents;  // none: no such file
    int exitCode;
    const char* complaint;
};

class PinFile : public ProductionCommands, public testing::WithParamInterface<PinFileCase> {};

// The PIN is the file's first line without its line end, and the job keeps
// only its salted hash.
TEST_P(PinFile, GivesTheJobItsHashedFirstLine)
{
    if (GetParam().contents)
        writeFile("pin.txt", Bytes(*GetParam().contents));
    const CliResult made = run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image",
                                path("image.bin"), "--pin-file", path("pin.txt")});
    EXPECT_EQ(made.exitCode, GetParam().exitCode) << made.err;
    EXPECT_TRUE(Contains(made.err, GetParam().complaint)) << made.err;
    if (GetParam().exitCode != 0)
        return;
    const std::vector<uint8_t> written = readFile("j.belcorjob");
    EXPECT_FALSE(Contains(std::string(written.begin(), written.end()), "2468"));
    const JobFileRead read = JobFile::read(path("j.belcorjob"));
    ASSERT_TRUE(read.job && read.job->pin) << read.error;
    EXPECT_TRUE(read.job->pin->matches("2468"));
    EXPECT_FALSE(read.job->pin->matches("2468\r"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, PinFile,
    testing::Values(PinFileCase{"FirstLineWithCrLf", "2468\r\nsecond line\n", 0, ""},
                    PinFileCase{"TooShort", "246\n", 2, "pin.txt: an engineer PIN has 4 to 64 characters"},
                    PinFileCase{"Missing", std::nullopt, 4, "cannot read the PIN file"}),
    [](const testing::TestParamInfo<PinFileCase>& info) { return std::string(info.param.name); });

TEST_F(ProductionCommands, JobThatRequiresTheOperatorRefusesABatchWithoutOne)
{
    ASSERT_EQ(run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image", path("image.bin"),
                   "--operator-required"})
                  .exitCode,
              0);
    const CliResult refused = run(batch("1"));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(Contains(refused.err, "asks every run to name its operator: add --operator NAME")) << refused.err;
    EXPECT_TRUE(records().empty());
}

TEST_F(ProductionCommands, ProtectAfterIsForSerialFlashOnlyAndProtectsEachChip)
{
    const CliResult refused = run({"job", "create", path("e.belcorjob"), "--chip", "AT24C01A", "--image",
                                   path("image.bin"), "--protect-after"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(Contains(refused.err, "The chip 24_EEPROM,Atmel,AT24C01A has no protection bits to set"))
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(path("e.belcorjob")));

    ASSERT_EQ(run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image", path("image.bin"),
                   "--protect-after"})
                  .exitCode,
              0);
    const CliResult shown = run({"job", "show", path("j.belcorjob")});
    EXPECT_TRUE(Contains(shown.out, "Protect after programming: every block-protection bit and SRP set"))
        << shown.out;
    const CliResult result = run(batch("1"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<LogRecord> logged = records();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].result, ChipResult::Pass) << logged[0].message;
    EXPECT_EQ(logged[0].operations, "erase,program,verify,protect");
}

// The target counts good chips: the run ends there, before its count, and
// that is a success.
TEST_F(ProductionCommands, BatchEndsWhenTheJobHasItsTargetOfGoodChips)
{
    ASSERT_EQ(run({"job", "create", path("j.belcorjob"), "--chip", "A25L512", "--image", path("image.bin"),
                   "--target", "2"})
                  .exitCode,
              0);
    const CliResult result = run(batch("5"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "\nTarget reached: 2 good chips\n")) << result.out;
    EXPECT_EQ(records().size(), 2u);

    const CliResult again = run(batch("5"));
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(Contains(again.out, "Target reached: 2 good chips\n")) << again.out;
    EXPECT_FALSE(Contains(again.out, "Batch: waiting")) << "no chip is waited for";
    EXPECT_EQ(records().size(), 2u);
}

struct SinceCase {
    const char* name;
    const char* since;
    const char* zone;  // TZ for local times
    int64_t records;
};

class ExportSince : public ProductionCommands, public testing::WithParamInterface<SinceCase> {};

// Before, the text was compared with the log's UTC times letter by letter.
TEST_P(ExportSince, ComparesAsTime)
{
    {
        std::string error;
        const std::unique_ptr<SqliteLog> log = SqliteLog::open(path("log.sqlite"), error);
        ASSERT_TRUE(log) << error;
        for (const char* time : {"2026-12-07T09:59:00.000Z", "2026-12-07T10:01:00.000Z", "2026-12-08T00:00:00.000Z"}) {
            LogRecord record;
            record.uid = time;
            record.time = time;
            record.job = "j";
            record.result = ChipResult::Pass;
            ASSERT_TRUE(log->commit(record, std::nullopt, error)) << error;
        }
    }
    const char* zone = std::getenv("TZ");
    const std::string before = zone ? zone : "";
    setenv("TZ", GetParam().zone, 1);
    const CliResult exported = run({"log", "export", "--csv", path("log.csv"), "--log-db", path("log.sqlite"),
                                    "--since", GetParam().since});
    zone ? setenv("TZ", before.c_str(), 1) : unsetenv("TZ");
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_TRUE(Contains(exported.out, "Exported " + std::to_string(GetParam().records) + " records")) << exported.out;
}

INSTANTIATE_TEST_SUITE_P(Times, ExportSince,
                         testing::Values(SinceCase{"Utc", "2026-12-07T10:00:00Z", "UTC", 2},
                                         SinceCase{"EastOfUtc", "2026-12-07T12:00:00+02:00", "UTC", 2},
                                         SinceCase{"WestOfUtcWithFraction", "2026-12-07T04:59:30.5-05", "UTC", 2},
                                         SinceCase{"LocalTime", "2026-12-07T11:00", "UTC-1", 2},
                                         SinceCase{"LocalDate", "2026-12-08", "UTC-1", 1}),
                         [](const testing::TestParamInfo<SinceCase>& info) { return std::string(info.param.name); });

}  // namespace
