#include "cli/CliTest.h"

namespace {

// The database's 64 KiB A25L512, seated holding old.bin of the test's folder.
const std::string HoldingOld = "chip class=0 id=0x373010 size=65536 page=256\ncontents file=old.bin\n";
constexpr uint32_t Size = 65536;

class UpdateCommands : public CliTest {
protected:
    void SetUp() override
    {
        CliTest::SetUp();
        old.assign(Size, 0x00);
        for (uint32_t i = 0; i < Size; ++i)
            old[i] = uint8_t(i / 3);
        writeFile("old.bin", old);
    }
    std::vector<uint8_t> old;
};

TEST_F(UpdateCommands, UpdatePrintsTheSectorCountsOnStdout)
{
    std::vector<uint8_t> wanted = old;
    wanted[0x2345] = 0xFF;
    writeFile("new.bin", wanted);

    const CliResult result = runScenario(HoldingOld, {"update", path("new.bin")});

    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "Update Complete! Sectors: 15 skipped, 0 programmed, 1 erased.\n");
}

struct ProtectionCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    const char* out;
    const char* err;
};

class ProtectedChip : public UpdateCommands, public testing::WithParamInterface<ProtectionCase> {};

TEST_P(ProtectedChip, IsNamedOrUnprotected)
{
    writeFile("new.bin", std::vector<uint8_t>(Size, 0x5A));
    std::vector<std::string> arguments = GetParam().arguments;
    if (arguments.size() > 1)
        arguments.back() = path(arguments.back());
    const CliResult result = runScenario(HoldingOld + "status_register 0x1C\n", arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.out << result.err;
    EXPECT_TRUE(Contains(result.out, GetParam().out)) << result.out;
    EXPECT_TRUE(Contains(result.err, GetParam().err)) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ProtectedChip,
    testing::Values(
        ProtectionCase{"Update", {"update", "new.bin"}, 1, "",
                       "The chip is write-protected (status register 1Ch: BP0, BP1, BP2). Run belcor-cli unprotect first."},
        ProtectionCase{"Auto", {"auto", "new.bin"}, 1, "",
                       "The chip is write-protected (status register 1Ch: BP0, BP1, BP2). Run belcor-cli unprotect first."},
        ProtectionCase{"Unprotect", {"unprotect"}, 0, "", "Protection removed! ("}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
