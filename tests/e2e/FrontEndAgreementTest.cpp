// One model, two front ends: belcor-cli over the system libraries and the
// test bed, and belcor-cli --simulator over the simulator library, set up
// from the same scenario, must print the same and leave the same file.
#include "e2e/EndToEndTest.h"

#include "model/Scenario.h"

#include <fstream>

namespace {

struct CliRun {
    const char* name;
    const char* scene;
    std::vector<std::string> arguments;  // "@out" becomes a file of the test
};

void PrintTo(const CliRun& run, std::ostream* stream)
{
    *stream << run.name;
}

// Output with the times of day and the run's own file name taken out.
std::string Comparable(const std::string& output, const std::string& file)
{
    std::string text = WithoutTimes(output);
    for (size_t at = text.find(file); at != std::string::npos; at = text.find(file))
        text.replace(at, file.size(), "@out");
    return text;
}

class FrontEndAgreement : public EndToEndTest, public testing::WithParamInterface<CliRun> {};

std::string Printable(const testing::TestParamInfo<CliRun>& info)
{
    return info.param.name;
}

constexpr char kPatternFlash[] = "chip class=0 id=0xEF3010 size=65536 page=256\ncontents pattern\n";
constexpr char kRandomFlash[] = "chip class=0 id=0xEF3010 size=65536 page=256\ncontents random seed=5\nerase_time_ms 400\n";

TEST_P(FrontEndAgreement, SameOutputThroughBothLibraries)
{
    const CliRun& run = GetParam();
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.parse(run.scene, "scene", error)) << error;
    bus->withModel([&](Simulator& sim) { scenario.apply(sim); });
    bus->pump();
    std::ofstream(path("scene.scenario")) << run.scene;

    const auto withFile = [&](const std::string& file) {
        std::vector<std::string> arguments;
        for (const std::string& argument : run.arguments)
            arguments.push_back(argument == "@out" ? path(file) : argument);
        return arguments;
    };
    const ProgramResult system = runCli(withFile("system.bin"));
    std::vector<std::string> simulated = withFile("simulated.bin");
    simulated.insert(simulated.begin(), "--simulator=" + path("scene.scenario"));
    const ProgramResult simulator = runCli(simulated);

    EXPECT_EQ(system.exitCode, simulator.exitCode) << system.err << simulator.err;
    EXPECT_EQ(Comparable(system.out, path("system.bin")), Comparable(simulator.out, path("simulated.bin")))
        << "system libraries:\n" << system.out << "simulator:\n" << simulator.out;
    // The log lines, boxes and progress go to stderr; they must agree as well.
    EXPECT_EQ(Comparable(system.err, path("system.bin")), Comparable(simulator.err, path("simulated.bin")))
        << "system libraries:\n" << system.err << "simulator:\n" << simulator.err;
    EXPECT_EQ(readFile("system.bin"), readFile("simulated.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, FrontEndAgreement,
    testing::Values(CliRun{"Status", "", {"status"}}, CliRun{"StatusUnplugged", "unplugged\n", {"status"}},
                    CliRun{"Detect", kPatternFlash, {"detect"}}, CliRun{"DetectEmptySocket", "", {"detect"}},
                    CliRun{"Read", kPatternFlash, {"read", "@out"}}, CliRun{"Erase", kRandomFlash, {"erase"}},
                    CliRun{"Info", "versions H2.2 V3.30 BU2AGREE00001\n", {"info"}}),
    Printable);

}  // namespace
