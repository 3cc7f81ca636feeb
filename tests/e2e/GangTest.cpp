#include "EndToEndTest.h"

#include <sstream>

#include "model/Chip.h"

namespace {

using Gang = EndToEndTest;

// Milliseconds since midnight of an ISO 8601 time "YYYY-MM-DDTHH:MM:SS.mmmZ".
int64_t dayMs(const std::string& time)
{
    const int hours = std::stoi(time.substr(11, 2)), minutes = std::stoi(time.substr(14, 2));
    const double seconds = std::stod(time.substr(17, 6));
    return int64_t(((hours * 60 + minutes) * 60 + seconds) * 1000);
}

// Column `name` of each data row of a CSV export, whose fields are all quoted.
std::vector<std::string> column(const std::string& csv, const std::string& name)
{
    std::istringstream lines(csv);
    std::string line;
    std::vector<std::string> values;
    int index = -1;
    while (std::getline(lines, line)) {
        const size_t first = line.find('"'), last = line.rfind('"');
        if (first == std::string::npos || last <= first)
            continue;
        std::vector<std::string> fields;
        const std::string inner = line.substr(first + 1, last - first - 1);
        for (size_t start = 0;;) {
            const size_t separator = inner.find("\",\"", start);
            fields.push_back(inner.substr(start, separator - start));
            if (separator == std::string::npos)
                break;
            start = separator + 3;
        }
        if (index < 0) {
            for (size_t i = 0; i < fields.size(); ++i)
                if (fields[i] == name)
                    index = int(i);
            continue;
        }
        if (size_t(index) < fields.size())
            values.push_back(fields[size_t(index)]);
    }
    return values;
}

// Two programmers on the bus, through the system's libusb-0.1: both are
// listed, and a gang run drives them at once (their chips' programming
// overlaps in time), each chip logged under its own programmer.
TEST_F(Gang, DrivesTwoProgrammersAtOnce)
{
    bus->withModel([](Simulator& sim) {
        sim.addDevice(BELCOR_SIM_SECOND_PROGRAMMER);
        for (size_t index = 0; index < 2; ++index) {
            Programmer& programmer = *sim.device(index).programmer;
            programmer.seatChip(Chip::create(ChipSpec{0, kSmallFlashId, kSmallFlashSize, 256}));
            programmer.setEraseTimeMs(1500);
        }
    });
    bus->pump();

    const ProgramResult listed = runCli({"programmers"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("BU2SIM0000001  V3.10     ready"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("BU2SIM0000002  V3.10     ready"), std::string::npos) << listed.out;

    writeFile("image.bin", std::vector<uint8_t>(8192, 0x3C));
    ASSERT_EQ(runCli({"job", "create", path("j.belcorjob"), "--chip", kSmallFlashName, "--image", path("image.bin"),
                      "--serial", "0x20:4:le:1"})
                  .exitCode,
              0);
    const ProgramResult gang = runCli({"batch", "--job", path("j.belcorjob"), "--programmers", "all", "--count", "2",
                                       "--log-db", path("log.sqlite")});
    EXPECT_EQ(gang.exitCode, 0) << gang.out << gang.err;
    EXPECT_NE(gang.out.find("Programmer BU2SIM0000001: 1 done, 1 passed"), std::string::npos) << gang.out;
    EXPECT_NE(gang.out.find("Programmer BU2SIM0000002: 1 done, 1 passed"), std::string::npos) << gang.out;

    ASSERT_EQ(runCli({"log", "export", "--csv", path("log.csv"), "--log-db", path("log.sqlite")}).exitCode, 0);
    const std::vector<uint8_t> bytes = readFile("log.csv");
    const std::string csv(bytes.begin(), bytes.end());
    const std::vector<std::string> times = column(csv, "time"), durations = column(csv, "duration_ms");
    ASSERT_EQ(times.size(), 2u) << csv;
    ASSERT_EQ(durations.size(), 2u) << csv;
    // Each chip's span ends at its record's time; the two spans overlap.
    const int64_t end0 = dayMs(times[0]), end1 = dayMs(times[1]);
    const int64_t start0 = end0 - std::stoll(durations[0]), start1 = end1 - std::stoll(durations[1]);
    EXPECT_LT(std::max(start0, start1), std::min(end0, end1)) << csv;
}

}  // namespace
