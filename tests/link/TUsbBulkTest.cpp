#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "link/CommandBlock.h"
#include "link/DeviceSession.h"
#include "link/Libusb0.h"
#include "link/ProgrammerIdentity.h"
#include "link/TUsbBulk.h"
#include "support/SimulatorFixture.h"

namespace {

static_assert(ProgrammerIdentity::Manufacturer == BELCOR_SIM_MANUFACTURER);
static_assert(ProgrammerIdentity::Product == BELCOR_SIM_PRODUCT);
static_assert(ProgrammerIdentity::VendorId == BELCOR_SIM_VENDOR_ID);
static_assert(ProgrammerIdentity::ProductId == BELCOR_SIM_PRODUCT_ID);

class TUsbBulkTest : public SimulatorFixture {
protected:
    TUsbBulk& link() { return workbench.link; }

    int open(std::string_view product = ProgrammerIdentity::Product)
    {
        return link().prog_open(ProgrammerIdentity::VendorId, ProgrammerIdentity::Manufacturer,
                                ProgrammerIdentity::ProductId, product);
    }

    // Leaves only the device of `kind` on the bus; returns its index.
    static int onlyDevice(int kind)
    {
        const int index = belcor_sim_add_device(kind);
        belcor_sim_set_plugged(0);
        return index;
    }
};

TEST_F(TUsbBulkTest, OpenClosesALinkLeftOpen)
{
    ASSERT_EQ(openProgrammer(link()), 1);
    ASSERT_EQ(openProgrammer(link()), 1);
    EXPECT_TRUE(belcor_sim_device_was_claimed(0));
    link().USB_bulk_close();
    EXPECT_FALSE(link().isOpen());
    EXPECT_EQ(events(BELCOR_SIM_EVENT_OPEN).size(), 2u);
    EXPECT_EQ(events(BELCOR_SIM_EVENT_CLOSE).size(), 2u);
}

struct LayoutCase {
    std::string name;
    int extraDevice;  // 0: none
    std::string product;
    int reply, command, data;
    std::array<uint8_t, 4> addressBytes;  // SetAddress 0x12345678 on the wire
    friend void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.name; }
};

class EndpointLayout : public TUsbBulkTest, public testing::WithParamInterface<LayoutCase> {};

TEST_P(EndpointLayout, FollowsTheProductString)
{
    const LayoutCase& c = GetParam();
    if (c.extraDevice != 0)
        onlyDevice(c.extraDevice);
    ASSERT_EQ(open(c.product), 1);
    EXPECT_EQ(link().replyEndpoint(), c.reply);
    EXPECT_EQ(link().commandEndpoint(), c.command);
    EXPECT_EQ(link().dataEndpoint(), c.data);

    EXPECT_EQ(SetStartAddress(workbench, 0x12345678, 1), CommandBlock::Size);

    const auto sent = commands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].endpoint, c.command);
    EXPECT_EQ(0, std::memcmp(sent[0].block + 8, c.addressBytes.data(), 4));
    const auto replies = events(BELCOR_SIM_EVENT_REPLY);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].endpoint, c.reply);
}

INSTANTIATE_TEST_SUITE_P(
    Products, EndpointLayout,
    testing::Values(LayoutCase{"Programmer", 0, "ZudEZEZez", 0x82, 0x02, 0x01, {0x12, 0x34, 0x56, 0x78}},
                    LayoutCase{"WinUSB1", BELCOR_SIM_WINUSB1, "WinUSB1", 0x81, 0x01, 0x02, {0x78, 0x56, 0x34, 0x12}}),
    [](const auto& info) { return info.param.name; });

TEST_F(TUsbBulkTest, FirstOfTwoProgrammersWins)
{
    const int second = belcor_sim_add_device(BELCOR_SIM_SECOND_PROGRAMMER);
    ASSERT_EQ(openProgrammer(link()), 1);
    EXPECT_TRUE(belcor_sim_device_was_claimed(0));
    EXPECT_FALSE(belcor_sim_device_was_opened(second));
}

// A device with the programmer's ids but another manufacturer or a product
// string that only looks alike is opened, read and closed again.
class ForeignDevice : public TUsbBulkTest, public testing::WithParamInterface<int> {};

TEST_P(ForeignDevice, IsOpenedReadAndClosed)
{
    const int index = onlyDevice(GetParam());
    EXPECT_EQ(openProgrammer(link()), 0);
    EXPECT_FALSE(link().isOpen());
    EXPECT_TRUE(belcor_sim_device_was_opened(index));
    EXPECT_FALSE(belcor_sim_device_was_claimed(index));
    EXPECT_EQ(events(BELCOR_SIM_EVENT_OPEN).size(), events(BELCOR_SIM_EVENT_CLOSE).size());
}

INSTANTIATE_TEST_SUITE_P(Kinds, ForeignDevice, testing::Values(BELCOR_SIM_LOOKALIKE, BELCOR_SIM_CJK_PRODUCT),
                         [](const auto& info) {
                             return std::string(info.param == BELCOR_SIM_LOOKALIKE ? "Lookalike" : "CjkProduct");
                         });

// Reads the product string of the only device on the bus straight through the
// binding, with a text area of `capacity` characters.
std::string productOfOnlyDevice(TUsbBulk& link, int capacity, int& result)
{
    Libusb0::load();
    Libusb0::call<&LibraryTable::usb_find_busses>();
    Libusb0::call<&LibraryTable::usb_find_devices>();
    struct usb_device* device = Libusb0::call<&LibraryTable::usb_get_busses>()->devices;
    usb_dev_handle* handle = Libusb0::call<&LibraryTable::usb_open>(device);
    std::vector<char> text(size_t(capacity) + 8, 'X');
    result = link.usbGetStringAscii(handle, device->descriptor.iProduct, TUsbBulk::EnglishLanguageId, text.data(),
                                    capacity);
    Libusb0::call<&LibraryTable::usb_close>(handle);
    EXPECT_EQ(text[size_t(capacity)], 'X') << "wrote past the text area";
    return text.data();
}

TEST_F(TUsbBulkTest, StringCharactersAboveFFBecomeQuestionMarks)
{
    onlyDevice(BELCOR_SIM_CJK_PRODUCT);
    int result = 0;
    const std::string product = productOfOnlyDevice(link(), 256, result);
    EXPECT_EQ(result, int(product.size()));
    EXPECT_EQ(product.size(), std::string(BELCOR_SIM_PRODUCT).size());
    EXPECT_NE(product.find('?'), std::string::npos);
    EXPECT_NE(product, BELCOR_SIM_PRODUCT);
}

TEST_F(TUsbBulkTest, StringStopsAtTheTextAreaWithItsTerminator)
{
    int result = 0;
    EXPECT_EQ(productOfOnlyDevice(link(), 4, result), "Zud");
    EXPECT_EQ(result, 3);
}

TEST_F(TUsbBulkTest, MissingLibraryIsAnAbsentProgrammer)
{
    Libusb0::setLibraryPath(simulatorPath() + ".missing");
    EXPECT_EQ(openProgrammer(link()), 0);
    EXPECT_EQ(openProgrammer(link()), 0);
    EXPECT_EQ(transcript().size(), 0u);
}

struct MissingEntryCase {
    std::string entry;
    int openResult;
    friend void PrintTo(const MissingEntryCase& c, std::ostream* out) { *out << c.entry; }
};

class MissingEntry : public TUsbBulkTest, public testing::WithParamInterface<MissingEntryCase> {};

TEST_P(MissingEntry, OpenFailsOnlyWithoutAnEntryItNeeds)
{
    Libusb0::setEntryFilter([](std::string_view name) { return name != GetParam().entry; });
    EXPECT_EQ(openProgrammer(link()), GetParam().openResult);
    EXPECT_EQ(link().isOpen(), GetParam().openResult == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, MissingEntry,
    testing::Values(MissingEntryCase{"usb_get_busses", 0}, MissingEntryCase{"usb_open", 0},
                    MissingEntryCase{"usb_control_msg", 0}, MissingEntryCase{"usb_claim_interface", 0},
                    MissingEntryCase{"usb_strerror", 1}, MissingEntryCase{"usb_reset", 1}),
    [](const auto& info) { return info.param.entry; });

TEST_F(TUsbBulkTest, MissingTransferEntriesReturnTheirFailureValue)
{
    Libusb0::setEntryFilter([](std::string_view name) { return name != "usb_bulk_read" && name != "usb_bulk_write"; });
    ASSERT_EQ(openProgrammer(link()), 1);
    std::array<uint8_t, 64> data{};
    EXPECT_EQ(link().USB_bulk_write(data.data(), 64), Libusb0::MissingEntryResult);
    EXPECT_EQ(link().USB_bulk_read(data.data(), 64), Libusb0::MissingEntryResult);
    EXPECT_EQ(link().USB_bulk_cmd(data.data(), 64, 1), Libusb0::MissingEntryResult);
}

TEST_F(TUsbBulkTest, CommandWithoutReplyOnlyWrites)
{
    ASSERT_EQ(openProgrammer(link()), 1);
    CommandBlock block = CommandBlock::getHardwareInfo();
    EXPECT_EQ(sendCommand(link(), block, 0), CommandBlock::Size);
    EXPECT_TRUE(host.sleeps.empty());
    EXPECT_EQ(commands().size(), 1u);
    EXPECT_TRUE(events(BELCOR_SIM_EVENT_REPLY).empty());
    EXPECT_EQ(block.bytes(), CommandBlock::getHardwareInfo().bytes());
}

TEST_F(TUsbBulkTest, CommandWithReplyPausesAndReadsIntoTheBlock)
{
    belcor_sim_set_versions("V2.1", "1.2.3", "SN0042");
    ASSERT_EQ(openProgrammer(link()), 1);
    CommandBlock block = CommandBlock::getHardwareInfo();
    EXPECT_EQ(sendCommand(link(), block, 1), CommandBlock::Size);
    EXPECT_EQ(host.sleeps, std::vector<uint32_t>{TUsbBulk::ReplyPauseMs});
    EXPECT_EQ(block.hardwareVersion(), "V2.1");
    EXPECT_EQ(block.firmwareVersion(), "1.2.3");
    EXPECT_EQ(block.serialNumber(), "SN0042");
}

TEST_F(TUsbBulkTest, LostReplyLeavesTheBlockAsTheLibraryLeftIt)
{
    ASSERT_EQ(openProgrammer(link()), 1);
    belcor_sim_inject_fault(BELCOR_SIM_LOSE_REPLY, 0);
    CommandBlock block = CommandBlock::getHardwareInfo();
    EXPECT_LT(sendCommand(link(), block, 1), 0);
    EXPECT_EQ(host.sleeps, std::vector<uint32_t>{TUsbBulk::ReplyPauseMs});
    EXPECT_EQ(block.bytes(), CommandBlock::getHardwareInfo().bytes());
    EXPECT_TRUE(link().isOpen());
}

}  // namespace
