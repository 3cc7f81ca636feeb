#include "buffers/IntelHex.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/AtomicFile.h"
#include "buffers/HexField.h"
#include "buffers/InputFile.h"
#include "buffers/LineSource.h"
#include "buffers/LoadTarget.h"
#include "buffers/OutputBlock.h"
#include "buffers/RecordMessages.h"

namespace {

class IntelHexReader {
public:
    IntelHexReader(LoadTarget& target, int language)
        : target_(target), capacity_(target.capacity()), language_(language)
    {
    }

    FileLoad read(LineSource& lines);

private:
    // Reads a field at a fixed position of the line; a field that runs past
    // the line's end counts as an illegal character.
    bool field(size_t position, int digits, uint32_t& value) const
    {
        return position + digits <= line_.size() && ParseHexField(line_.data() + position, digits, value);
    }
    FileLoad storeData(uint32_t count, uint32_t address, uint32_t sum);
    FileLoad setBase(uint32_t count, uint32_t sum, uint32_t type);

    LoadTarget& target_;
    uint64_t capacity_;
    int language_;
    std::string_view line_;
    uint64_t segmentBase_ = 0;  // type 02 value × 16
    uint64_t linearBase_ = 0;   // type 04 value × 65536
    uint64_t extent_ = 0;       // one past the highest byte a data record filled
};

FileLoad IntelHexReader::read(LineSource& lines)
{
    using namespace recordmessage;
    for (;;) {
        if (!lines.ReadLine(line_)) {
            if (lines.tooLong())
                return FileLoad::failure(lines.tooLongMessage(language_));
            FileLoad load = FileLoad::failure(ReadFailed);
            load.errors.push_back(ErrorReading);
            return load;
        }
        if (line_.empty() || line_[0] != ':')
            return FileLoad::failure(IllegalLine);
        uint32_t count = 0, address = 0, type = 0;
        if (!field(1, 2, count) || !field(3, 4, address) || !field(7, 2, type))
            return FileLoad::failure(IllegalChar);
        const uint32_t sum = count + (address >> 8) + (address & 0xFF) + type;
        FileLoad step;
        switch (type) {
        case 0x00:
            step = storeData(count, address, sum);
            break;
        case 0x01: {
            uint32_t checksum = 0;
            if (!field(9, 2, checksum))
                return FileLoad::failure(IllegalChar);
            if (count != 0 || address != 0 || checksum != 0xFF)
                return FileLoad::failure("Invalid EOF Record");
            FileLoad done;
            done.count = static_cast<int32_t>(extent_);
            return done;
        }
        case 0x02:
        case 0x04:
            step = setBase(count, sum, type);
            break;
        case 0x03:
        case 0x05:
            break;
        default:
            return FileLoad::failure("Invalid Record type");
        }
        if (!step.ok())
            return step;
    }
}

FileLoad IntelHexReader::storeData(uint32_t count, uint32_t address, uint32_t sum)
{
    const uint64_t offset = address + segmentBase_ + linearBase_;
    extent_ = std::max(extent_, offset + count);
    if (extent_ > capacity_)
        return FileLoad::failure(recordmessage::TooBig);

    // Bytes are stored as they are parsed, so a bad character or checksum
    // leaves the bytes before it stored, as for any failing record.
    const size_t available = line_.size() > 9 ? (line_.size() - 9) / 2 : 0;
    const size_t parsable = std::min<size_t>(count, available);
    const char* text = line_.data() + 9;
    uint8_t* out = target_.reach(extent_) + offset;
    for (size_t i = 0; i < parsable; ++i, text += 2) {
        uint32_t byte;
        if (!hexfield::parseByte(text, byte))
            return FileLoad::failure(recordmessage::IllegalChar);
        out[i] = static_cast<uint8_t>(byte);
        sum += byte;
    }
    uint32_t checksum = 0;
    if (parsable < count || !field(9 + 2 * count, 2, checksum))
        return FileLoad::failure(recordmessage::IllegalChar);
    if (((sum + checksum) & 0xFF) != 0)
        return FileLoad::failure("Checksum Error type 0");
    return {};
}

FileLoad IntelHexReader::setBase(uint32_t count, uint32_t sum, uint32_t type)
{
    const std::string typeText = std::to_string(type);
    if (count != 2)
        return FileLoad::failure("Invalid Record Length for type " + typeText);
    uint32_t value = 0, checksum = 0;
    if (!field(9, 4, value) || !field(13, 2, checksum))
        return FileLoad::failure(recordmessage::IllegalChar);
    if (((sum + (value >> 8) + (value & 0xFF) + checksum) & 0xFF) != 0)
        return FileLoad::failure("Checksum Error type " + typeText);
    if (type == 0x02)
        segmentBase_ = uint64_t{value} * 16;
    else
        linearBase_ = uint64_t{value} * 65536;
    return {};
}

}  // namespace

FileLoad ReadIntelHex(const std::string& path, LoadTarget target, int language)
{
    InputFile file(path);
    if (!file.isOpen())
        return FileLoad::cannotOpen(path);
    LineSource lines(file);
    return IntelHexReader(target, language).read(lines);
}

FileLoad ReadIntelHexText(std::string_view text, LoadTarget target, int language)
{
    LineSource lines(text);
    return IntelHexReader(target, language).read(lines);
}

FileSave WriteIntelHex(const std::string& path, const uint8_t* source, uint32_t length)
{
    constexpr uint32_t RecordSize = 32;
    AtomicFile file(path);
    if (!file.open())
        return FileSave::CannotCreate;
    OutputBlock out(file);
    uint64_t base = 0;
    for (uint64_t offset = 0; offset < length; offset += RecordSize) {
        if (offset - base > 0xFFFF) {
            base = offset & ~uint64_t{0xFFFF};
            const auto upper = static_cast<uint32_t>(base >> 16);
            char* line = out.reserve(17);
            char* p = line;
            std::memcpy(p, ":02000004", 9);
            p = FormatHexField(p + 9, upper, 4);
            p = hexfield::formatByte(p, static_cast<uint8_t>(-(2 + 4 + (upper >> 8) + upper)));
            *p++ = '\r';
            *p++ = '\n';
            out.advance(p);
        }
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(RecordSize, length - offset));
        const uint8_t* bytes = source + offset;
        if (RecordIsBlank(bytes, n))
            continue;
        const auto address = static_cast<uint32_t>(offset - base);
        uint32_t sum = n + (address >> 8) + address;
        char* p = out.reserve(13 + 2 * RecordSize);
        *p++ = ':';
        p = hexfield::formatByte(p, static_cast<uint8_t>(n));
        p = FormatHexField(p, address, 4);
        *p++ = '0';
        *p++ = '0';
        for (uint32_t i = 0; i < n; ++i) {
            p = hexfield::formatByte(p, bytes[i]);
            sum += bytes[i];
        }
        p = hexfield::formatByte(p, static_cast<uint8_t>(-sum));
        *p++ = '\r';
        *p++ = '\n';
        out.advance(p);
    }
    out.append(":00000001FF\r\n", 13);
    if (!out.finish() || !file.commit())
        return FileSave::WriteFailed;
    return FileSave::Written;
}
