// The firmware upgrade through both system libraries: EnterUpgrade over
// libusb-0.1, the programmer leaves the bus, its boot loader appears as a
// hidraw device that hidapi finds through udev, takes the image as output
// reports and answers by input reports; then the programmer comes back.
#include "e2e/EndToEndTest.h"

#include <cstring>

namespace {

using Upgrade = EndToEndTest;

constexpr uint32_t kImageOffset = 0x3000;

// A firmware file whose image names the version it installs.
std::vector<uint8_t> FirmwareFile(size_t size, const char* version)
{
    std::vector<uint8_t> file = Pattern(size, 7);
    std::memcpy(file.data() + kImageOffset + 0x200, "BELCORFW", 8);
    std::memcpy(file.data() + kImageOffset + 0x208, version, 5);
    return file;
}

TEST_F(Upgrade, ImageReachesTheBootLoaderOverHidrawAndTheProgrammerReturns)
{
    const std::vector<uint8_t> file = FirmwareFile(0x5000, "V4.00");
    writeFile("new.fwpk", file);
    bool sawBootloader = false;

    const ProgramResult result = runProgram(BELCOR_E2E_CLI, {"upgrade", path("new.fwpk")}, [&] {
        for (const std::string& node : bus->nodes())
            sawBootloader |= node.starts_with("/dev/hidraw");
        return true;
    });

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(sawBootloader);
    // The boot loader got the length of the whole file: the image from
    // 0x3000 on, then 0xFF where the file has ended.
    const std::vector<uint8_t> image = bus->withModel([](Simulator& sim) { return sim.bootloader().lastImage(); });
    std::vector<uint8_t> expected(file.begin() + kImageOffset, file.end());
    expected.resize(file.size(), 0xFF);
    EXPECT_EQ(image, expected);
    // hidapi opened the node (and checked it is hidraw); three commands
    // were answered; every data report was a write of its own.
    EXPECT_EQ(requestCount("HIDIOCGRDESCSIZE"), 1);
    EXPECT_EQ(requestCount("hidraw read"), 3);
    EXPECT_EQ(requestCount("hidraw write"), 3 + int((file.size() + 61) / 62) + 1);

    bus->pump();
    const std::vector<std::string> nodes = bus->nodes();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_TRUE(nodes.front().starts_with("/dev/bus/usb/001/"));
    const ProgramResult info = runCli({"info"});
    EXPECT_NE(info.out.find("Firmware version: V4.00"), std::string::npos) << info.out << info.err;
}

}  // namespace
