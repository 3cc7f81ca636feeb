#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "production/SqliteLog.h"

class PostgresLog;

// Sends the station's records to the line server on a thread of its own, so
// that a slow or absent server never holds up a chip. Records wait in the
// station's SQLite log until the server has committed them, and go in their
// local order; a record sent twice (reply lost) is stored once there. A record
// the server refuses for a fault of its own is set aside, so that it never
// holds up the records after it.
class LogForwarder {
public:
    struct Status {
        bool reachable = false;  // the last attempt reached the server
        bool timedOut = false;   // the last attempt had no answer in time
        int64_t waiting = 0;     // records not yet confirmed
        std::string error;       // why the last attempt failed, on one line
        SetAsideRecords setAside;
    };

    LogForwarder(SqliteLog& log, const std::string& address);
    // Returns within a second or so whatever the server does; what it has
    // not confirmed waits in the station's log for the next run.
    ~LogForwarder();
    LogForwarder(const LogForwarder&) = delete;
    LogForwarder& operator=(const LogForwarder&) = delete;

    // A record was committed: send it soon.
    void notify();
    Status status();
    // Tries at once and waits until an attempt begun after the call finds no
    // record waiting (true), such an attempt has failed, or `timeoutMs` has
    // passed. An earlier attempt's count may predate the latest commit.
    bool drain(int64_t timeoutMs);

    // Pause between attempts while the server does not answer.
    static constexpr int RetryMs = 500;
    static constexpr int64_t Batch = 200;

private:
    enum class Attempt { Done, More, Failed, Stopped };
    void loop();
    // One batch from the queue to the server.
    Attempt forwardOnce();

    SqliteLog& log_;
    std::unique_ptr<PostgresLog> server_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable attempted_;
    bool pending_ = true;
    bool stopping_ = false;
    uint64_t attempts_ = 0;      // started so far
    uint64_t completed_ = 0;     // the number of the last attempt that ended
    uint64_t lastFailure_ = 0;   // the number of the last attempt that failed
    Status status_;
    std::thread thread_;
};
