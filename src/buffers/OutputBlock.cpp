#include "buffers/OutputBlock.h"

#include <cstring>

bool RecordIsBlank(const uint8_t* bytes, size_t count)
{
    static constexpr uint8_t Blank[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return count <= sizeof Blank && std::memcmp(bytes, Blank, count) == 0;
}

OutputBlock::OutputBlock(AtomicFile& file) : file_(file), block_(BlockSize) {}

void OutputBlock::append(const char* text, size_t count)
{
    char* out = reserve(count);
    std::memcpy(out, text, count);
    advance(out + count);
}

void OutputBlock::flush()
{
    if (used_ > 0 && !file_.write(block_.data(), used_))
        failed_ = true;
    used_ = 0;
}

bool OutputBlock::finish()
{
    flush();
    return !failed_;
}
