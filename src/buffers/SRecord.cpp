#include "buffers/SRecord.h"

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

class SRecordReader {
public:
    SRecordReader(LoadTarget& target, int language)
        : target_(target), capacity_(target.capacity()), language_(language)
    {
    }

    FileLoad read(LineSource& lines);

private:
    bool field(size_t position, int digits, uint32_t& value) const
    {
        return position + digits <= line_.size() && ParseHexField(line_.data() + position, digits, value);
    }
    FileLoad storeData(uint32_t addressBytes);

    LoadTarget& target_;
    uint64_t capacity_;
    int language_;
    std::string_view line_;
    uint64_t extent_ = 0;  // one past the highest byte a data record filled
};

FileLoad SRecordReader::read(LineSource& lines)
{
    using namespace recordmessage;
    for (;;) {
        if (!lines.ReadLine(line_))
            return FileLoad::failure(lines.tooLong() ? lines.tooLongMessage(language_) : ReadFailed);
        if (line_.empty() || line_[0] != 'S')
            return FileLoad::failure(IllegalLine);
        const char type = line_.size() > 1 ? line_[1] : '\0';
        switch (type) {
        case '1':
        case '2':
        case '3': {
            FileLoad step = storeData(static_cast<uint32_t>(type - '0') + 1);
            if (!step.ok())
                return step;
            break;
        }
        case '7':
        case '8':
        case '9': {
            FileLoad done;
            done.count = static_cast<int32_t>(extent_);
            return done;
        }
        default:
            break;  // header, count and unknown records carry nothing to load
        }
    }
}

FileLoad SRecordReader::storeData(uint32_t addressBytes)
{
    using namespace recordmessage;
    uint32_t count = 0, address = 0;
    if (!field(2, 2, count) || !field(4, 2 * addressBytes, address))
        return FileLoad::failure(IllegalChar);
    // A count too small to hold the address describes no data; taken as it
    // stands it would make the data length negative.
    if (count < addressBytes + 1)
        return FileLoad::failure(IllegalLine);
    const uint32_t n = count - addressBytes - 1;
    uint32_t sum = count + (address >> 24) + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
    extent_ = std::max(extent_, uint64_t{address} + n);
    if (extent_ > capacity_)
        return FileLoad::failure(TooBig);

    const size_t dataStart = 4 + 2 * addressBytes;
    const size_t available = line_.size() > dataStart ? (line_.size() - dataStart) / 2 : 0;
    const size_t parsable = std::min<size_t>(n, available);
    const char* text = line_.data() + dataStart;
    uint8_t* out = target_.reach(extent_) + address;
    for (size_t i = 0; i < parsable; ++i, text += 2) {
        uint32_t byte;
        if (!hexfield::parseByte(text, byte))
            return FileLoad::failure(IllegalChar);
        out[i] = static_cast<uint8_t>(byte);
        sum += byte;
    }
    uint32_t checksum = 0;
    if (parsable < n || !field(2 + 2 * count, 2, checksum))
        return FileLoad::failure(IllegalChar);
    if (((sum + checksum) & 0xFF) != 0xFF)
        return FileLoad::failure("Checksum Error");
    return {};
}

struct AddressWidth {
    char dataType;
    uint32_t addressBytes;
    std::string_view terminator;
};

AddressWidth widthFor(uint32_t length)
{
    if (length <= 0xFFFF)
        return {'1', 2, "S9030000FC\r\n"};
    if (length <= 0xFFFFFF)
        return {'2', 3, "S804000000FB\r\n"};
    return {'3', 4, "S70500000000FA\r\n"};
}

}  // namespace

FileLoad ReadSRecord(const std::string& path, LoadTarget target, int language)
{
    InputFile file(path);
    if (!file.isOpen())
        return FileLoad::cannotOpen(path);
    LineSource lines(file);
    return SRecordReader(target, language).read(lines);
}

FileLoad ReadSRecordText(std::string_view text, LoadTarget target, int language)
{
    LineSource lines(text);
    return SRecordReader(target, language).read(lines);
}

FileSave WriteSRecord(const std::string& path, const uint8_t* source, uint32_t length)
{
    constexpr uint32_t RecordSize = 16;
    AtomicFile file(path);
    if (!file.open())
        return FileSave::CannotCreate;
    OutputBlock out(file);
    const AddressWidth width = widthFor(length);
    out.append("S00600004844521B\r\n", 18);
    for (uint64_t offset = 0; offset < length; offset += RecordSize) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(RecordSize, length - offset));
        const uint8_t* bytes = source + offset;
        if (RecordIsBlank(bytes, n))
            continue;
        const auto address = static_cast<uint32_t>(offset);
        const uint32_t count = width.addressBytes + n + 1;
        uint32_t sum = count + (address >> 24) + (address >> 16) + (address >> 8) + address;
        char* p = out.reserve(4 + 8 + 2 * RecordSize + 4);
        *p++ = 'S';
        *p++ = width.dataType;
        p = hexfield::formatByte(p, static_cast<uint8_t>(count));
        p = FormatHexField(p, address, 2 * static_cast<int>(width.addressBytes));
        for (uint32_t i = 0; i < n; ++i) {
            p = hexfield::formatByte(p, bytes[i]);
            sum += bytes[i];
        }
        p = hexfield::formatByte(p, static_cast<uint8_t>(~sum));
        *p++ = '\r';
        *p++ = '\n';
        out.advance(p);
    }
    out.append(width.terminator.data(), width.terminator.size());
    if (!out.finish() || !file.commit())
        return FileSave::WriteFailed;
    return FileSave::Written;
}
