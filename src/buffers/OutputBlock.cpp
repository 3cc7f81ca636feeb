#include "buffers/OutputBlock.h"

#include <cstring>

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
