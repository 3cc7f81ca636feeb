#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "OpsFixture.h"
#include "ops/StatusRegister.h"

namespace {

AutoOptions protecting()
{
    AutoOptions options;
    options.protect = true;
    return options;
}

struct ProtectCase {
    const char* name;
    uint8_t left;  // status bits an earlier tool left
    bool wpLow;    // the socket holds the WP pin low
    bool passes;
    uint8_t after;     // the register when the run is over
    std::string said;  // the log line on success, the error box on failure
};

class ProtectAfterProgramming : public OpsFixture {};

class ProtectRegister : public ProtectAfterProgramming, public testing::WithParamInterface<ProtectCase> {};

TEST_P(ProtectRegister, SetsEveryProtectionBitAndChecksThatItTook)
{
    const ProtectCase& c = GetParam();
    useFlash(0x10000);
    ASSERT_EQ(belcor_sim_chip_set_status(c.left), 0);
    belcor_sim_set_write_protect_pin(c.wpLow);
    fillPattern(0x100);
    workbench.buffers.dataLength = 0x100;

    EXPECT_EQ(run(Operation::Auto, protecting()), c.passes) << lastError();
    if (c.passes) {
        EXPECT_TRUE(host.errorBoxes.empty()) << lastError();
        EXPECT_NE(std::find(host.log.begin(), host.log.end(), c.said), host.log.end());
    } else {
        EXPECT_EQ(lastError(), c.said);
    }
    uint8_t status = 0;
    ASSERT_TRUE(RunReadStatusRegister(workbench, host, status)) << lastError();
    EXPECT_EQ(status, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    , ProtectRegister,
    testing::Values(
        ProtectCase{"BlankRegister", 0x00, false, true, 0x9C, "Protection set: status register 9Ch (10:00:00)"},
        ProtectCase{"TopBottomAndSectorKeptAsRead", 0x60, false, true, 0xFC,
                    "Protection set: status register FCh (10:00:00)"},
        // SRP alone locks nothing while the WP pin is high.
        ProtectCase{"RegisterProtectWithWpHigh", 0x80, false, true, 0x9C,
                    "Protection set: status register 9Ch (10:00:00)"},
        ProtectCase{"RegisterLockedBySrpAndWp", 0x80, true, false, 0x80,
                    "Protection did not take: the status register reads 80h, 9Ch expected"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtectAfterProgramming, ProtectedChipKeepsItsContentsAgainstTheNextRun)
{
    useFlash(0x10000);
    fillPattern(0x100);
    workbench.buffers.dataLength = 0x100;
    ASSERT_TRUE(run(Operation::Auto, protecting())) << lastError();
    flash()[0] ^= 0xFF;

    EXPECT_FALSE(run(Operation::Auto));
    uint8_t first = 0;
    ASSERT_EQ(belcor_sim_chip_read(0, &first, 1), 1);
    EXPECT_EQ(first, 0x01) << "the erase and the program were ignored";
}

TEST_F(ProtectAfterProgramming, OtherFamiliesAreRefusedBeforeTheSession)
{
    useChip(chipRecord("24_EEPROM,T,24C02", I2cEeprom24, 256, 8));
    fillPattern(0x10);
    workbench.buffers.dataLength = 0x10;

    EXPECT_FALSE(run(Operation::Auto, protecting()));
    EXPECT_EQ(lastError(), "The chip 24_EEPROM,T,24C02 has no protection bits to set; protection after "
                           "programming is for 25-series chips only.");
    EXPECT_TRUE(commands().empty());
}

}  // namespace
