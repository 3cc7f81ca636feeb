#pragma once

#include <chrono>
#include <string>

#include <httplib.h>

struct ssl_st;

// One client connection as the HTTP server reads and writes it, plain or over
// TLS. Reads give up at a deadline for the whole request, not only after a
// pause between two bytes, so that a client sending a byte now and then
// cannot hold the connection; writes give up after a pause.
class ConnectionStream : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    // `prefix`: bytes of the request already taken from the socket.
    ConnectionStream(int fd, ssl_st* ssl, std::string prefix, std::chrono::milliseconds writeTimeout);

    // Reads after `deadline` fail.
    void setReadDeadline(Clock::time_point deadline) { readDeadline_ = deadline; }
    // Bytes already read from the socket that no request has taken yet.
    bool hasBuffered() const;

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* data, size_t size) override;
    ssize_t write(const char* data, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    int socket() const override { return fd_; }

    // Waits until `fd` can be read (or written) or `deadline` passes; false then.
    static bool waitFor(int fd, bool forWriting, Clock::time_point deadline);

private:
    ssize_t receive(char* data, size_t size);

    int fd_;
    ssl_st* ssl_;
    std::string buffer_;
    size_t taken_ = 0;
    Clock::time_point readDeadline_ = Clock::time_point::max();
    std::chrono::milliseconds writeTimeout_;
};
