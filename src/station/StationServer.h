#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "station/BearerToken.h"
#include "station/StationSettings.h"

namespace httplib {
class Request;
class Response;
}  // namespace httplib

struct ssl_ctx_st;
class GuardedServer;
class LineCache;
class StationService;

// The HTTP side of the station: the API under /api/v1, the event stream,
// the metrics and the web pages, over TLS when a certificate is given.
// Everything but the metrics and the pages' files needs a token when one is
// set: the control token for everything, the view token (when one is given)
// for reading only. Every refusal is JSON with a sentence.
class StationServer {
public:
    StationServer(StationService& service, const StationSettings& settings);
    ~StationServer();
    StationServer(const StationServer&) = delete;
    StationServer& operator=(const StationServer&) = delete;

    // Reads the tokens, loads the certificate and binds the address. False,
    // with `error` set, when any of that fails (an address another program
    // listens on already among them).
    bool bind(std::string& error);
    // The port bound: the one asked for, or the one the system chose for 0.
    int port() const { return port_; }
    // Serves until stop().
    void serve();
    void stop();

    // Request bodies larger than this are refused unread.
    static constexpr size_t BodyLimit = 16 * 1024;
    // Event streams open at once; each holds one of the server's threads.
    static constexpr int StreamLimit = 16;
    // Threads for every request: the event streams plus room for the other calls.
    static constexpr size_t ServerThreads = StreamLimit + 8;
    // Threads kept for authenticated control calls (Stop among them).
    static constexpr size_t ControlThreads = 4;
    // A request's head and body must come within this time.
    static constexpr auto RequestTimeout = std::chrono::seconds(5);
    // Connections one client address may hold open.
    static constexpr size_t ConnectionsPerAddress = 64;

private:
    void route();
    bool authorised(const httplib::Request& request, httplib::Response& response) const;
    bool isControl(std::string_view head) const;
    void streamEvents(const httplib::Request& request, httplib::Response& response);
    void lineOverview(const httplib::Request& request, httplib::Response& response);

    StationService& service_;
    StationSettings settings_;
    std::optional<BearerToken> token_;
    std::optional<BearerToken> viewToken_;
    ssl_ctx_st* tls_ = nullptr;
    std::unique_ptr<GuardedServer> server_;
    std::unique_ptr<LineCache> line_;
    std::atomic<int> streams_{0};
    int port_ = 0;
};
