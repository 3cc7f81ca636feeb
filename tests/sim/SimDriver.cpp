#include "sim/SimDriver.h"

SimDriver::~SimDriver()
{
    close();
}

bool SimDriver::open(int index)
{
    usb_init();
    usb_find_busses();
    usb_find_devices();
    int seen = 0;
    for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            if (device->descriptor.idVendor != BELCOR_SIM_VENDOR_ID || seen++ != index)
                continue;
            handle_ = usb_open(device);
            if (!handle_ || usb_claim_interface(handle_, 0) != 0)
                return false;
            const usb_interface_descriptor& altsetting = device->config[0].interface[0].altsetting[0];
            for (int i = 0; i < altsetting.bNumEndpoints; ++i) {
                const uint8_t address = altsetting.endpoint[i].bEndpointAddress;
                if (address & USB_ENDPOINT_IN)
                    replyEndpoint_ = address;
            }
            // The layout follows the reply endpoint, as the host's rule does.
            bigEndian_ = replyEndpoint_ == 0x82;
            commandEndpoint_ = bigEndian_ ? 0x02 : 0x01;
            dataEndpoint_ = bigEndian_ ? 0x01 : 0x02;
            return true;
        }
    }
    return false;
}

void SimDriver::close()
{
    if (!handle_)
        return;
    usb_release_interface(handle_, 0);
    usb_close(handle_);
    handle_ = nullptr;
}

std::u16string SimDriver::stringDescriptor(int index)
{
    uint8_t answer[256] = {};
    const int count = usb_control_msg(handle_, 0x80, 6, 0x0300 | index, 0x0409, reinterpret_cast<char*>(answer),
                                      sizeof answer, 1000);
    if (count < 2 || answer[1] != 3)
        return {};
    std::u16string text;
    for (int i = 2; i + 1 < std::min<int>(count, answer[0]); i += 2)
        text.push_back(char16_t(answer[i] | answer[i + 1] << 8));
    return text;
}

int SimDriver::command(const Block& block)
{
    return usb_bulk_write(handle_, commandEndpoint_, reinterpret_cast<const char*>(block.data()), 64, 5000);
}

int SimDriver::reply(Block& block)
{
    return usb_bulk_read(handle_, replyEndpoint_, reinterpret_cast<char*>(block.data()), 64, 5000);
}

SimDriver::Block SimDriver::exchange(const Block& block)
{
    Block answer = block;
    command(block);
    reply(answer);
    return answer;
}

int SimDriver::write(const std::vector<uint8_t>& data)
{
    return usb_bulk_write(handle_, dataEndpoint_, reinterpret_cast<const char*>(data.data()), int(data.size()), 5000);
}

std::vector<uint8_t> SimDriver::read(uint32_t length, int* result)
{
    std::vector<uint8_t> data(length, 0x5A);
    const int count = usb_bulk_read(handle_, replyEndpoint_, reinterpret_cast<char*>(data.data()), int(length), 5000);
    if (result)
        *result = count;
    return data;
}

SimDriver::Block SimDriver::block(uint8_t opcode, uint8_t control) const
{
    Block block{};
    block[0] = control;
    block[1] = opcode;
    return block;
}

void SimDriver::put16(Block& block, int offset, uint16_t value) const
{
    block[offset + (bigEndian_ ? 0 : 1)] = uint8_t(value >> 8);
    block[offset + (bigEndian_ ? 1 : 0)] = uint8_t(value);
}

void SimDriver::put32(Block& block, int offset, uint32_t value) const
{
    for (int i = 0; i < 4; ++i)
        block[offset + (bigEndian_ ? i : 3 - i)] = uint8_t(value >> (24 - 8 * i));
}

SimDriver::Block SimDriver::beginSession(uint8_t chipClass, uint16_t page, uint32_t size) const
{
    Block result = block(7);
    result[2] = chipClass;
    put16(result, 4, page);
    put32(result, 8, size);
    return result;
}

SimDriver::Block SimDriver::setAddress(uint32_t address) const
{
    Block result = block(5);
    put32(result, 8, address);
    return result;
}

SimDriver::Block SimDriver::erase(uint16_t parameter) const
{
    Block result = block(2, 1);
    put16(result, 26, parameter);
    return result;
}

SimDriver::Block SimDriver::chipCommand(uint8_t instruction) const
{
    Block result = block(11);
    result[2] = 3;
    result[3] = 1;
    result[4] = instruction;
    return result;
}

std::string protocolErrors()
{
    std::string text;
    for (size_t i = 0; i < belcor_sim_protocol_error_count(); ++i)
        text += std::string(belcor_sim_protocol_error(i)) + "\n";
    return text;
}
