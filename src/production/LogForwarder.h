#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class PostgresLog;
class SqliteLog;

// Sends the station's records to the line server on a thread of its own, so
// that a slow or absent server never holds up a chip. Records wait in the
// station's SQLite log until the server has committed them, and go in their
// local order; a record sent twice (reply lost) is stored once there.
class LogForwarder {
public:
    struct Status {
        bool reachable = false;  // the last attempt succeeded
        int64_t waiting = 0;     // records not yet confirmed
        std::string error;       // why the last attempt failed
    };

    LogForwarder(SqliteLog& log, std::string connection);
    ~LogForwarder();
    LogForwarder(const LogForwarder&) = delete;
    LogForwarder& operator=(const LogForwarder&) = delete;

    // A record was committed: send it soon.
    void notify();
    Status status();
    // Waits until no record waits or `timeoutMs` has passed; true when none waits.
    bool drain(int64_t timeoutMs);

    // Pause between attempts while the server does not answer.
    static constexpr int RetryMs = 500;
    static constexpr int64_t Batch = 200;

private:
    enum class Attempt { Done, More, Failed };
    void loop();
    // One batch from the queue to the server.
    Attempt forwardOnce();

    SqliteLog& log_;
    std::unique_ptr<PostgresLog> server_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    bool pending_ = true;
    bool stopping_ = false;
    Status status_;
    std::thread thread_;
};
