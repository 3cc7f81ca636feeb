#include "cli/FileTools.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>

#include <nlohmann/json.hpp>

#include "buffers/BufferFiles.h"
#include "buffers/Checksums.h"
#include "buffers/FileComparison.h"
#include "cli/ExitStatus.h"
#include "core/MessageCatalogue.h"

using namespace ExitStatus;
using Command = CommandLine::Command;

int FileTools::run()
{
    switch (line_.command) {
    case Command::Convert:
        return convert();
    case Command::Checksum:
        return checksum();
    default:
        return compare();
    }
}

int FileTools::convert()
{
    const std::string& input = line_.files[0];
    const std::string& output = line_.files[1];
    const uint32_t capacity = line_.capacity.value_or(BufferSet::FlashCapacity);
    // Erased only as far as the file reaches: faulting in 64 MiB for a smaller
    // image would cost more than the conversion itself.
    std::optional<ErasedBlock> block;
    try {
        block.emplace(capacity);
    } catch (const std::bad_alloc&) {
        host_.printError("not enough memory for a block of " + std::to_string(capacity) + " bytes");
        return Failure;
    }
    const FileLoad load = LoadBufferFile(input, LoadTarget(*block), English);
    for (const std::string& message : LoadMessages(load, input, English))
        host_.printError(message);
    if (!load.ok())
        return FileError;
    const auto extent = static_cast<uint32_t>(load.count);
    // Output files are overwritten, as --help says.
    host_.setQuestionAnswer(true);
    if (!SaveBufferFile(output, block->reach(extent), extent, host_, English))
        return FileError;
    host_.setFigure("extent", extent);
    host_.printLine("Extent: " + std::to_string(extent) + " bytes (" + HexNumberText(extent) + ")");
    return Success;
}

int FileTools::checksum()
{
    const std::string& path = line_.files.front();
    // One pass as the file is read: the image's bytes from the range's start
    // up to its end, when given, go to the hash; the end is known only once
    // the file's extent is.
    const size_t start = line_.rangeStart.value_or(0);
    const size_t limit = line_.rangeEnd ? size_t(*line_.rangeEnd) + 1 : SIZE_MAX;
    ImageHash hash;
    size_t address = 0;
    const FileLoad load = StreamBufferFile(path, BufferSet::FlashCapacity, [&](const uint8_t* bytes, size_t count) {
        const size_t from = std::clamp(start, address, address + count);
        const size_t to = std::clamp(limit, address, address + count);
        if (from < to)
            hash.add(bytes + (from - address), to - from);
        address += count;
    }, English);
    for (const std::string& error : LoadMessages(load, path, English))
        host_.printError(error);
    if (!load.ok())
        return FileError;
    const size_t extent = size_t(load.count);
    size_t end = extent;
    if (line_.rangeGiven()) {
        end = size_t(line_.rangeEnd.value_or(uint32_t(extent ? extent - 1 : 0))) + 1;
        if (start >= end) {
            host_.printError("the range's start lies after its end");
            return Failure;
        }
        if (end > BufferSet::FlashCapacity) {
            host_.printError("the range ends past the 64 MiB a file may fill");
            return Failure;
        }
        host_.setFigure("range", {{"start", start}, {"end", end - 1}});
        host_.printLine("Range: " + HexNumberText(uint32_t(start)) + " to " + HexNumberText(uint32_t(end - 1)) + " (" +
                        std::to_string(end - start) + " bytes)");
    } else {
        host_.printLine("Extent: " + std::to_string(end) + " bytes (" + HexNumberText(uint32_t(end)) + ")");
    }
    // Past the file's extent the image is erased.
    const size_t erasedFrom = std::max(start, extent);
    hash.addErased(end > erasedFrom ? end - erasedFrom : 0);
    const ImageHashes sums = hash.finish();
    host_.setFigure("extent", extent);
    host_.setFigure("bytes", end - start);
    host_.setFigure("crc32", sums.crc32Text());
    host_.setFigure("sha256", sums.sha256Text());
    host_.printLine("CRC-32: " + sums.crc32Text());
    host_.printLine("SHA-256: " + sums.sha256Text());
    return Success;
}

int FileTools::compare()
{
    const LoadedImage first = LoadImageFile(line_.files[0], BufferSet::FlashCapacity);
    for (const std::string& error : first.errors)
        host_.printError(line_.files[0] + ": " + error);
    if (!first.ok())
        return FileError;
    const FileComparison result =
        CompareWithFile(first.block.reach(first.block.capacity()), first.block.capacity(), first.extent, line_.files[1]);
    for (const std::string& error : result.errors)
        host_.printError(line_.files[1] + ": " + error);
    if (!result.ok())
        return FileError;
    host_.setFigure("ranges", nlohmann::json::array());
    for (const DifferingRange& range : result.comparison.ranges) {
        host_.appendFigure("ranges", {{"start", range.start}, {"length", range.length}});
        host_.printLine(HexNumberText(uint32_t(range.start)) + " to " + HexNumberText(uint32_t(range.start + range.length - 1)) +
                        ": " + std::to_string(range.length) + (range.length == 1 ? " byte" : " bytes"));
    }
    host_.setFigure("equal", result.comparison.equal());
    host_.setFigure("compared", result.compared);
    host_.setFigure("differing_ranges", result.comparison.rangeCount);
    host_.setFigure("differing_bytes", result.comparison.differingBytes);
    if (result.comparison.equal()) {
        host_.printLine("Equal over " + std::to_string(result.compared) + " bytes");
        return Success;
    }
    host_.printLine(std::to_string(result.comparison.rangeCount) + " differing ranges, " +
                    std::to_string(result.comparison.differingBytes) + " differing bytes");
    return Failure;
}
