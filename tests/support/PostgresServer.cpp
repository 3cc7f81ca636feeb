#include "support/PostgresServer.h"

#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Debian keeps the server's programs under /usr/lib/postgresql/VERSION/bin.
fs::path binaryFolder()
{
    fs::path newest;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ignored)) {
        if (fs::exists(entry.path() / "bin" / "initdb") && entry.path() > newest)
            newest = entry.path();
    }
    return newest.empty() ? fs::path() : newest / "bin";
}

int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

// The server refuses to run as root.
const char* serverUser()
{
    if (geteuid() != 0)
        return nullptr;
    return getpwnam("postgres") ? "postgres" : "nobody";
}

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

PostgresServer::~PostgresServer()
{
    releaseTable();
    if (frozen_)
        thaw();
    if (running_)
        stop();
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

bool PostgresServer::available()
{
    const fs::path bin = binaryFolder();
    return !bin.empty() && fs::exists(bin / "pg_ctl") && fs::exists(bin / "psql");
}

std::string PostgresServer::missingMessage()
{
    return "PostgreSQL server programs not found under /usr/lib/postgresql/*/bin (Debian package postgresql); "
           "the log server tests are skipped";
}

bool PostgresServer::run(const std::string& command, bool asServerUser)
{
    std::string line = command;
    if (const char* user = serverUser(); asServerUser && user)
        line = "runuser -u " + std::string(user) + " -- " + command;
    line += " >>" + quoted((folder_ / "commands.log").string()) + " 2>&1";
    if (std::system(line.c_str()) == 0)
        return true;
    error_ = "failed: " + command + " (see " + (folder_ / "commands.log").string() + ")";
    return false;
}

bool PostgresServer::start()
{
    const fs::path bin = binaryFolder();
    if (folder_.empty()) {
        folder_ = fs::temp_directory_path() / ("belcor-pg-" + std::to_string(getpid()) + "-" +
                                               std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFFFF));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        port_ = freePort();
        if (const char* user = serverUser()) {
            const passwd* owner = getpwnam(user);
            if (chown(folder_.c_str(), owner->pw_uid, owner->pw_gid) != 0) {
                error_ = "cannot hand " + folder_.string() + " to " + user;
                return false;
            }
        }
        if (!run(quoted((bin / "initdb").string()) + " -D " + quoted((folder_ / "data").string()) +
                     " -U belcor --auth=trust -E UTF8 --no-sync",
                 true))
            return false;
    }
    const std::string options = "-p " + std::to_string(port_) + " -k " + folder_.string() +
                                " -c listen_addresses=127.0.0.1" + (durable_ ? "" : " -c fsync=off");
    running_ = run(quoted((bin / "pg_ctl").string()) + " -D " + quoted((folder_ / "data").string()) + " -o " +
                       quoted(options) + " -l " + quoted((folder_ / "server.log").string()) + " -w start",
                   true);
    return running_;
}

bool PostgresServer::stop()
{
    running_ = false;
    return run(quoted((binaryFolder() / "pg_ctl").string()) + " -D " + quoted((folder_ / "data").string()) +
                   " -m fast -w stop",
               true);
}

std::string PostgresServer::url(const std::string& user) const
{
    return "postgresql://" + user + "@127.0.0.1:" + std::to_string(port_) + "/postgres";
}

// The postmaster and every process it started: backends and helpers each lead
// a process group of their own, so one signal to a group would miss them.
bool PostgresServer::signalAll(int signal)
{
    std::ifstream pidFile(folder_ / "data" / "postmaster.pid");
    pid_t postmaster = 0;
    if (!(pidFile >> postmaster) || postmaster <= 0) {
        error_ = "no postmaster.pid in " + (folder_ / "data").string();
        return false;
    }
    std::vector<pid_t> targets{postmaster};
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (name) state ppid ...: the name may hold spaces, so read after its ')'.
        const size_t close = line.rfind(')');
        char state = 0;
        pid_t parent = 0;
        if (close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == postmaster)
            targets.push_back(static_cast<pid_t>(std::stoi(entry.path().filename().string())));
    }
    for (const pid_t target : targets) {
        if (kill(target, signal) != 0 && target == postmaster) {
            error_ = "cannot signal the postmaster";
            return false;
        }
    }
    return true;
}

bool PostgresServer::freeze()
{
    frozen_ = signalAll(SIGSTOP);
    return frozen_;
}

bool PostgresServer::thaw()
{
    frozen_ = false;
    return signalAll(SIGCONT);
}

bool PostgresServer::lockTable(const std::string& table)
{
    releaseTable();
    lockHolder_ = PQconnectdb(url().c_str());
    PGresult* result = PQexec(lockHolder_, ("BEGIN; LOCK TABLE " + table + " IN ACCESS EXCLUSIVE MODE").c_str());
    const bool locked = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    if (!locked)
        error_ = PQerrorMessage(lockHolder_);
    return locked;
}

void PostgresServer::releaseTable()
{
    PQfinish(lockHolder_);
    lockHolder_ = nullptr;
}

std::string PostgresServer::query(const std::string& sql) const
{
    const std::string command = quoted((binaryFolder() / "psql").string()) + " " + quoted(url()) + " -qAtc " +
                                quoted(sql) + " 2>&1";
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> piece{};
        size_t got = 0;
        while ((got = std::fread(piece.data(), 1, piece.size(), pipe)) > 0)
            out.append(piece.data(), got);
        pclose(pipe);
    }
    return out;
}
