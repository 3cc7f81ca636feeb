#include "sim/SimDriver.h"

#include <hidapi/hidapi.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Report = std::array<uint8_t, 64>;

class BootloaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        belcor_sim_reset();
        belcor_sim_set_hotplug_callback(&BootloaderTest::count, this);
    }
    void TearDown() override
    {
        belcor_sim_set_hotplug_callback(nullptr, nullptr);
        if (device)
            hid_close(device);
    }
    static void count(void* context) { ++static_cast<BootloaderTest*>(context)->hotplugEvents; }

    void enterUpgrade()
    {
        SimDriver driver;
        ASSERT_TRUE(driver.open());
        driver.exchange(driver.block(13));
    }

    static Report report(uint8_t command)
    {
        Report r{};
        r[0] = 1;
        r[1] = command;
        return r;
    }

    Report send(const Report& r, bool withReply)
    {
        EXPECT_EQ(hid_write(device, r.data(), r.size()), 64);
        Report answer{};
        if (withReply) {
            EXPECT_EQ(hid_read_timeout(device, answer.data(), answer.size(), 1000), 64);
        }
        return answer;
    }

    // The host's upgrade sequence for `image`.
    void upgrade(const std::vector<uint8_t>& image)
    {
        send(report(0x01), true);
        const Report geometry = send(report(0x05), true);
        uint32_t start = 0;
        std::memcpy(&start, geometry.data() + 1, 4);
        const uint16_t page = uint16_t(geometry[5] | geometry[6] << 8);
        Report announce = report(0x02);
        const uint32_t length = uint32_t(image.size());
        std::memcpy(announce.data() + 2, &start, 4);
        announce[6] = uint8_t((length + page - 1) / page);
        std::memcpy(announce.data() + 7, &length, 4);
        send(announce, true);
        for (size_t offset = 0; offset < image.size(); offset += 62) {
            Report data = report(0x03);
            std::memset(data.data() + 2, 0xFF, 62);
            std::memcpy(data.data() + 2, image.data() + offset, std::min<size_t>(62, image.size() - offset));
            send(data, false);
        }
        send(report(0x04), false);
    }

    hid_device* device = nullptr;
    int hotplugEvents = 0;
};

TEST_F(BootloaderTest, AppearsThreeHundredMillisecondsAfterEnterUpgrade)
{
    EXPECT_EQ(hid_enumerate(0x28E9, 0x028B), nullptr);
    enterUpgrade();
    EXPECT_EQ(hotplugEvents, 1) << "the programmer left";
    EXPECT_EQ(belcor_sim_in_bootloader(), 0);
    SimDriver driver;
    EXPECT_FALSE(driver.open());
    belcor_sim_advance_ms(300);
    EXPECT_EQ(hotplugEvents, 2);
    ASSERT_EQ(belcor_sim_in_bootloader(), 1);

    hid_device_info* found = hid_enumerate(0, 0);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->vendor_id, 0x28E9);
    EXPECT_EQ(found->product_id, 0x028B);
    EXPECT_STREQ(found->manufacturer_string, L"GigaDevice");
    EXPECT_STREQ(found->product_string, L"GD32 USB IAP in FS Mode");
    device = hid_open_path(found->path);
    hid_free_enumeration(found);
    EXPECT_NE(device, nullptr);
}

TEST_F(BootloaderTest, TakesTheImageAndReturnsWithItsFirmwareVersion)
{
    belcor_sim_set_bootloader(0x08004000, 512);
    enterUpgrade();
    belcor_sim_advance_ms(300);
    device = hid_open(0x28E9, 0x028B, nullptr);
    ASSERT_NE(device, nullptr);

    std::vector<uint8_t> image(0x1000 + 7, 0x42);
    std::memcpy(image.data() + 0x200, "BELCORFWV4.01", 13);
    send(report(0x01), true);
    const Report geometry = send(report(0x05), true);
    EXPECT_EQ(geometry[1], 0x00);
    EXPECT_EQ(geometry[2], 0x40);
    EXPECT_EQ(geometry[4], 0x08);
    EXPECT_EQ(geometry[5] | geometry[6] << 8, 512);
    Report none{};
    EXPECT_EQ(hid_read_timeout(device, none.data(), none.size(), 100), 0) << "no report is pending";

    upgrade(image);
    EXPECT_EQ(belcor_sim_in_bootloader(), 0);
    std::vector<uint8_t> received(image.size() + 100);
    ASSERT_EQ(belcor_sim_last_image(received.data(), uint32_t(received.size())), image.size());
    received.resize(image.size());
    EXPECT_EQ(received, image);
    EXPECT_EQ(hid_write(device, report(0x01).data(), 64), -1) << "the boot loader has gone";

    SimDriver driver;
    ASSERT_TRUE(driver.open());
    const SimDriver::Block info = driver.exchange(driver.block(12));
    EXPECT_EQ(std::string(info.begin() + 46, info.begin() + 51), "V4.01");
    EXPECT_EQ(belcor_sim_protocol_error_count(), 0u) << protocolErrors();
}

TEST_F(BootloaderTest, AnImageWithoutTheMarkKeepsTheFirmwareVersion)
{
    enterUpgrade();
    belcor_sim_advance_ms(300);
    device = hid_open(0x28E9, 0x028B, nullptr);
    ASSERT_NE(device, nullptr);
    upgrade(std::vector<uint8_t>(0x300, 0x00));
    SimDriver driver;
    ASSERT_TRUE(driver.open());
    const SimDriver::Block info = driver.exchange(driver.block(12));
    EXPECT_EQ(std::string(info.begin() + 46, info.begin() + 51), "V3.10");
}

TEST_F(BootloaderTest, UnplugDuringTheUpgradeBringsBackTheFirmware)
{
    enterUpgrade();
    belcor_sim_advance_ms(300);
    ASSERT_EQ(belcor_sim_in_bootloader(), 1);
    belcor_sim_set_plugged(0);
    EXPECT_EQ(belcor_sim_in_bootloader(), 0);
    belcor_sim_set_plugged(1);
    SimDriver driver;
    EXPECT_TRUE(driver.open());
}

} // namespace
