#include "station/ConnectionStream.h"

#include <arpa/inet.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace {

// Enough for a request head in a few reads, small enough per connection.
constexpr size_t ReadChunk = 4096;

void addressOf(const sockaddr_storage& address, std::string& ip, int& port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    }
    ip = text;
}

}  // namespace

ConnectionStream::ConnectionStream(int fd, ssl_st* ssl, std::string prefix, std::chrono::milliseconds writeTimeout)
    : fd_(fd), ssl_(ssl), buffer_(std::move(prefix)), writeTimeout_(writeTimeout)
{
}

bool ConnectionStream::waitFor(int fd, bool forWriting, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd entry{fd, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool ConnectionStream::hasBuffered() const
{
    return taken_ < buffer_.size() || (ssl_ && SSL_pending(ssl_) > 0);
}

bool ConnectionStream::is_readable() const
{
    return hasBuffered() || waitFor(fd_, false, std::min(readDeadline_, Clock::now() + std::chrono::seconds(5)));
}

bool ConnectionStream::is_writable() const
{
    return waitFor(fd_, true, Clock::now() + writeTimeout_);
}

ssize_t ConnectionStream::receive(char* data, size_t size)
{
    for (;;) {
        if (ssl_) {
            const int got = SSL_read(ssl_, data, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
            if (got > 0)
                return got;
            const int problem = SSL_get_error(ssl_, got);
            if (problem == SSL_ERROR_ZERO_RETURN)
                return 0;
            if (problem != SSL_ERROR_WANT_READ && problem != SSL_ERROR_WANT_WRITE)
                return -1;
            if (!waitFor(fd_, problem == SSL_ERROR_WANT_WRITE, readDeadline_))
                return -1;
            continue;
        }
        const ssize_t got = recv(fd_, data, size, MSG_DONTWAIT);
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        if (!waitFor(fd_, false, readDeadline_))
            return -1;
    }
}

ssize_t ConnectionStream::read(char* data, size_t size)
{
    if (taken_ == buffer_.size()) {
        buffer_.resize(ReadChunk);
        taken_ = 0;
        const ssize_t got = receive(buffer_.data(), buffer_.size());
        buffer_.resize(got > 0 ? static_cast<size_t>(got) : 0);
        if (got <= 0)
            return got;
    }
    const size_t count = std::min(size, buffer_.size() - taken_);
    std::copy_n(buffer_.data() + taken_, count, data);
    taken_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t ConnectionStream::write(const char* data, size_t size)
{
    size_t sent = 0;
    while (sent < size) {
        const auto deadline = Clock::now() + writeTimeout_;
        if (ssl_) {
            const int wrote = SSL_write(ssl_, data + sent, static_cast<int>(std::min<size_t>(size - sent, INT32_MAX)));
            if (wrote > 0) {
                sent += static_cast<size_t>(wrote);
                continue;
            }
            const int problem = SSL_get_error(ssl_, wrote);
            if ((problem != SSL_ERROR_WANT_READ && problem != SSL_ERROR_WANT_WRITE) ||
                !waitFor(fd_, problem == SSL_ERROR_WANT_WRITE, deadline))
                return -1;
            continue;
        }
        const ssize_t wrote = send(fd_, data + sent, size - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (wrote >= 0) {
            sent += static_cast<size_t>(wrote);
            continue;
        }
        if (errno == EINTR)
            continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !waitFor(fd_, true, deadline))
            return -1;
    }
    return static_cast<ssize_t>(size);
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        addressOf(address, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        addressOf(address, ip, port);
}
