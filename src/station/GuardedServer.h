#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <httplib.h>

#include "station/ConnectionGate.h"
#include "station/ConnectionStream.h"

struct ssl_ctx_st;
struct ssl_st;

// cpp-httplib's server with the station's own handling of connections: a
// connection holds a thread only while a request of it is served, never
// while its head trickles in or while it idles between requests (see
// ConnectionGate); reads have a deadline per request; a few threads are kept
// for the control calls, so that Stop is served however busy the rest is.
class GuardedServer : public httplib::Server {
public:
    struct Limits {
        ConnectionGate::Limits gate;
        std::chrono::milliseconds writeTimeout;
        size_t threads = 0;  // for every request
        size_t reserve = 0;  // only for requests that `isControl` picks
    };
    // `tls`: the server's TLS context, or nothing for plain HTTP.
    // `isControl`: whether a request head (plain HTTP only) is an
    // authenticated control call. `refusal`: the JSON body of an answer with
    // that status, sent before a connection is closed for a head too slow or
    // too large.
    GuardedServer(Limits limits, ssl_ctx_st* tls, std::function<bool(std::string_view head)> isControl,
                  std::function<std::string(int status)> refusal);
    ~GuardedServer() override;

    // After a bind: lets the system queue this many connections not yet
    // accepted (the library asks for 5), so that a burst of clients does not
    // see its connections dropped and retried a second later.
    void setBacklog(int connections);
    // After listen_after_bind() returned: closes what waits, ends the threads.
    void shutdown();

    // For a handler that leaves (part of) a request's body unread: its
    // connection closes after the answer, so that the rest is never taken
    // for another request.
    static void closeAfterAnswer();

private:
    bool process_and_close_socket(int fd) override;
    void dispatch(int fd, std::string taken);
    void serve(int fd, std::string taken);
    ssl_st* sessionOf(int fd, ConnectionStream::Clock::time_point deadline);
    void close(int fd, bool drain);

    Limits limits_;
    ssl_ctx_st* tls_;
    std::function<bool(std::string_view)> isControl_;
    std::unique_ptr<ConnectionGate> gate_;
    std::unique_ptr<httplib::ThreadPool> general_;
    std::unique_ptr<httplib::ThreadPool> reserve_;
    std::atomic<bool> stopping_{false};
    std::mutex sessionsMutex_;
    std::map<int, ssl_st*> sessions_;
};
