#include "production/PostgresSession.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>
#include <thread>

#include "core/ValidUtf8.h"

namespace {

using Clock = std::chrono::steady_clock;
using Reply = PostgresSession::Reply;

// The first line of a libpq or server message, without its severity prefix
// or closing full stop, so that it can stand inside a sentence of ours.
std::string oneLine(const char* message)
{
    std::string text = message ? message : "";
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return {};
    text = text.substr(start, text.find_first_of("\r\n", start) - start);
    for (const char* prefix : {"ERROR:", "FATAL:"}) {
        if (text.starts_with(prefix))
            text = text.substr(text.find_first_not_of(' ', std::string(prefix).size()));
    }
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return ValidUtf8(text);
}

Reply failure(Reply::Status status, std::string message)
{
    Reply reply;
    reply.status = status;
    reply.message = std::move(message);
    return reply;
}

std::string milliseconds(int value)
{
    return std::to_string(value);
}

}  // namespace

PostgresSession::PostgresSession(std::string address, std::string setup)
    : address_(std::move(address)), setup_(std::move(setup)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

PostgresSession::~PostgresSession()
{
    disconnect();
    if (wake_ >= 0)
        close(wake_);
}

void PostgresSession::stop()
{
    stopped_ = true;
    const uint64_t one = 1;
    if (wake_ >= 0 && write(wake_, &one, sizeof one) < 0) {
        // Already signalled: the counter is full, and the poll wakes anyway.
    }
}

void PostgresSession::disconnect()
{
    PQfinish(conn_);
    conn_ = nullptr;
}

PostgresSession::Wait PostgresSession::waitFor(short events, Deadline deadline)
{
    for (;;) {
        if (stopped_)
            return Wait::Stopped;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Wait::TimedOut;
        pollfd watched[] = {{PQsocket(conn_), events, 0}, {wake_, POLLIN, 0}};
        const int ready = poll(watched, wake_ >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR)
            return Wait::Ready;  // libpq's next call finds and names the fault
        if (watched[1].revents != 0)
            return Wait::Stopped;
        if (ready > 0)
            return Wait::Ready;
    }
}

void PostgresSession::cancelStatement()
{
    PGcancel* cancel = PQgetCancel(conn_);
    if (!cancel)
        return;
    std::packaged_task<void()> request([cancel] {
        char ignored[256];
        PQcancel(cancel, ignored, sizeof ignored);
        PQfreeCancel(cancel);
    });
    std::future<void> sent = request.get_future();
    std::thread sender(std::move(request));
    if (sent.wait_for(std::chrono::milliseconds(CancelWaitMs)) == std::future_status::ready)
        sender.join();
    else
        sender.detach();  // it owns its request and ends when the server wakes, or with the process
}

Reply PostgresSession::abandon(Wait wait, bool statementUnderWay)
{
    if (wait == Wait::Stopped && statementUnderWay)
        cancelStatement();
    disconnect();
    if (wait == Wait::Stopped)
        return failure(Reply::Status::Stopped, {});
    return failure(Reply::Status::NoAnswer, {});
}

Reply PostgresSession::broken()
{
    Reply reply = failure(Reply::Status::Failed, oneLine(PQerrorMessage(conn_)));
    disconnect();
    return reply;
}

Reply PostgresSession::connect(Deadline deadline)
{
    const Deadline connected = std::min(deadline, Clock::now() + std::chrono::milliseconds(ConnectTimeoutMs));
    // Keepalives and the user timeout find a peer that died between two
    // chips; later keys win, so settings written in the address still apply.
    const std::string userTimeout = milliseconds(StatementTimeoutMs + 2000);
    const char* keys[] = {"keepalives", "keepalives_idle", "keepalives_interval", "keepalives_count",
                          "tcp_user_timeout", "dbname", nullptr};
    const char* values[] = {"1", "10", "3", "3", userTimeout.c_str(), address_.c_str(), nullptr};
    conn_ = PQconnectStartParams(keys, values, 1);
    if (!conn_)
        return failure(Reply::Status::Failed, "out of memory");
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK) {
        if (state == PGRES_POLLING_FAILED || PQstatus(conn_) == CONNECTION_BAD)
            return broken();
        const Wait wait = waitFor(state == PGRES_POLLING_READING ? POLLIN : POLLOUT, connected);
        if (wait != Wait::Ready)
            return abandon(wait, false);
        state = PQconnectPoll(conn_);
    }
    if (PQsetnonblocking(conn_, 1) != 0)
        return broken();
    const std::string session = "SET client_min_messages = warning; SET client_encoding = 'UTF8'; "
                                "SET statement_timeout = " +
                                milliseconds(StatementTimeoutMs) + "; " + setup_;
    Reply reply = send(session, {}, deadline);
    if (reply.status == Reply::Status::Refused) {
        // Not the caller's statement that was refused: the session is unusable.
        reply.status = Reply::Status::Failed;
        disconnect();
    }
    return reply;
}

Reply PostgresSession::run(const std::string& sql, const std::vector<std::string>& parameters)
{
    if (stopped_)
        return failure(Reply::Status::Stopped, {});
    const Deadline deadline = Clock::now() + std::chrono::milliseconds(AnswerTimeoutMs);
    // A connection the server closed while it sat idle (a restart between two
    // chips) shows only now; outside a transaction one new connection may
    // take the statement instead.
    const bool idle = conn_ && PQtransactionStatus(conn_) == PQTRANS_IDLE;
    if (!conn_) {
        if (Reply connected = connect(deadline); !connected.ok())
            return connected;
    }
    Reply reply = send(sql, parameters, deadline);
    if (!idle || reply.status != Reply::Status::Failed)
        return reply;
    if (Reply connected = connect(deadline); !connected.ok())
        return connected;
    return send(sql, parameters, deadline);
}

Reply PostgresSession::send(const std::string& sql, const std::vector<std::string>& parameters, Deadline deadline)
{
    std::vector<const char*> values;
    for (const std::string& parameter : parameters)
        values.push_back(parameter.c_str());
    const int queued = parameters.empty()
                           ? PQsendQuery(conn_, sql.c_str())
                           : PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                               values.data(), nullptr, nullptr, 0);
    if (!queued)
        return broken();
    int flushed = 0;
    while ((flushed = PQflush(conn_)) == 1) {
        const Wait wait = waitFor(POLLIN | POLLOUT, deadline);
        if (wait != Wait::Ready)
            return abandon(wait, true);
        if (!PQconsumeInput(conn_))
            return broken();
    }
    if (flushed < 0)
        return broken();
    return collect(deadline);
}

Reply PostgresSession::collect(Deadline deadline)
{
    Reply reply;
    for (;;) {
        while (!PQisBusy(conn_)) {
            PGresult* result = PQgetResult(conn_);
            if (!result) {
                if (reply.status == Reply::Status::Ok || PQstatus(conn_) == CONNECTION_OK)
                    return reply;
                return broken();
            }
            const ExecStatusType status = PQresultStatus(result);
            if (status == PGRES_TUPLES_OK) {
                for (int row = 0; row < PQntuples(result); ++row) {
                    std::vector<std::string>& cells = reply.rows.emplace_back();
                    for (int column = 0; column < PQnfields(result); ++column)
                        cells.emplace_back(PQgetvalue(result, row, column));
                }
            } else if (status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY && reply.ok()) {
                const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
                const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
                reply.status = Reply::Status::Refused;
                reply.sqlState = state ? state : "";
                reply.message = oneLine(primary ? primary : PQresultErrorMessage(result));
            }
            PQclear(result);
        }
        const Wait wait = waitFor(POLLIN, deadline);
        if (wait != Wait::Ready)
            return abandon(wait, true);
        if (!PQconsumeInput(conn_))
            return broken();
    }
}
