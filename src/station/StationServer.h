#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "station/BearerToken.h"
#include "station/StationSettings.h"

namespace httplib {
class Request;
class Response;
class Server;
}  // namespace httplib

class LineOverview;
class StationService;

// The HTTP side of the station: the API under /api/v1, the event stream,
// the metrics and the web pages, over TLS when a certificate is given.
// Everything but the metrics and the pages' files needs the token when one
// is set; every refusal is JSON with a sentence.
class StationServer {
public:
    StationServer(StationService& service, const StationSettings& settings);
    ~StationServer();
    StationServer(const StationServer&) = delete;
    StationServer& operator=(const StationServer&) = delete;

    // Reads the token, loads the certificate and binds the address. False,
    // with `error` set, when any of that fails.
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

private:
    void route();
    bool authorised(const httplib::Request& request, httplib::Response& response) const;
    void streamEvents(const httplib::Request& request, httplib::Response& response);
    void lineOverview(const httplib::Request& request, httplib::Response& response);

    StationService& service_;
    StationSettings settings_;
    std::optional<BearerToken> token_;
    std::unique_ptr<httplib::Server> server_;
    // One query serves every monitor that asks within a second.
    std::unique_ptr<LineOverview> line_;
    std::mutex lineMutex_;
    std::chrono::steady_clock::time_point lineQueried_;
    std::string lineAnswer_;
    std::atomic<int> streams_{0};
    int port_ = 0;
};
