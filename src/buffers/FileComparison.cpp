#include "buffers/FileComparison.h"

#include <algorithm>
#include <span>

#include "buffers/BufferFiles.h"
#include "core/MessageCatalogue.h"

LoadedImage LoadImageFile(const std::string& path, uint32_t capacity)
{
    LoadedImage image{ErasedBlock(capacity), 0, {}};
    const FileLoad load = LoadBufferFile(path, LoadTarget(image.block), English);
    image.errors = LoadMessages(load, path, English);
    image.extent = static_cast<size_t>(std::max(load.count, 0));
    return image;
}

FileComparison CompareWithFile(const uint8_t* image, size_t capacity, size_t length, const std::string& path)
{
    FileComparison result;
    const LoadedImage file = LoadImageFile(path, static_cast<uint32_t>(capacity));
    result.errors = file.errors;
    result.extent = file.extent;
    if (!file.ok())
        return result;
    result.compared = std::min(capacity, std::max(length, file.extent));
    result.comparison =
        CompareBlocks(std::span(image, result.compared), std::span(file.block.reach(result.compared), result.compared));
    return result;
}
