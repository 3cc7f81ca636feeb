#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Where the station's connections wait, costing no server thread, until a
// whole request head has come (plain HTTP) or the first bytes have (TLS,
// whose head only the worker can decrypt). A connection that sends its head
// too slowly, or stays silent after an answer for too long, is closed; so
// are the oldest waiting connections of an address that opens more than its
// share, so that a few clients can never take every slot.
class ConnectionGate {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        std::chrono::milliseconds headTimeout;  // from a request's first byte (or the connect) to its whole head
        std::chrono::milliseconds idleTimeout;  // a kept-alive connection waiting for its next request
        size_t perAddress = 0;                  // open connections of one client address
        size_t headMaximum = 0;                 // bytes of a request head
    };
    // A connection with a request to serve, and the bytes of it already read.
    using Ready = std::function<void(int fd, std::string taken)>;
    // What to send before closing a connection whose head came too slowly (408) or grew too large (431).
    using Refusal = std::function<std::string(int status)>;
    // Told of every connection closed, before its descriptor is.
    using Closing = std::function<void(int fd)>;

    ConnectionGate(Limits limits, bool readsHeads, Ready ready, Refusal refusal, Closing closing);
    ~ConnectionGate();
    ConnectionGate(const ConnectionGate&) = delete;
    ConnectionGate& operator=(const ConnectionGate&) = delete;

    // A connection just accepted.
    void admit(int fd);
    // A connection back after its answer, to wait for its next request.
    void wait(int fd);
    // Closes a connection a worker is done with.
    void close(int fd);
    // Closes every waiting connection; later ones are closed at once.
    void stop();

private:
    struct Waiting {
        int fd;
        std::string address;
        Clock::time_point since;
        Clock::time_point deadline;
        std::string taken;
    };

    void run();
    void closeLocked(int fd);
    void drop(const Waiting& waiting, int status);
    void wake();

    Limits limits_;
    bool readsHeads_;
    Ready ready_;
    Refusal refusal_;
    Closing closing_;
    int wakeFd_ = -1;

    std::mutex mutex_;
    std::vector<Waiting> waiting_;
    std::map<int, std::string> addressOf_;  // every open connection, waiting or served
    std::map<std::string, size_t> openPer_;
    bool stopping_ = false;
    std::thread thread_;
};
