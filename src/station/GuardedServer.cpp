#include "station/GuardedServer.h"

#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>


#include "station/ConnectionStream.h"

namespace {

thread_local bool closeAfter = false;

// The accepted connection goes straight to the gate, on the accepting
// thread: handing it over takes no time.
class Inline : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> task) override { task(); }
    void shutdown() override {}
};

// How long a closing connection's unread rest is taken and thrown away, so
// that the client reads the answer rather than a reset.
constexpr auto DrainTime = std::chrono::milliseconds(500);
constexpr size_t DrainMaximum = 256 * 1024;

}  // namespace

GuardedServer::GuardedServer(Limits limits, ssl_ctx_st* tls, std::function<bool(std::string_view head)> isControl,
                             std::function<std::string(int status)> refusal)
    : limits_(limits), tls_(tls), isControl_(std::move(isControl))
{
    new_task_queue = [] { return new Inline; };
    general_ = std::make_unique<httplib::ThreadPool>(limits_.threads);
    reserve_ = std::make_unique<httplib::ThreadPool>(limits_.reserve);
    gate_ = std::make_unique<ConnectionGate>(
        limits_.gate, tls_ == nullptr, [this](int fd, std::string taken) { dispatch(fd, std::move(taken)); },
        [refusal = std::move(refusal)](int status) {
            const std::string body = refusal(status);
            return "HTTP/1.1 " + std::to_string(status) + (status == 408 ? " Request Timeout" : " Request Header Fields Too Large") +
                   "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n\r\n" + body;
        },
        [this](int fd) {
            // A TLS connection closed while it waited: its session goes with it.
            const std::lock_guard lock(sessionsMutex_);
            if (const auto found = sessions_.find(fd); found != sessions_.end()) {
                SSL_free(found->second);
                sessions_.erase(found);
            }
        });
}

GuardedServer::~GuardedServer()
{
    shutdown();
}

void GuardedServer::shutdown()
{
    if (stopping_.exchange(true))
        return;
    gate_->stop();
    general_->shutdown();
    reserve_->shutdown();
    const std::lock_guard lock(sessionsMutex_);
    for (const auto& [fd, session] : sessions_)
        SSL_free(session);
    sessions_.clear();
}

void GuardedServer::setBacklog(int connections)
{
    // A second listen() on a listening socket only changes its backlog.
    ::listen(svr_sock_, connections);
}

void GuardedServer::closeAfterAnswer()
{
    closeAfter = true;
}

bool GuardedServer::process_and_close_socket(int fd)
{
    gate_->admit(fd);
    return true;
}

void GuardedServer::dispatch(int fd, std::string taken)
{
    httplib::ThreadPool& pool = !taken.empty() && isControl_(taken) ? *reserve_ : *general_;
    pool.enqueue([this, fd, taken = std::move(taken)]() mutable { serve(fd, std::move(taken)); });
}

ssl_st* GuardedServer::sessionOf(int fd, ConnectionStream::Clock::time_point deadline)
{
    {
        const std::lock_guard lock(sessionsMutex_);
        if (const auto found = sessions_.find(fd); found != sessions_.end())
            return found->second;
    }
    SSL* session = SSL_new(tls_);
    if (!session)
        return nullptr;
    SSL_set_fd(session, fd);
    for (;;) {
        const int accepted = SSL_accept(session);
        if (accepted == 1)
            break;
        const int problem = SSL_get_error(session, accepted);
        if ((problem != SSL_ERROR_WANT_READ && problem != SSL_ERROR_WANT_WRITE) ||
            !ConnectionStream::waitFor(fd, problem == SSL_ERROR_WANT_WRITE, deadline)) {
            SSL_free(session);
            return nullptr;
        }
    }
    const std::lock_guard lock(sessionsMutex_);
    sessions_[fd] = session;
    return session;
}

void GuardedServer::serve(int fd, std::string taken)
{
    auto deadline = ConnectionStream::Clock::now() + limits_.gate.headTimeout;
    ssl_st* session = nullptr;
    if (tls_) {
        session = sessionOf(fd, deadline);
        // A client that speaks no TLS reads the end of the connection, not a reset.
        if (!session)
            return close(fd, true);
    }
    ConnectionStream stream(fd, session, std::move(taken), limits_.writeTimeout);
    for (;;) {
        stream.setReadDeadline(deadline);
        closeAfter = false;
        bool closed = false;
        const bool answered = process_request(stream, false, closed, [](httplib::Request&) {});
        if (!answered || closed || closeAfter || stopping_)
            return close(fd, answered && closeAfter);
        if (!stream.hasBuffered())
            return gate_->wait(fd);
        // The next request came with this one.
        deadline = ConnectionStream::Clock::now() + limits_.gate.headTimeout;
    }
}

void GuardedServer::close(int fd, bool drain)
{
    SSL* session = nullptr;
    {
        const std::lock_guard lock(sessionsMutex_);
        if (const auto found = sessions_.find(fd); found != sessions_.end()) {
            session = found->second;
            sessions_.erase(found);
        }
    }
    if (session) {
        SSL_shutdown(session);
        SSL_free(session);
    }
    if (drain) {
        ::shutdown(fd, SHUT_WR);
        const auto until = ConnectionStream::Clock::now() + DrainTime;
        char chunk[4096];
        size_t drained = 0;
        while (drained < DrainMaximum && ConnectionStream::waitFor(fd, false, until)) {
            const ssize_t got = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (got <= 0)
                break;
            drained += static_cast<size_t>(got);
        }
    }
    gate_->close(fd);
}
