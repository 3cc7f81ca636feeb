#include "station/StationServer.h"

#include <httplib.h>

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cctype>
#include <chrono>

#include "core/MessageCatalogue.h"
#include "core/UnexpectedError.h"
#include "production/LineOverview.h"
#include "station/ApiReply.h"
#include "station/GuardedServer.h"
#include "station/LineCache.h"
#include "station/StationService.h"
#include "station/WebAssets.h"

using nlohmann::json;

namespace {

constexpr const char* JsonType = "application/json";
// A stream with nothing to say sends a comment this often, so that a client
// and any proxy between see it alive, and a gone client's slot is freed (a
// write after the peer closed fails).
constexpr auto KeepAliveInterval = std::chrono::seconds(5);
constexpr size_t EventsPerWrite = 256;
// A kept-alive connection may stay silent this long between two requests.
constexpr auto IdleTimeout = std::chrono::seconds(30);
// A request head larger than this is refused.
constexpr size_t HeadMaximum = 32 * 1024;

int languageOf(const httplib::Request& request)
{
    return LanguageOfAcceptLanguage(request.get_header_value("Accept-Language"));
}

void answer(httplib::Response& response, const ApiReply& reply)
{
    response.status = reply.status;
    response.set_content(JsonText(reply.body), JsonType);
}

void refuse(httplib::Response& response, int status, const RequestProblem& problem, int language)
{
    answer(response, ApiReply::refusal(status, problem, language));
}

std::optional<std::string> parameter(const httplib::Request& request, const char* name)
{
    if (!request.has_param(name))
        return std::nullopt;
    return request.get_param_value(name);
}

bool isWrite(const httplib::Request& request)
{
    return request.method != "GET" && request.method != "HEAD";
}

// Whether a request brings a body that nobody may have read.
bool bringsBody(const httplib::Request& request)
{
    return request.has_header("Transfer-Encoding") ||
           request.get_header_value<uint64_t>("Content-Length") > 0;
}

enum class BodyRead { Whole, TooLarge, Unreadable };

// The body in whatever transfer encoding it came, never more than the cap:
// a larger one is refused with the connection, not read to its end. A
// request with neither a length nor chunks has no body.
BodyRead readBody(const httplib::Request& request, const httplib::ContentReader& reader, std::string& body)
{
    if (!request.has_header("Transfer-Encoding") && !request.has_header("Content-Length"))
        return BodyRead::Whole;
    if (request.get_header_value<uint64_t>("Content-Length") > StationServer::BodyLimit) {
        GuardedServer::closeAfterAnswer();
        return BodyRead::TooLarge;
    }
    bool tooLarge = false;
    const bool read = reader([&](const char* data, size_t size) {
        if (body.size() + size > StationServer::BodyLimit) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return true;
    });
    if (read && !tooLarge)
        return BodyRead::Whole;
    GuardedServer::closeAfterAnswer();
    return tooLarge ? BodyRead::TooLarge : BodyRead::Unreadable;
}

using BodyHandler = std::function<void(const httplib::Request&, httplib::Response&, const std::string& body)>;

// A handler of a request with a body, which it gets read and checked.
httplib::Server::HandlerWithContentReader withBody(BodyHandler handle)
{
    return [handle = std::move(handle)](const httplib::Request& request, httplib::Response& response,
                                        const httplib::ContentReader& reader) {
        std::string body;
        switch (readBody(request, reader, body)) {
        case BodyRead::TooLarge:
            return refuse(response, 413, {Msg::StationBodyTooLarge, std::to_string(StationServer::BodyLimit), {}, {}},
                          languageOf(request));
        case BodyRead::Unreadable:
            return refuse(response, 400, {Msg::StationBodyUnreadable, {}, {}, {}}, languageOf(request));
        case BodyRead::Whole:
            break;
        }
        handle(request, response, body);
    };
}

// The TLS context of a certificate and its key; nothing when they do not fit.
ssl_ctx_st* tlsContext(const StationSettings& settings)
{
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context)
        return nullptr;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_COMPRESSION | SSL_OP_NO_SESSION_RESUMPTION_ON_RENEGOTIATION);
    if (SSL_CTX_use_certificate_chain_file(context, settings.tlsCert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, settings.tlsKey.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

// The page's texts in the three languages, from the message catalogue.
std::string pageTexts()
{
    static const std::pair<const char*, Msg> texts[] = {
        {"title", Msg::StationPageTitle},         {"token", Msg::StationTokenLabel},
        {"useToken", Msg::StationTokenButton},    {"tokenNeeded", Msg::StationTokenNeeded},
        {"lastChips", Msg::StationLastChips},     {"connectionLost", Msg::StationConnectionLost},
        {"operator", Msg::StationOperatorLabel},  {"running", Msg::StationRunningState},
        {"stopping", Msg::StationStoppingState},  {"language", Msg::StationLanguageLabel},
        {"lineLink", Msg::StationLineLink},       {"stationLink", Msg::StationLink},
        {"job", Msg::JobLabel},                   {"noJob", Msg::NoJob},
        {"passed", Msg::PassedLabel},             {"failed", Msg::FailedLabel},
        {"total", Msg::TotalLabel},               {"yield", Msg::YieldLabel},
        {"cycle", Msg::CycleLabel},               {"chipsPerHour", Msg::ChipsPerHourLabel},
        {"target", Msg::TargetLabel},             {"nextSerial", Msg::NextSerialLabel},
        {"none", Msg::NoSerial},                  {"pass", Msg::PassIndication},
        {"fail", Msg::FailIndication},            {"ready", Msg::ReadyIndication},
        {"start", Msg::StartButton},              {"stop", Msg::StopButton},
        {"lineServer", Msg::PostgresLabel},       {"lineServerWaiting", Msg::PostgresPending},
        {"lineServerStored", Msg::PostgresReachable}, {"lineServerDown", Msg::StationLineServerDown},
        {"lineServerNone", Msg::StationNoLineServerState}, {"columns", Msg::LogColumns},
        {"programmers", Msg::ProgrammersGroup},   {"idle", Msg::TileIdle},
        {"notConnected", Msg::NotConnected},      {"lineTitle", Msg::LinePageTitle},
        {"station", Msg::LineStationColumn},      {"alive", Msg::LineAlive},
        {"silent", Msg::LineSilent},              {"lastRecord", Msg::LineLastRecord},
        {"chipsLastHour", Msg::LineChipsLastHour}, {"yieldLastHour", Msg::LineYieldLastHour},
        {"failures", Msg::LineFailures},          {"ago", Msg::LineAgo},
        {"noStations", Msg::LineNoStations},      {"noLineServer", Msg::StationNoLineServer},
        {"interrupted", Msg::InterruptedLabel},   {"raiseTarget", Msg::RaiseTargetButton},
        {"resetCounters", Msg::ResetCountersButton}, {"resetQuestion", Msg::ResetCountersQuestion},
        {"newTarget", Msg::StationNewTargetPrompt}, {"pinQuestion", Msg::EngineerPinQuestion},
        {"controlTokenNeeded", Msg::StationControlTokenNeeded}};
    static const std::pair<const char*, int> languages[] = {
        {"zh-CN", SimplifiedChinese}, {"zh-TW", TraditionalChinese}, {"en", English}};
    json out = json::object();
    for (const auto& [tag, language] : languages) {
        json& entries = out[tag];
        for (const auto& [key, message] : texts)
            entries[key] = MessageCatalogue::text(message, language);
    }
    return JsonText(out);
}

}  // namespace

StationServer::StationServer(StationService& service, const StationSettings& settings)
    : service_(service), settings_(settings)
{
}

StationServer::~StationServer()
{
    if (server_)
        server_->shutdown();
    server_.reset();
    if (tls_)
        SSL_CTX_free(tls_);
}

bool StationServer::bind(std::string& error)
{
    if (!settings_.tokenFile.empty()) {
        token_ = BearerToken::readFile(settings_.tokenFile, error);
        if (!token_)
            return false;
    }
    if (!settings_.viewTokenFile.empty()) {
        viewToken_ = BearerToken::readFile(settings_.viewTokenFile, error);
        if (!viewToken_)
            return false;
    }
    if (settings_.tls()) {
        tls_ = tlsContext(settings_);
        if (!tls_) {
            error = "cannot use the TLS certificate " + settings_.tlsCert + " with the key " + settings_.tlsKey + ".";
            return false;
        }
    }
    GuardedServer::Limits limits;
    limits.gate.headTimeout = RequestTimeout;
    limits.gate.idleTimeout = IdleTimeout;
    limits.gate.perAddress = ConnectionsPerAddress;
    limits.gate.headMaximum = HeadMaximum;
    limits.writeTimeout = std::chrono::seconds(5);
    limits.threads = ServerThreads;
    limits.reserve = ControlThreads;
    server_ = std::make_unique<GuardedServer>(
        limits, tls_, [this](std::string_view head) { return isControl(head); },
        [](int status) {
            const Msg message = status == 408 ? Msg::StationRequestTimeout : Msg::StationRequestMalformed;
            const std::string seconds = std::to_string(std::chrono::seconds(RequestTimeout).count());
            return JsonText(ApiReply::refusal(status, message, English, seconds).body);
        });
    if (!settings_.lineDb.empty())
        line_ = std::make_unique<LineCache>(std::make_unique<LineOverview>(settings_.lineDb));
    server_->set_payload_max_length(BodyLimit);
    server_->set_keep_alive_timeout(std::chrono::seconds(IdleTimeout).count());
    server_->set_keep_alive_max_count(1000);
    server_->set_tcp_nodelay(true);
    // Only SO_REUSEADDR: a restart finds the port free at once, but a second
    // station on a port already taken fails rather than sharing it.
    server_->set_socket_options([](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"},
                                  {"X-Frame-Options", "DENY"}});
    route();
    port_ = settings_.listenPort == 0 ? server_->bind_to_any_port(settings_.listenHost)
                                      : (server_->bind_to_port(settings_.listenHost, settings_.listenPort)
                                             ? settings_.listenPort
                                             : -1);
    if (port_ <= 0) {
        error = "cannot listen on " + settings_.listenHost + ":" + std::to_string(settings_.listenPort) +
                ": the address is taken or not this machine's.";
        return false;
    }
    server_->setBacklog(SOMAXCONN);
    return true;
}

void StationServer::serve()
{
    server_->listen_after_bind();
    server_->shutdown();
}

void StationServer::stop()
{
    if (server_)
        server_->stop();
}

// For the threads kept for control calls: a POST or PUT with the control
// token (any, when the station has no token).
bool StationServer::isControl(std::string_view head) const
{
    if (!head.starts_with("POST ") && !head.starts_with("PUT "))
        return false;
    if (!token_)
        return true;
    constexpr std::string_view Name = "\nauthorization:";
    for (size_t at = head.find('\n'); at != std::string_view::npos; at = head.find('\n', at + 1)) {
        if (head.size() - at < Name.size())
            break;
        bool same = true;
        for (size_t i = 0; i < Name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(head[at + i])) == Name[i];
        if (!same)
            continue;
        std::string_view value = head.substr(at + Name.size());
        value = value.substr(0, value.find_first_of("\r\n"));
        const size_t first = value.find_first_not_of(' ');
        return first != std::string_view::npos && token_->check(value.substr(first)) == BearerToken::Check::Right;
    }
    return false;
}

bool StationServer::authorised(const httplib::Request& request, httplib::Response& response) const
{
    if (!token_)
        return true;
    const std::string authorization = request.get_header_value("Authorization");
    const int language = languageOf(request);
    switch (token_->check(authorization)) {
    case BearerToken::Check::Right:
        return true;
    case BearerToken::Check::Missing:
        response.set_header("WWW-Authenticate", "Bearer");
        refuse(response, 401, {Msg::StationTokenMissing, {}, {}, {}}, language);
        return false;
    case BearerToken::Check::Wrong:
        break;
    }
    if (viewToken_ && viewToken_->check(authorization) == BearerToken::Check::Right) {
        if (!isWrite(request))
            return true;
        refuse(response, 403, {Msg::StationViewTokenOnly, {}, {}, {}}, language);
        return false;
    }
    refuse(response, 403, {Msg::StationTokenWrong, {}, {}, {}}, language);
    return false;
}

void StationServer::route()
{
    httplib::Server& server = *server_;
    // The token is checked before a body is read; a refused body is never read.
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        if (request.path.starts_with("/api/")) {
            response.set_header("Cache-Control", "no-store");
            if (!authorised(request, response)) {
                if (bringsBody(request))
                    GuardedServer::closeAfterAnswer();
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Errors that no handler answered (no route, a request that is no HTTP)
    // in the same JSON form as the API's own refusals.
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& request,
                                                                      httplib::Response& response) {
        if (!response.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        const int language = languageOf(request);
        if (response.status == 404)
            refuse(response, 404, {Msg::StationNotFound, request.method + " " + request.path, {}, {}}, language);
        else if (response.status == 413)
            refuse(response, 413, {Msg::StationBodyTooLarge, std::to_string(BodyLimit), {}, {}}, language);
        else if (response.status == 400) {
            // What follows a request that is no HTTP cannot be read as the next one.
            GuardedServer::closeAfterAnswer();
            refuse(response, 400, {Msg::StationRequestMalformed, {}, {}, {}}, language);
        }
        else
            refuse(response, response.status, {Msg::StationRequestRefused, std::to_string(response.status), {}, {}},
                   language);
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request& request, httplib::Response& response,
                                    std::exception_ptr error) {
        answer(response, ApiReply{500, json{{"error", UnexpectedErrorText(error, languageOf(request))}}});
    });

    server.Get("/api/v1/station", [this](const httplib::Request& request, httplib::Response& response) {
        answer(response, ApiReply{200, service_.station(languageOf(request))});
    });
    server.Put("/api/v1/job", withBody([this](const httplib::Request& request, httplib::Response& response,
                                              const std::string& body) {
        JobRequest job;
        if (const auto problem = ParseJobRequest(body, job))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.loadJob(job, languageOf(request)));
    }));
    server.Post("/api/v1/run", withBody([this](const httplib::Request& request, httplib::Response& response,
                                               const std::string& body) {
        RunRequest run;
        if (const auto problem = ParseRunRequest(body, run))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.run(run, languageOf(request)));
    }));
    server.Post("/api/v1/stop", withBody([this](const httplib::Request& request, httplib::Response& response,
                                                const std::string& body) {
        if (const auto problem = ParseEmptyRequest(body))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.stop(languageOf(request)));
    }));
    server.Post("/api/v1/target", withBody([this](const httplib::Request& request, httplib::Response& response,
                                                  const std::string& body) {
        ChangeRequest change;
        if (const auto problem = ParseTargetRequest(body, change))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.setTarget(change, request.remote_addr, languageOf(request)));
    }));
    server.Post("/api/v1/counters/reset", withBody([this](const httplib::Request& request,
                                                          httplib::Response& response, const std::string& body) {
        ChangeRequest change;
        if (const auto problem = ParseResetRequest(body, change))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.resetCounters(change, request.remote_addr, languageOf(request)));
    }));
    server.Get("/api/v1/records", [this](const httplib::Request& request, httplib::Response& response) {
        RecordsQuery query;
        if (const auto problem = ParseRecordsQuery(parameter(request, "since"), parameter(request, "limit"), query))
            return refuse(response, 400, *problem, languageOf(request));
        if (const auto problem = ParseRecordsLookup(parameter(request, "serial"), parameter(request, "crc"),
                                                    parameter(request, "job"), query))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.records(query, languageOf(request)));
    });
    server.Get("/api/v1/events", [this](const httplib::Request& request, httplib::Response& response) {
        streamEvents(request, response);
    });
    server.Get("/api/v1/line", [this](const httplib::Request& request, httplib::Response& response) {
        lineOverview(request, response);
    });
    // Every other call with a body: the body is bounded there too.
    const auto nothingThere = withBody([](const httplib::Request& request, httplib::Response& response,
                                          const std::string&) {
        refuse(response, 404, {Msg::StationNotFound, request.method + " " + request.path, {}, {}}, languageOf(request));
    });
    server.Post(".*", nothingThere);
    server.Put(".*", nothingThere);
    server.Patch(".*", nothingThere);
    server.Delete(".*", nothingThere);
    server.Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(service_.metrics(), "text/plain; version=0.0.4; charset=utf-8");
    });
    server.Get("/texts.json", [](const httplib::Request&, httplib::Response& response) {
        static const std::string texts = pageTexts();
        response.set_content(texts, JsonType);
    });
    // The pages and their files; no script or style from anywhere else.
    server.Get(R"(/([a-z]*)(\.[a-z]+)?)", [](const httplib::Request& request, httplib::Response& response) {
        const std::string path = request.path == "/" ? "index.html" : request.path == "/line" ? "line.html"
                                                                                               : request.path.substr(1);
        const WebAsset* asset = FindWebAsset(path);
        if (!asset) {
            response.status = 404;
            return;
        }
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; base-uri 'none'");
        response.set_header("Cache-Control", "no-cache");
        response.set_content(asset->body.data(), asset->body.size(), std::string(asset->contentType).c_str());
    });
}

void StationServer::streamEvents(const httplib::Request& request, httplib::Response& response)
{
    if (++streams_ > StreamLimit) {
        --streams_;
        return refuse(response, 503, {Msg::StationTooManyStreams, std::to_string(StreamLimit), {}, {}},
                      languageOf(request));
    }
    // Without Last-Event-ID a client starts from now; with it, after that event.
    const auto cursor = std::make_shared<uint64_t>(
        ParseLastEventId(request.get_header_value("Last-Event-ID")).value_or(service_.events().lastId()));
    const auto greeted = std::make_shared<bool>(false);
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, cursor, greeted](size_t, httplib::DataSink& sink) {
            std::string out;
            if (!*greeted) {
                // How soon a dropped client comes back; sent at once, so the
                // client knows the stream stands.
                out = "retry: 1000\n\n";
                *greeted = true;
                return sink.write(out.data(), out.size());
            }
            const EventRing::Batch batch = service_.events().after(*cursor, EventsPerWrite, KeepAliveInterval);
            if (batch.closed) {
                sink.done();
                return true;
            }
            if (batch.lost > 0 || batch.restarted)
                out += "event: events-lost\ndata: " +
                       JsonText(json{{"lost", batch.lost}, {"restarted", batch.restarted}}) + "\n\n";
            for (const StationEvent& event : batch.events) {
                out += "id: " + std::to_string(event.id) + "\nevent: " + event.type + "\ndata: " + event.data + "\n\n";
                *cursor = event.id;
            }
            if (out.empty())
                out = ": alive\n\n";
            return sink.write(out.data(), out.size());
        },
        [this](bool) { --streams_; });
}

void StationServer::lineOverview(const httplib::Request& request, httplib::Response& response)
{
    const int language = languageOf(request);
    if (!line_)
        return refuse(response, 404, {Msg::StationNoLineServer, {}, {}, {}}, language);
    const LineCache::Answer cached = line_->get();
    if (!cached.answered)
        return refuse(response, 502, {Msg::StationLineQueryFailed, cached.text, {}, {}}, language);
    response.set_content(cached.text, JsonType);
}
