#include "sim/SimDriver.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

class UsbFrontendTest : public ::testing::Test {
protected:
    void SetUp() override { belcor_sim_reset(); }

    static int devicesOnBus()
    {
        usb_find_busses();
        usb_find_devices();
        int count = 0;
        for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next)
            for (struct usb_device* device = bus->devices; device; device = device->next)
                ++count;
        return count;
    }

    SimDriver driver;
};

TEST_F(UsbFrontendTest, ProgrammerHasItsIdentityAndOneBulkInterface)
{
    ASSERT_EQ(devicesOnBus(), 1);
    struct usb_device* device = usb_get_busses()->devices;
    EXPECT_EQ(device->descriptor.idVendor, 0x1FC8);
    EXPECT_EQ(device->descriptor.idProduct, 0x300B);
    const usb_interface_descriptor& altsetting = device->config->interface->altsetting[0];
    EXPECT_EQ(altsetting.bInterfaceNumber, 0);
    ASSERT_EQ(altsetting.bNumEndpoints, 3);
    EXPECT_EQ(altsetting.endpoint[0].bEndpointAddress, 0x82);

    ASSERT_TRUE(driver.open());
    EXPECT_EQ(driver.stringDescriptor(1), u"www.belcor.example");
    EXPECT_EQ(driver.stringDescriptor(2), u"ZudEZEZez");
    EXPECT_EQ(driver.stringDescriptor(3), u"BU2SIM0000001");
    EXPECT_TRUE(belcor_sim_device_was_opened(0));
    EXPECT_TRUE(belcor_sim_device_was_claimed(0));
}

class ExtraDeviceTest : public UsbFrontendTest,
                        public ::testing::WithParamInterface<std::tuple<int, std::u16string, std::u16string>> {};

TEST_P(ExtraDeviceTest, FollowsTheProgrammerWithItsOwnStrings)
{
    const auto& [kind, manufacturer, product] = GetParam();
    ASSERT_EQ(belcor_sim_add_device(kind), 1);
    ASSERT_EQ(devicesOnBus(), 2);
    ASSERT_TRUE(driver.open(1));
    EXPECT_EQ(driver.stringDescriptor(1), manufacturer);
    EXPECT_EQ(driver.stringDescriptor(2), product);
    EXPECT_FALSE(belcor_sim_device_was_opened(0));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExtraDeviceTest,
    ::testing::Values(std::tuple(BELCOR_SIM_SECOND_PROGRAMMER, u"www.belcor.example", u"ZudEZEZez"),
                      std::tuple(BELCOR_SIM_LOOKALIKE, u"www.other.example", u"ZudEZEZez"),
                      std::tuple(BELCOR_SIM_WINUSB1, u"www.belcor.example", u"WinUSB1"),
                      std::tuple(BELCOR_SIM_CJK_PRODUCT, u"www.belcor.example", u"ZudEZEZe\u4E2D")),
    [](const auto& info) {
        switch (std::get<0>(info.param)) {
        case BELCOR_SIM_SECOND_PROGRAMMER: return std::string("SecondProgrammer");
        case BELCOR_SIM_LOOKALIKE: return std::string("Lookalike");
        case BELCOR_SIM_WINUSB1: return std::string("WinUsb1");
        default: return std::string("CjkProduct");
        }
    });

TEST_F(UsbFrontendTest, StringDescriptorIsUtf16LittleEndian)
{
    belcor_sim_add_device(BELCOR_SIM_CJK_PRODUCT);
    ASSERT_TRUE(driver.open(1));
    uint8_t answer[256] = {};
    const int count = usb_control_msg(driver.handle(), 0x80, 6, 0x0302, 0x0409, reinterpret_cast<char*>(answer), 256, 1000);
    ASSERT_EQ(count, 2 + 2 * 9);
    EXPECT_EQ(answer[0], count);
    EXPECT_EQ(answer[1], 3);
    EXPECT_EQ(answer[2], 'Z');
    EXPECT_EQ(answer[3], 0);
    EXPECT_EQ(answer[18], 0x2D);
    EXPECT_EQ(answer[19], 0x4E);
}

// The WinUSB1 layout swaps the command and data endpoints and takes its
// fields least significant byte first.
class LayoutTest : public UsbFrontendTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LayoutTest, FieldsArriveInTheLayoutsByteOrder)
{
    const bool winUsb = GetParam();
    int index = 0;
    if (winUsb) {
        index = belcor_sim_add_device(BELCOR_SIM_WINUSB1);
        belcor_sim_set_plugged(0);
    }
    ASSERT_TRUE(driver.open(winUsb ? 0 : index));
    driver.exchange(driver.beginSession(1, 0x0010, 0x00012345));
    driver.exchange(driver.setAddress(0x00010203));
    driver.read(64);
    belcor_sim_event event{};
    ASSERT_EQ(belcor_sim_transcript_get(belcor_sim_transcript_size() - 1, &event), 0);
    EXPECT_EQ(event.kind, BELCOR_SIM_EVENT_DATA_IN);
    EXPECT_EQ(event.endpoint, winUsb ? 0x81 : 0x82);
    EXPECT_EQ(event.address, 0x00010203u);
    ASSERT_EQ(belcor_sim_transcript_get(1, &event), 0);
    EXPECT_EQ(event.kind, BELCOR_SIM_EVENT_COMMAND);
    EXPECT_EQ(event.endpoint, winUsb ? 0x01 : 0x02);
    EXPECT_EQ(event.block[8], winUsb ? 0x45 : 0x00);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "WinUsb1" : "Standard"); });

TEST_F(UsbFrontendTest, LostReplyTimesOutAtOnceAndLeavesTheBufferAlone)
{
    ASSERT_TRUE(driver.open());
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 1);
    SimDriver::Block reply = driver.block(9);
    driver.command(reply);
    EXPECT_EQ(driver.reply(reply), 64) << "the fault counts from the next reply";
    driver.command(driver.block(9));
    reply.fill(0xEE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(driver.reply(reply), -110);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(reply[0], 0xEE);
    EXPECT_EQ(driver.exchange(driver.block(9))[1], 9) << "the fault fires once";
}

struct HotplugCounter {
    int events = 0;
    static void count(void* context) { ++static_cast<HotplugCounter*>(context)->events; }
};

TEST_F(UsbFrontendTest, UnplugMidTransferMakesTheProgrammerVanish)
{
    HotplugCounter counter;
    belcor_sim_set_hotplug_callback(&HotplugCounter::count, &counter);
    ASSERT_TRUE(driver.open());
    belcor_sim_inject_fault(BELCOR_SIM_UNPLUG, 1);
    EXPECT_EQ(driver.command(driver.block(9)), 64);
    EXPECT_EQ(driver.command(driver.block(9)), -19);
    EXPECT_EQ(counter.events, 1);
    EXPECT_EQ(belcor_sim_is_plugged(), 0);
    int result = 0;
    driver.read(64, &result);
    EXPECT_EQ(result, -19);
    EXPECT_EQ(devicesOnBus(), 0);

    belcor_sim_set_plugged(1);
    EXPECT_EQ(counter.events, 2);
    EXPECT_EQ(driver.command(driver.block(9)), -19) << "a handle from before the unplug stays dead";
    driver.close();
    EXPECT_TRUE(driver.open());
    belcor_sim_set_hotplug_callback(nullptr, nullptr);
}

TEST_F(UsbFrontendTest, ResetForgetsTheCallbackAndExtraDevices)
{
    HotplugCounter counter;
    belcor_sim_set_hotplug_callback(&HotplugCounter::count, &counter);
    belcor_sim_add_device(BELCOR_SIM_LOOKALIKE);
    belcor_sim_reset();
    belcor_sim_set_plugged(0);
    EXPECT_EQ(counter.events, 1);
    EXPECT_EQ(devicesOnBus(), 0);
}

TEST_F(UsbFrontendTest, DataTransfersStayOutOfTheTranscriptWhenSwitchedOff)
{
    const belcor_sim_chip chip{0, 0xEF4017, 4096, 256};
    belcor_sim_seat_chip(&chip);
    ASSERT_TRUE(driver.open());
    belcor_sim_set_transcript_enabled(0);
    driver.exchange(driver.setAddress(0));
    driver.read(256);
    EXPECT_EQ(belcor_sim_transcript_size(), 3u) << "open, command and reply";
}

} // namespace
