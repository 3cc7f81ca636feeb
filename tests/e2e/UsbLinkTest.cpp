#include "e2e/EndToEndTest.h"

TEST_F(EndToEndTest, Probe)
{
    const ProgramResult result = runCli({"status", "--verbose"});
    std::printf("exit %d\nout:\n%s\nerr:\n%s\n", result.exitCode, result.out.c_str(), result.err.c_str());
    for (const std::string& name : bus->ioctlLog())
        std::printf("%s ", name.c_str());
}
