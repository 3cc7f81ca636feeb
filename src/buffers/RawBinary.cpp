#include "buffers/RawBinary.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/AtomicFile.h"
#include "buffers/InputFile.h"

namespace {

constexpr uint32_t CapsuleHeaderSize = 2048;
// Small enough that what a consumer does with a piece finds it in the cache.
constexpr size_t StreamPiece = size_t(1) << 18;

// Opens the image and checks that it fits; a result when the load ends here.
std::optional<FileLoad> openImage(InputFile& file, const std::string& path, uint32_t capacity, uint32_t skipped)
{
    if (!file.isOpen())
        return FileLoad::cannotOpen(path);
    if (file.size() > capacity)
        return FileLoad::failure("File is too big for Buffer");
    if (file.size() <= skipped)
        return FileLoad{};
    if (!file.seek(skipped))
        return FileLoad::cannotOpen(path);
    return std::nullopt;
}

FileLoad readImage(const std::string& path, LoadTarget& target, uint32_t skipped)
{
    InputFile file(path);
    if (std::optional<FileLoad> early = openImage(file, path, target.capacity(), skipped))
        return *early;
    const uint64_t size = file.size() - skipped;
    const int64_t got = file.read(target.reach(size), size);
    if (got < 0)
        return FileLoad::readError();
    FileLoad load;
    load.count = static_cast<int32_t>(got);
    return load;
}

FileLoad streamImage(const std::string& path, uint32_t capacity, uint32_t skipped, const ByteSink& take)
{
    InputFile file(path);
    if (std::optional<FileLoad> early = openImage(file, path, capacity, skipped))
        return *early;
    std::vector<uint8_t> piece(StreamPiece);
    FileLoad load;
    for (uint64_t left = file.size() - skipped; left > 0;) {
        const int64_t got = file.read(piece.data(), std::min<uint64_t>(left, piece.size()));
        if (got < 0)
            return FileLoad::readError();
        if (got == 0)
            break;
        take(piece.data(), static_cast<size_t>(got));
        load.count += static_cast<int32_t>(got);
        left -= static_cast<uint64_t>(got);
    }
    return load;
}

}  // namespace

FileLoad ReadRawBinary(const std::string& path, LoadTarget target)
{
    return readImage(path, target, 0);
}

FileLoad ReadCapsule(const std::string& path, LoadTarget target)
{
    return readImage(path, target, CapsuleHeaderSize);
}

FileLoad StreamRawBinary(const std::string& path, uint32_t capacity, const ByteSink& take)
{
    return streamImage(path, capacity, 0, take);
}

FileLoad StreamCapsule(const std::string& path, uint32_t capacity, const ByteSink& take)
{
    return streamImage(path, capacity, CapsuleHeaderSize, take);
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
