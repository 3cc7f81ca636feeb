#include "core/ReplaceFile.h"

#include "core/AtomicFile.h"

bool ReplaceFile(const std::string& path, const void* data, size_t size)
{
    AtomicFile file(path);
    return file.open() && file.write(data, size) && file.commit();
}
