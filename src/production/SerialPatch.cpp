#include "production/SerialPatch.h"

#include <algorithm>

SerialPatch::SerialPatch(uint8_t* image, uint32_t address, const std::vector<uint8_t>& bytes)
    : at_(image + address), original_(at_, at_ + bytes.size())
{
    std::copy(bytes.begin(), bytes.end(), at_);
}

SerialPatch::~SerialPatch()
{
    std::copy(original_.begin(), original_.end(), at_);
}
