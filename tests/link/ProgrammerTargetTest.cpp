#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "link/CommandBlock.h"
#include "link/ProgrammerIdentity.h"
#include "link/TUsbBulk.h"
#include "support/SimulatorFixture.h"

namespace {

using namespace ProgrammerIdentity;

class ProgrammerTargetTest : public SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        belcor_sim_add_device(BELCOR_SIM_SECOND_PROGRAMMER);
        belcor_sim_add_device(BELCOR_SIM_SECOND_PROGRAMMER);
    }

    static int open(TUsbBulk& link, const std::string& target)
    {
        link.setTarget(target);
        return link.prog_open(VendorId, Manufacturer, ProductId, Product);
    }

    // The serial number the open link's programmer reports.
    static std::string serialOf(TUsbBulk& link)
    {
        CommandBlock block = CommandBlock::getHardwareInfo();
        return link.USB_bulk_cmd(block.data(), CommandBlock::Size, 1) == CommandBlock::Size ? block.serialNumber()
                                                                                             : std::string();
    }
};

struct TargetCase {
    const char* name;
    const char* target;
    const char* serial;  // null: nothing opens
};

class OpensTheTarget : public ProgrammerTargetTest, public testing::WithParamInterface<TargetCase> {};

TEST_P(OpensTheTarget, OrNothing)
{
    TUsbBulk link;
    const TargetCase& c = GetParam();
    ASSERT_EQ(open(link, c.target), c.serial ? 1 : 0);
    if (c.serial) {
        EXPECT_EQ(serialOf(link), c.serial);
    }
    link.USB_bulk_close();
}

INSTANTIATE_TEST_SUITE_P(Targets, OpensTheTarget,
                         testing::Values(TargetCase{"FirstFound", "", "BU2SIM0000001"},
                                         TargetCase{"BySerial", "BU2SIM0000003", "BU2SIM0000003"},
                                         TargetCase{"ByPosition", "001/002", "BU2SIM0000002"},
                                         TargetCase{"UnknownSerial", "BU2SIM0000009", nullptr},
                                         TargetCase{"EmptyPosition", "001/009", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgrammerTargetTest, AClaimedProgrammerIsPassedOverAndKeepsWorking)
{
    TUsbBulk first, second, third;
    ASSERT_EQ(open(first, ""), 1);
    ASSERT_EQ(open(second, ""), 1);
    EXPECT_EQ(serialOf(second), "BU2SIM0000002");
    EXPECT_EQ(open(third, "BU2SIM0000001"), 0);
    EXPECT_EQ(serialOf(first), "BU2SIM0000001");
    const std::vector<TUsbBulk::Port> ports = TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_FALSE(ports[0].claimable);
    EXPECT_FALSE(ports[1].claimable);
    EXPECT_TRUE(ports[2].claimable);
    EXPECT_EQ(ports[2].serial, "BU2SIM0000003");
    EXPECT_EQ(serialOf(first), "BU2SIM0000001");
}

// A link aimed at a serial number opens its own programmer alone: the other
// programmers' strings are read once, and again once after the bus changed,
// even while the programmer looked for is away.
TEST_F(ProgrammerTargetTest, ASerialOpensOnlyItsProgrammerUntilTheBusChanges)
{
    const auto opensOfFirst = [] { return belcor_sim_device_open_count(0); };
    const auto polls = [](const std::string& serial, int times) {
        int opened = 0;
        for (int poll = 0; poll < times; ++poll) {
            TUsbBulk link;
            opened += open(link, serial);
        }
        return opened;
    };
    ASSERT_EQ(polls("BU2SIM0000003", 1), 1);
    int before = opensOfFirst();
    EXPECT_EQ(polls("BU2SIM0000003", 5), 5);
    EXPECT_EQ(opensOfFirst(), before);

    belcor_sim_set_plugged_at(2, 0);
    EXPECT_EQ(polls("BU2SIM0000002", 5), 0);
    EXPECT_EQ(opensOfFirst(), before + 1);
    belcor_sim_set_plugged_at(2, 1);
    TUsbBulk link;
    ASSERT_EQ(open(link, "BU2SIM0000002"), 1);
    EXPECT_EQ(serialOf(link), "BU2SIM0000002");
    EXPECT_EQ(opensOfFirst(), before + 2);
}

TEST_F(ProgrammerTargetTest, ThreadsOpenTheirOwnProgrammersAtOnce)
{
    std::vector<std::string> serials(3);
    std::vector<std::thread> threads;
    for (int round = 0; round < 20; ++round) {
        threads.clear();
        for (size_t i = 0; i < serials.size(); ++i) {
            threads.emplace_back([&serials, i] {
                TUsbBulk link;
                const std::string serial = "BU2SIM000000" + std::to_string(i + 1);
                serials[i] = open(link, serial) == 1 ? serialOf(link) : "";
                link.USB_bulk_close();
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        for (size_t i = 0; i < serials.size(); ++i)
            ASSERT_EQ(serials[i], "BU2SIM000000" + std::to_string(i + 1)) << "round " << round;
    }
}

}  // namespace
