#include "production/ProcessIdentity.h"

#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>

namespace {

std::string bootId()
{
    std::string id;
    std::ifstream("/proc/sys/kernel/random/boot_id") >> id;
    return id;
}

// The start time in clock ticks since boot: field 22 of /proc/PID/stat, read
// after the command name, which may itself hold spaces and parentheses.
std::string startTime(const std::string& pid)
{
    std::ifstream file("/proc/" + pid + "/stat");
    std::string line;
    std::getline(file, line);
    const size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos)
        return {};
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
        if (number == 22)
            return field;
    }
    return {};
}

std::string identityOf(const std::string& pid)
{
    return bootId() + "/" + pid + "/" + startTime(pid);
}

}  // namespace

namespace ProcessIdentity {

std::string current()
{
    // Kept per process id: a child made by fork() is a process of its own.
    static std::mutex mutex;
    static pid_t known = 0;
    static std::string identity;
    const std::lock_guard lock(mutex);
    if (::getpid() != known) {
        known = ::getpid();
        identity = identityOf(std::to_string(known));
    }
    return identity;
}

bool alive(const std::string& identity)
{
    const size_t first = identity.find('/');
    const size_t second = identity.find('/', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos)
        return false;
    const std::string pid = identity.substr(first + 1, second - first - 1);
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return identityOf(pid) == identity;
}

}  // namespace ProcessIdentity
