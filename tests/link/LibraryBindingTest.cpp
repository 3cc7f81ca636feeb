#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "link/Libusb0.h"
#include "link/TUsbBulk.h"

namespace {

// Without its library the binding must behave like a machine without a
// programmer: nothing crashes, nothing opens, every entry gives its failure value.
class MissingLibrary : public testing::Test {
protected:
    void SetUp() override { Libusb0::setLibraryPath("/nonexistent/libusb-0.1.so.4"); }
    void TearDown() override { Libusb0::setLibraryPath(Libusb0::defaultLibraryPath()); }
};

TEST_F(MissingLibrary, EntriesGiveTheirFailureValues)
{
    EXPECT_FALSE(Libusb0::load());
    EXPECT_EQ(Libusb0::call<&LibraryTable::usb_close>(nullptr), Libusb0::MissingEntryResult);
    EXPECT_EQ(Libusb0::call<&LibraryTable::usb_find_busses>(), Libusb0::MissingEntryResult);
    EXPECT_EQ(Libusb0::call<&LibraryTable::usb_get_busses>(), nullptr);
    EXPECT_EQ(Libusb0::call<&LibraryTable::usb_open>(nullptr), nullptr);
    EXPECT_EQ(Libusb0::call<&LibraryTable::usb_strerror>(), nullptr);
    Libusb0::call<&LibraryTable::usb_init>();
}

TEST_F(MissingLibrary, ClosedLinkMovesNothing)
{
    TUsbBulk link;
    std::vector<uint32_t> sleeps;
    link.setSleep([&](uint32_t milliseconds) { sleeps.push_back(milliseconds); });
    std::array<uint8_t, 64> block{};
    block[1] = 9;
    const auto sent = block;

    EXPECT_EQ(link.USB_bulk_cmd(block.data(), 64, 0), TUsbBulk::LinkClosedResult);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(link.USB_bulk_cmd(block.data(), 64, 1), TUsbBulk::LinkClosedResult);
    EXPECT_EQ(sleeps, std::vector<uint32_t>{TUsbBulk::ReplyPauseMs});
    EXPECT_EQ(block, sent);
    EXPECT_EQ(link.USB_bulk_write(block.data(), 64), TUsbBulk::LinkClosedResult);
    EXPECT_EQ(link.USB_bulk_read(block.data(), 64), TUsbBulk::LinkClosedResult);
    const uint8_t valueAndIndex[4] = {};
    EXPECT_EQ(link.USB_transmit(1, 0x10, valueAndIndex, block.data(), 8), -1);
    link.USB_bulk_close();
}

}  // namespace
