#include "station/StationServer.h"

#include <httplib.h>

#include <chrono>
#include <mutex>

#include "core/MessageCatalogue.h"
#include "core/UnexpectedError.h"
#include "production/LineOverview.h"
#include "station/ApiReply.h"
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
// Threads of the server: the event streams plus room for the other calls.
constexpr size_t ServerThreads = StationServer::StreamLimit + 8;
// One line overview serves every monitor that asks within this time.
constexpr auto LineCacheTime = std::chrono::seconds(1);
// A station whose newest record is older than this shows as silent.
constexpr double SilentAfterSeconds = 300;

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
        {"interrupted", Msg::InterruptedLabel}};
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

StationServer::~StationServer() = default;

bool StationServer::bind(std::string& error)
{
    if (!settings_.tokenFile.empty()) {
        token_ = BearerToken::readFile(settings_.tokenFile, error);
        if (!token_)
            return false;
    }
    if (settings_.tls()) {
        auto secure = std::make_unique<httplib::SSLServer>(settings_.tlsCert.c_str(), settings_.tlsKey.c_str());
        if (!secure->is_valid()) {
            error = "cannot use the TLS certificate " + settings_.tlsCert + " with the key " + settings_.tlsKey;
            return false;
        }
        server_ = std::move(secure);
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    if (!settings_.lineDb.empty())
        line_ = std::make_unique<LineOverview>(settings_.lineDb);
    server_->new_task_queue = [] { return new httplib::ThreadPool(ServerThreads); };
    server_->set_payload_max_length(BodyLimit);
    server_->set_keep_alive_max_count(1000);
    server_->set_tcp_nodelay(true);
    server_->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"},
                                  {"X-Frame-Options", "DENY"}});
    route();
    port_ = settings_.listenPort == 0 ? server_->bind_to_any_port(settings_.listenHost)
                                      : (server_->bind_to_port(settings_.listenHost, settings_.listenPort)
                                             ? settings_.listenPort
                                             : -1);
    if (port_ <= 0) {
        error = "cannot listen on " + settings_.listenHost + ":" + std::to_string(settings_.listenPort);
        return false;
    }
    return true;
}

void StationServer::serve()
{
    server_->listen_after_bind();
}

void StationServer::stop()
{
    if (server_)
        server_->stop();
}

bool StationServer::authorised(const httplib::Request& request, httplib::Response& response) const
{
    if (!token_)
        return true;
    switch (token_->check(request.get_header_value("Authorization"))) {
    case BearerToken::Check::Right:
        return true;
    case BearerToken::Check::Missing:
        response.set_header("WWW-Authenticate", "Bearer");
        refuse(response, 401, {Msg::StationTokenMissing, {}, {}, {}}, languageOf(request));
        return false;
    case BearerToken::Check::Wrong:
        refuse(response, 403, {Msg::StationTokenWrong, {}, {}, {}}, languageOf(request));
        return false;
    }
    return false;
}

void StationServer::route()
{
    httplib::Server& server = *server_;
    // The token is checked before a body is read.
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        if (request.path.starts_with("/api/")) {
            response.set_header("Cache-Control", "no-store");
            if (!authorised(request, response))
                return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Errors that no handler answered (no route, a body too large) in the
    // same JSON form as the API's own refusals.
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& request,
                                                                      httplib::Response& response) {
        if (!response.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        const int language = languageOf(request);
        if (response.status == 404)
            refuse(response, 404, {Msg::StationNotFound, request.method + " " + request.path, {}, {}}, language);
        else if (response.status == 413)
            refuse(response, 413, {Msg::StationBodyTooLarge, std::to_string(BodyLimit), {}, {}}, language);
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
    server.Put("/api/v1/job", [this](const httplib::Request& request, httplib::Response& response) {
        JobRequest job;
        if (const auto problem = ParseJobRequest(request.body, job))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.loadJob(job, languageOf(request)));
    });
    server.Post("/api/v1/run", [this](const httplib::Request& request, httplib::Response& response) {
        RunRequest run;
        if (const auto problem = ParseRunRequest(request.body, run))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.run(run, languageOf(request)));
    });
    server.Post("/api/v1/stop", [this](const httplib::Request& request, httplib::Response& response) {
        answer(response, service_.stop(languageOf(request)));
    });
    server.Get("/api/v1/records", [this](const httplib::Request& request, httplib::Response& response) {
        RecordsQuery query;
        if (const auto problem = ParseRecordsQuery(parameter(request, "since"), parameter(request, "limit"), query))
            return refuse(response, 400, *problem, languageOf(request));
        answer(response, service_.records(query, languageOf(request)));
    });
    server.Get("/api/v1/events", [this](const httplib::Request& request, httplib::Response& response) {
        streamEvents(request, response);
    });
    server.Get("/api/v1/line", [this](const httplib::Request& request, httplib::Response& response) {
        lineOverview(request, response);
    });
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
    const std::lock_guard lock(lineMutex_);
    const auto now = std::chrono::steady_clock::now();
    if (lineAnswer_.empty() || now - lineQueried_ >= LineCacheTime) {
        std::vector<LineStation> stations;
        std::string error;
        if (!line_->query(stations, error))
            return refuse(response, 502, {Msg::StationLineQueryFailed, error, {}, {}}, language);
        json list = json::array();
        for (const LineStation& station : stations) {
            json failures = json::array();
            for (const auto& [text, count] : station.failures)
                failures.push_back({{"message", text}, {"count", count}});
            list.push_back({{"station", station.station},
                            {"last_time", station.lastTime},
                            {"last_age_seconds", station.lastAgeSeconds},
                            {"alive", station.lastAgeSeconds < SilentAfterSeconds},
                            {"chips_last_hour", station.chipsLastHour},
                            {"passed_last_hour", station.passedLastHour},
                            {"failures", failures}});
        }
        lineAnswer_ = JsonText(json{{"stations", list}, {"silent_after_seconds", SilentAfterSeconds}});
        lineQueried_ = now;
    }
    response.set_content(lineAnswer_, JsonType);
}
