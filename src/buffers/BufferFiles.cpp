#include "buffers/BufferFiles.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <sys/stat.h>

#include "core/MessageCatalogue.h"
#include "buffers/InputFile.h"
#include "buffers/IntelHex.h"
#include "buffers/RawBinary.h"
#include "buffers/SRecord.h"
#include "core/OperationHost.h"

namespace {

using Reader = FileLoad (*)(const std::string& path, uint8_t* destination, uint32_t capacity, int language);
using Writer = FileSave (*)(const std::string& path, const uint8_t* source, uint32_t length);

// The file's first character chooses its reader: ':' Intel HEX, 'S'
// S-record, anything else raw binary, so a raw image under a record file's
// name still loads. `unopened` is what a file that cannot be opened gives.
FileLoad readByFirstCharacter(const std::string& path, uint8_t* destination, uint32_t capacity, int language,
                              const FileLoad& unopened)
{
    char first = 0;
    {
        InputFile file(path);
        if (!file.isOpen())
            return unopened;
        if (file.read(&first, 1) != 1)
            first = 0;
    }
    if (first == ':')
        return ReadIntelHex(path, destination, capacity, language);
    if (first == 'S')
        return ReadSRecord(path, destination, capacity, language);
    return ReadRawBinary(path, destination, capacity);
}

FileLoad readEep(const std::string& path, uint8_t* destination, uint32_t capacity, int language)
{
    return readByFirstCharacter(path, destination, capacity, language, FileLoad::failure("Can't open File"));
}

// Files named as S-records, which Belcor writes, may still hold a raw image.
FileLoad readSRecordName(const std::string& path, uint8_t* destination, uint32_t capacity, int language)
{
    return readByFirstCharacter(path, destination, capacity, language, FileLoad::cannotOpen(path));
}

struct FileForm {
    std::string_view extension;
    Reader read;
    Writer write;
    // A raw image fills no more than its file's size; records may land
    // anywhere in the capacity.
    bool fillsAtMostItsSize;
};

// Raw images carry no text to complain about, so their messages need no language.
constexpr Reader RawReader = [](const std::string& path, uint8_t* destination, uint32_t capacity, int) {
    return ReadRawBinary(path, destination, capacity);
};
constexpr Reader CapsuleReader = [](const std::string& path, uint8_t* destination, uint32_t capacity, int) {
    return ReadCapsule(path, destination, capacity);
};

// Every other extension is raw binary both ways.
constexpr FileForm FileForms[] = {
    {".hex", ReadIntelHex, WriteIntelHex, false},
    {".eep", readEep, WriteRawBinary, false},
    {".src", readSRecordName, WriteSRecord, false},
    {".s19", readSRecordName, WriteSRecord, false},
    {".srec", readSRecordName, WriteSRecord, false},
    {".s28", readSRecordName, WriteSRecord, false},
    {".s37", readSRecordName, WriteSRecord, false},
    {".mot", readSRecordName, WriteSRecord, false},
    {".cap", CapsuleReader, WriteRawBinary, true},
};
constexpr FileForm RawForm = {"", RawReader, WriteRawBinary, true};

const FileForm& formFor(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return RawForm;
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const FileForm& form : FileForms) {
        if (form.extension == extension)
            return form;
    }
    return RawForm;
}

bool exists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

}  // namespace

FileLoad LoadBufferFile(const std::string& path, uint8_t* destination, uint32_t capacity, int language)
{
    return formFor(path).read(path, destination, capacity, language);
}

uint32_t LoadBlockSize(const std::string& path, uint32_t capacity)
{
    if (!formFor(path).fillsAtMostItsSize)
        return capacity;
    const InputFile file(path);
    // A file that cannot be read, or is too big, is refused before any byte lands.
    if (!file.isOpen() || file.size() > capacity)
        return capacity;
    return static_cast<uint32_t>(file.size());
}

std::vector<std::string> LoadMessages(const FileLoad& load, const std::string& path, int language)
{
    std::vector<std::string> messages = load.errors;
    if (load.readFailed) {
        std::string text = MessageCatalogue::text(Msg::FileReadError, language);
        text.replace(text.find("%1"), 2, path);
        messages.push_back(std::move(text));
    }
    return messages;
}

bool SaveBufferFile(const std::string& path, const uint8_t* source, uint32_t length, OperationHost& host,
                    int language)
{
    if (exists(path) && !host.question(MessageCatalogue::text(Msg::FileExists, language)))
        return false;
    switch (formFor(path).write(path, source, length)) {
    case FileSave::Written:
        return true;
    case FileSave::CannotCreate:
        host.errorBox("Cannot create file " + path);
        return false;
    case FileSave::WriteFailed:
        host.errorBox(MessageCatalogue::text(Msg::FileWriteError, language));
        return false;
    }
    return false;
}
