#pragma once

#include "belcor_sim.h"

#include <usb.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Drives a simulated device through the libusb-0.1 entry points the way a
// host program does, with the endpoint layout of the device it opened.
class SimDriver {
public:
    using Block = std::array<uint8_t, 64>;

    ~SimDriver();

    // Opens and claims the index-th device on the bus with the programmer's ids.
    bool open(int index = 0);
    void close();
    usb_dev_handle* handle() const { return handle_; }

    // Reads string descriptor `index` as raw UTF-16 units; empty on failure.
    std::u16string stringDescriptor(int index);

    int command(const Block& block);
    int reply(Block& block);
    // A command and its reply, as the host's exchange does.
    Block exchange(const Block& block);
    int write(const std::vector<uint8_t>& data);
    std::vector<uint8_t> read(uint32_t length, int* result = nullptr);

    // Blocks with their multi-byte fields in the device's byte order.
    Block block(uint8_t opcode, uint8_t control = 0) const;
    void put16(Block& block, int offset, uint16_t value) const;
    void put32(Block& block, int offset, uint32_t value) const;
    Block beginSession(uint8_t chipClass, uint16_t page, uint32_t size) const;
    Block setAddress(uint32_t address) const;
    Block erase(uint16_t parameter) const;
    Block chipCommand(uint8_t instruction) const;

private:
    usb_dev_handle* handle_ = nullptr;
    bool bigEndian_ = true;
    int replyEndpoint_ = 0x82;
    int commandEndpoint_ = 0x02;
    int dataEndpoint_ = 0x01;
};

// Protocol errors the simulator recorded, joined for a test's failure message.
std::string protocolErrors();
