#include "chips/ChipDatabaseFile.h"

#include <cassert>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/MessageCatalogue.h"
#include "core/ReplaceFile.h"
#include "core/RunningExecutable.h"

namespace {

class LittleEndianWriter {
public:
    explicit LittleEndianWriter(uint8_t* bytes) : bytes_(bytes) {}
    void put(uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            *bytes_++ = static_cast<uint8_t>(value >> (8 * i));
    }
    void putBytes(const void* data, size_t size)
    {
        std::memcpy(bytes_, data, size);
        bytes_ += size;
    }

private:
    uint8_t* bytes_;
};

class LittleEndianReader {
public:
    explicit LittleEndianReader(const uint8_t* bytes) : bytes_(bytes) {}
    uint32_t get(int size)
    {
        uint32_t value = 0;
        for (int i = 0; i < size; ++i)
            value |= static_cast<uint32_t>(*bytes_++) << (8 * i);
        return value;
    }
    void getBytes(void* data, size_t size)
    {
        std::memcpy(data, bytes_, size);
        bytes_ += size;
    }

private:
    const uint8_t* bytes_;
};

}  // namespace

namespace ChipDatabaseFile {

std::string pathFor(const std::string& executablePath)
{
    return RunningExecutable::withExtension(executablePath, ".Dat");
}

void encodeRecord(const ChipRecord& record, uint8_t* bytes)
{
    LittleEndianWriter out(bytes);
    out.putBytes(record.title, sizeof record.title);
    out.put(record.chipId, 4);
    out.put(record.flashSize, 4);
    out.put(record.flashPage, 2);
    out.put(record.chipClass, 1);
    out.put(record.algorithm, 1);
    out.put(record.delay, 2);
    out.put(record.xmlLink, 2);
    out.put(record.eepromSize, 2);
    out.put(record.eepromPage, 1);
    out.put(record.voltage, 1);
}

ChipRecord decodeRecord(const uint8_t* bytes)
{
    LittleEndianReader in(bytes);
    ChipRecord record{};
    in.getBytes(record.title, sizeof record.title);
    record.chipId = in.get(4);
    record.flashSize = in.get(4);
    record.flashPage = static_cast<uint16_t>(in.get(2));
    record.chipClass = static_cast<uint8_t>(in.get(1));
    record.algorithm = static_cast<uint8_t>(in.get(1));
    record.delay = static_cast<uint16_t>(in.get(2));
    record.xmlLink = static_cast<uint16_t>(in.get(2));
    record.eepromSize = static_cast<uint16_t>(in.get(2));
    record.eepromPage = static_cast<uint8_t>(in.get(1));
    record.voltage = static_cast<uint8_t>(in.get(1));
    return record;
}

ReadResult read(ChipCatalogue& catalogue, const std::string& path, const std::string& damagedMessage, int language)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return {ReadResult::Missing, {}};
    const ReadResult unreadable{ReadResult::Refused, MessageCatalogue::format(Msg::DatabaseCannotOpen, language, {path})};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return unreadable;
    // Read one byte past the limit so that an over-long file is seen without
    // reading all of it.
    std::vector<uint8_t> bytes(MaximumFileBytes + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad())
        return unreadable;
    return readBytes(catalogue, bytes.data(), static_cast<size_t>(file.gcount()), path, damagedMessage, language);
}

ReadResult readBytes(ChipCatalogue& catalogue, const uint8_t* bytes, size_t length, const std::string& path,
                     const std::string& damagedMessage, int language)
{
    if (length > MaximumFileBytes)
        return {ReadResult::Refused, MessageCatalogue::format(Msg::DatabaseTooLong, language, {path})};
    if (length % RecordBytes != 0)
        return {ReadResult::Refused, damagedMessage};
    for (size_t slot = 0; slot < length / RecordBytes; ++slot)
        catalogue.ChipDatabase[slot] = decodeRecord(bytes + slot * RecordBytes);
    return {ReadResult::Loaded, {}};
}

std::string write(const ChipCatalogue& catalogue, int32_t recordCount, const std::string& path)
{
    assert(recordCount >= 0 && recordCount < ChipCatalogue::SlotCount);
    std::vector<uint8_t> bytes(RecordBytes * static_cast<size_t>(recordCount + 1));
    for (int32_t slot = 0; slot < recordCount; ++slot)
        encodeRecord(catalogue.ChipDatabase[static_cast<size_t>(slot)], bytes.data() + slot * RecordBytes);
    if (!ReplaceFile(path, bytes.data(), bytes.size()))
        return "Cannot create file " + path;
    return {};
}

}  // namespace ChipDatabaseFile
