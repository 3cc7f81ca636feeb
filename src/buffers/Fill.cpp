#include "buffers/Fill.h"

#include <cstring>

#include "buffers/BufferSet.h"
#include "buffers/HexText.h"
#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"

namespace {

// The C library generator the random fill has always used, so that a seed
// gives the same bytes everywhere: seeding draws and discards one value.
class RandomSequence {
public:
    explicit RandomSequence(uint32_t seed) : state_(seed) { next(); }

    uint32_t next()
    {
        state_ = state_ * 22695477u + 1u;
        return (state_ >> 16) & 0x7FFF;
    }

private:
    uint32_t state_;
};

}  // namespace

bool FillFlashBuffer(BufferSet& buffers, OperationHost& host, const FillRequest& request, int language)
{
    const std::string* texts[] = {&request.byteText, &request.wordText, &request.startText, &request.endText};
    int32_t values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const HexConversion conversion = ConvertHexText(*texts[i]);
        if (!conversion.ok()) {
            host.errorBox(conversion.error);
            return false;
        }
        values[i] = conversion.value;
    }
    const int32_t start = values[2];
    const int32_t end = values[3];
    if (end < start) {
        host.errorBox(MessageCatalogue::format(Msg::FillEndBelowStart, language,
                                               {HexFieldText(static_cast<uint32_t>(end)),
                                                HexFieldText(static_cast<uint32_t>(start))}));
        return false;
    }
    if (start < 0 || static_cast<uint32_t>(end) >= BufferSet::FlashCapacity) {
        host.errorBox(MessageCatalogue::format(Msg::FillRangeOutsideBuffer, language,
                                               {HexFieldText(static_cast<uint32_t>(start)),
                                                HexFieldText(static_cast<uint32_t>(end)),
                                                HexFieldText(BufferSet::FlashCapacity - 1)}));
        return false;
    }

    uint8_t* flash = buffers.flash();
    const auto count = static_cast<uint32_t>(end - start) + 1;
    switch (request.mode) {
    case FillMode::Byte:
        std::memset(flash + start, static_cast<uint8_t>(values[0]), count);
        break;
    case FillMode::Word: {
        // The words lie at even addresses, low byte first, and the fill covers
        // exactly the range: an odd start begins with a word's high byte, an
        // odd end finishes with a low byte. Nothing outside the range changes.
        const uint8_t halves[2] = {static_cast<uint8_t>(values[1]), static_cast<uint8_t>(values[1] >> 8)};
        for (uint32_t i = 0; i < count; ++i)
            flash[start + i] = halves[(start + i) & 1];
        break;
    }
    case FillMode::Random: {
        RandomSequence random(request.randomSeed);
        for (uint32_t i = 0; i < count; ++i)
            flash[start + i] = static_cast<uint8_t>(random.next());
        break;
    }
    }
    buffers.dataLength = end + 1;
    host.flashBufferChanged(static_cast<uint32_t>(end) + 1);
    return true;
}
