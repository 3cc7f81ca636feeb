#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

struct pg_conn;

// One connection to the line server in which no call waits longer than 3.5 s,
// whatever the server does: stopped, frozen, behind a lost network or
// queued behind another session's lock. Every call is bounded by its own
// deadline (libpq's blocking calls would wait for ever on a frozen server), the
// server ends a statement that runs too long, and keepalives find a dead peer
// between calls. One thread uses a session at a time; stop() may come from any.
class PostgresSession {
public:
    struct Reply {
        enum class Status {
            Ok,
            Refused,      // the server answered with an error
            Failed,       // no connection, it broke, or the session could not be set up
            NoAnswer,     // the deadline passed
            Stopped,      // stop() was called
        };
        Status status = Status::Ok;
        std::string sqlState;  // with Refused: the server's code for the reason
        std::string message;   // why, on one line, in the server's or libpq's words
        std::vector<std::vector<std::string>> rows;

        bool ok() const { return status == Status::Ok; }
    };

    // `setup` runs after each connect, before the first statement.
    PostgresSession(std::string address, std::string setup);
    ~PostgresSession();
    PostgresSession(const PostgresSession&) = delete;
    PostgresSession& operator=(const PostgresSession&) = delete;

    // One statement with its parameters, or, without parameters, several
    // separated by semicolons. Connects first when needed. A connection that
    // failed or timed out is dropped, and the next call connects anew.
    Reply run(const std::string& sql, const std::vector<std::string>& parameters = {});

    // Ends the call under way at once, asking the server to cancel the
    // statement it was running, and refuses every later call.
    void stop();

    static constexpr int ConnectTimeoutMs = 2000;
    // The server's own limit on a statement, so that one waiting for a lock
    // gives up and says so.
    static constexpr int StatementTimeoutMs = 3000;
    // Ours, for a whole call with its connect: a frozen server never says
    // anything.
    static constexpr int AnswerTimeoutMs = 3500;
    // PQcancel waits for the server to close its socket, which a frozen server
    // never does; past this the request is left to itself.
    static constexpr int CancelWaitMs = 1000;

private:
    using Deadline = std::chrono::steady_clock::time_point;
    enum class Wait { Ready, TimedOut, Stopped };

    Reply connect(Deadline deadline);
    Reply send(const std::string& sql, const std::vector<std::string>& parameters, Deadline deadline);
    Reply collect(Deadline deadline);
    Wait waitFor(short events, Deadline deadline);
    // Ends the connection after a failed wait, with the reply that says why.
    Reply abandon(Wait wait, bool statementUnderWay);
    Reply broken();
    void cancelStatement();
    void disconnect();

    std::string address_;
    std::string setup_;
    pg_conn* conn_ = nullptr;
    int wake_ = -1;
    std::atomic<bool> stopped_ = false;
};
