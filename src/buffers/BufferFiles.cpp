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

using Reader = FileLoad (*)(const std::string& path, LoadTarget target, int language);
using Streamer = FileLoad (*)(const std::string& path, uint32_t capacity, const ByteSink& take);
using Writer = FileSave (*)(const std::string& path, const uint8_t* source, uint32_t length);

// The file's first character chooses its reader: ':' Intel HEX, 'S'
// S-record, anything else raw binary, so a raw image under a record file's
// name still loads. `unopened` is what a file that cannot be opened gives.
FileLoad readByFirstCharacter(const std::string& path, LoadTarget target, int language, const FileLoad& unopened)
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
        return ReadIntelHex(path, target, language);
    if (first == 'S')
        return ReadSRecord(path, target, language);
    return ReadRawBinary(path, target);
}

FileLoad readEep(const std::string& path, LoadTarget target, int language)
{
    return readByFirstCharacter(path, target, language, FileLoad::failure("Can't open File"));
}

// Files named as S-records, which Belcor writes, may still hold a raw image.
FileLoad readSRecordName(const std::string& path, LoadTarget target, int language)
{
    return readByFirstCharacter(path, target, language, FileLoad::cannotOpen(path));
}

struct FileForm {
    std::string_view extension;
    Reader read;
    Writer write;
    // Raw images arrive in address order and can be streamed; records may
    // come in any order (none).
    Streamer stream;
};

// Raw images carry no text to complain about, so their messages need no language.
constexpr Reader RawReader = [](const std::string& path, LoadTarget target, int) {
    return ReadRawBinary(path, target);
};
constexpr Reader CapsuleReader = [](const std::string& path, LoadTarget target, int) {
    return ReadCapsule(path, target);
};

// Every other extension is raw binary both ways.
constexpr FileForm FileForms[] = {
    {".hex", ReadIntelHex, WriteIntelHex, nullptr},
    {".eep", readEep, WriteRawBinary, nullptr},
    {".src", readSRecordName, WriteSRecord, nullptr},
    {".s19", readSRecordName, WriteSRecord, nullptr},
    {".srec", readSRecordName, WriteSRecord, nullptr},
    {".s28", readSRecordName, WriteSRecord, nullptr},
    {".s37", readSRecordName, WriteSRecord, nullptr},
    {".mot", readSRecordName, WriteSRecord, nullptr},
    {".cap", CapsuleReader, WriteRawBinary, StreamCapsule},
};
constexpr FileForm RawForm = {"", RawReader, WriteRawBinary, StreamRawBinary};

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

FileLoad LoadBufferFile(const std::string& path, LoadTarget target, int language)
{
    return formFor(path).read(path, target, language);
}

FileLoad StreamBufferFile(const std::string& path, uint32_t capacity, const ByteSink& take, int language)
{
    const FileForm& form = formFor(path);
    if (form.stream)
        return form.stream(path, capacity, take);
    ErasedBlock block(capacity);
    const FileLoad load = form.read(path, LoadTarget(block), language);
    if (load.ok())
        take(block.reach(size_t(load.count)), size_t(load.count));
    return load;
}

std::vector<std::string> LoadMessages(const FileLoad& load, const std::string& path, int language)
{
    std::vector<std::string> messages = load.errors;
    if (load.readFailed) {
        messages.push_back(MessageCatalogue::format(Msg::FileReadError, language, {path}));
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
