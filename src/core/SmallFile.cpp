#include "core/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

SmallFile::Status SmallFile::read(const std::string& path, size_t limit, std::string& text)
{
    text.clear();
    // Non-blocking, so that opening a FIFO with no writer returns at once;
    // the type is checked on the descriptor, so a swap after a check cannot
    // slip another kind of file in.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? Status::Missing : Status::Unreadable;
    struct stat info {};
    Status status = Status::Read;
    if (::fstat(fd, &info) != 0)
        status = Status::Unreadable;
    else if (!S_ISREG(info.st_mode))
        status = Status::NotRegular;
    else if (static_cast<unsigned long long>(info.st_size) > limit)
        status = Status::TooLarge;
    if (status == Status::Read) {
        text.resize(limit + 1);
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                status = Status::Unreadable;
                break;
            }
            if (got == 0)
                break;
            done += static_cast<size_t>(got);
        }
        // A file that grew after fstat is held to the same limit.
        if (status == Status::Read && done > limit)
            status = Status::TooLarge;
        text.resize(status == Status::Read ? done : 0);
    }
    ::close(fd);
    return status;
}

bool SmallFile::isRegular(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
