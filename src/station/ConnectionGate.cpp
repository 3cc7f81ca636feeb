#include "station/ConnectionGate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

std::string peerAddress(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
    else
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    return text;
}

bool headComplete(const std::string& taken)
{
    return taken.find("\r\n\r\n") != std::string::npos || taken.find("\n\n") != std::string::npos;
}

}  // namespace

ConnectionGate::ConnectionGate(Limits limits, bool readsHeads, Ready ready, Refusal refusal, Closing closing)
    : limits_(limits), readsHeads_(readsHeads), ready_(std::move(ready)), refusal_(std::move(refusal)),
      closing_(std::move(closing)), wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    thread_ = std::thread([this] { run(); });
}

ConnectionGate::~ConnectionGate()
{
    stop();
    ::close(wakeFd_);
}

void ConnectionGate::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void ConnectionGate::admit(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const std::string address = peerAddress(fd);
    const auto now = Clock::now();
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        if (openPer_[address] >= limits_.perAddress) {
            // The address's longest waiting connection makes room; when all
            // of its connections are being served, the new one is refused.
            const auto oldest = std::find_if(waiting_.begin(), waiting_.end(),
                                             [&](const Waiting& waiting) { return waiting.address == address; });
            if (oldest == waiting_.end()) {
                ::close(fd);
                return;
            }
            const int evicted = oldest->fd;
            waiting_.erase(oldest);
            closeLocked(evicted);
        }
        addressOf_[fd] = address;
        ++openPer_[address];
        waiting_.push_back(Waiting{fd, address, now, now + limits_.headTimeout, {}});
    }
    wake();
}

void ConnectionGate::wait(int fd)
{
    const auto now = Clock::now();
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            closeLocked(fd);
            return;
        }
        waiting_.push_back(Waiting{fd, addressOf_[fd], now, now + limits_.idleTimeout, {}});
    }
    wake();
}

void ConnectionGate::close(int fd)
{
    const std::lock_guard lock(mutex_);
    closeLocked(fd);
}

void ConnectionGate::closeLocked(int fd)
{
    if (const auto found = addressOf_.find(fd); found != addressOf_.end()) {
        if (--openPer_[found->second] == 0)
            openPer_.erase(found->second);
        addressOf_.erase(found);
    }
    closing_(fd);
    ::close(fd);
}

void ConnectionGate::stop()
{
    {
        const std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        stopping_ = true;
    }
    wake();
    if (thread_.joinable())
        thread_.join();
    const std::lock_guard lock(mutex_);
    for (const Waiting& waiting : waiting_)
        closeLocked(waiting.fd);
    waiting_.clear();
}

// With the lock held: a best-effort answer, never waited for, then the close.
void ConnectionGate::drop(const Waiting& waiting, int status)
{
    if (status != 0) {
        const std::string answer = refusal_(status);
        [[maybe_unused]] const ssize_t sent = send(waiting.fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    closeLocked(waiting.fd);
}

void ConnectionGate::run()
{
    std::vector<pollfd> polled;
    std::vector<std::pair<int, std::string>> readyNow;
    for (;;) {
        int timeoutMs = 1000;
        {
            const std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            polled.assign(1, pollfd{wakeFd_, POLLIN, 0});
            const auto now = Clock::now();
            for (const Waiting& waiting : waiting_) {
                polled.push_back(pollfd{waiting.fd, POLLIN, 0});
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(waiting.deadline - now).count();
                timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, timeoutMs));
            }
        }
        if (poll(polled.data(), polled.size(), timeoutMs) < 0 && errno != EINTR)
            return;
        if (polled[0].revents) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
        }
        readyNow.clear();
        {
            const std::lock_guard lock(mutex_);
            const auto now = Clock::now();
            for (size_t i = 1; i < polled.size(); ++i) {
                const auto found = std::find_if(waiting_.begin(), waiting_.end(),
                                                [&](const Waiting& waiting) { return waiting.fd == polled[i].fd; });
                if (found == waiting_.end() || !polled[i].revents)
                    continue;
                Waiting& waiting = *found;
                if (!readsHeads_) {
                    readyNow.emplace_back(waiting.fd, std::string());
                    waiting_.erase(found);
                    continue;
                }
                char chunk[4096];
                const ssize_t got = recv(waiting.fd, chunk, sizeof chunk, MSG_DONTWAIT);
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                    closeLocked(waiting.fd);
                    waiting_.erase(found);
                    continue;
                }
                if (got < 0)
                    continue;
                // The head's time runs from its first byte.
                if (waiting.taken.empty())
                    waiting.deadline = now + limits_.headTimeout;
                waiting.taken.append(chunk, static_cast<size_t>(got));
                if (waiting.taken.size() > limits_.headMaximum) {
                    drop(waiting, 431);
                    waiting_.erase(found);
                } else if (headComplete(waiting.taken)) {
                    readyNow.emplace_back(waiting.fd, std::move(waiting.taken));
                    waiting_.erase(found);
                }
            }
            for (auto waiting = waiting_.begin(); waiting != waiting_.end();) {
                if (waiting->deadline > now) {
                    ++waiting;
                    continue;
                }
                // Silence after an answer is a client's right; a head begun and not finished is not.
                drop(*waiting, waiting->taken.empty() ? 0 : 408);
                waiting = waiting_.erase(waiting);
            }
        }
        for (auto& [fd, taken] : readyNow)
            ready_(fd, std::move(taken));
    }
}
