#include "buffers/RawBinary.h"

#include "core/AtomicFile.h"
#include "buffers/InputFile.h"

namespace {

constexpr uint32_t CapsuleHeaderSize = 2048;

FileLoad readImage(const std::string& path, uint8_t* destination, uint32_t capacity, uint32_t skipped)
{
    InputFile file(path);
    if (!file.isOpen())
        return FileLoad::cannotOpen(path);
    if (file.size() > capacity)
        return FileLoad::failure("File is too big for Buffer");
    if (file.size() <= skipped)
        return {};
    if (!file.seek(skipped))
        return FileLoad::cannotOpen(path);
    const int64_t got = file.read(destination, file.size() - skipped);
    if (got < 0)
        return FileLoad::readError();
    FileLoad load;
    load.count = static_cast<int32_t>(got);
    return load;
}

}  // namespace

FileLoad ReadRawBinary(const std::string& path, uint8_t* destination, uint32_t capacity)
{
    return readImage(path, destination, capacity, 0);
}

FileLoad ReadCapsule(const std::string& path, uint8_t* destination, uint32_t capacity)
{
    return readImage(path, destination, capacity, CapsuleHeaderSize);
}

FileSave WriteRawBinary(const std::string& path, const uint8_t* source, uint32_t length)
{
    AtomicFile file(path);
    if (!file.open())
        return FileSave::CannotCreate;
    if (!file.write(source, length) || !file.commit())
        return FileSave::WriteFailed;
    return FileSave::Written;
}
