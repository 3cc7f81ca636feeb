#include "production/LogForwarder.h"

#include <chrono>

#include "production/PostgresLog.h"

LogForwarder::LogForwarder(SqliteLog& log, const std::string& address)
    : log_(log), server_(std::make_unique<PostgresLog>(address))
{
    status_.waiting = log_.unforwardedCount();
    status_.setAside = log_.setAsideRecords();
    thread_ = std::thread([this] { loop(); });
}

LogForwarder::~LogForwarder()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    server_->stop();
    wake_.notify_all();
    thread_.join();
}

void LogForwarder::notify()
{
    {
        std::lock_guard lock(mutex_);
        pending_ = true;
        ++status_.waiting;
    }
    wake_.notify_all();
}

LogForwarder::Status LogForwarder::status()
{
    std::lock_guard lock(mutex_);
    return status_;
}

bool LogForwarder::drain(int64_t timeoutMs)
{
    std::unique_lock lock(mutex_);
    const uint64_t before = attempts_;
    pending_ = true;
    wake_.notify_all();
    attempted_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return (completed_ > before && status_.waiting == 0) || lastFailure_ > before; });
    return completed_ > before && status_.waiting == 0;
}

LogForwarder::Attempt LogForwarder::forwardOnce()
{
    uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        number = ++attempts_;
    }
    const std::vector<LogRecord> records = log_.unforwarded(Batch);
    std::optional<size_t> rejected;
    const PostgresSession::Reply reply = server_->store(records, rejected);
    if (reply.status == PostgresSession::Reply::Status::Stopped)
        return Attempt::Stopped;
    std::string error = reply.message;
    bool moved = false;
    if (reply.ok())
        moved = records.empty() || log_.markForwarded(records.back().id, error);
    else if (rejected)
        moved = log_.setAside(records[*rejected].id, reply.message, error);
    const int64_t waiting = log_.unforwardedCount();
    const SetAsideRecords setAside = log_.setAsideRecords();

    std::lock_guard lock(mutex_);
    status_.reachable = reply.ok() || rejected;
    status_.timedOut = reply.status == PostgresSession::Reply::Status::NoAnswer;
    status_.error = moved ? std::string() : error;
    status_.waiting = waiting;
    status_.setAside = setAside;
    completed_ = number;
    if (!moved)
        lastFailure_ = number;
    attempted_.notify_all();
    if (!moved)
        return Attempt::Failed;
    // After a record set aside, the rest of its batch goes at once.
    return rejected || records.size() == static_cast<size_t>(Batch) ? Attempt::More : Attempt::Done;
}

void LogForwarder::loop()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        pending_ = false;
        lock.unlock();
        const Attempt attempt = forwardOnce();
        lock.lock();
        if (attempt == Attempt::Stopped)
            return;
        if (attempt == Attempt::More)
            pending_ = true;
        else if (attempt == Attempt::Failed)
            wake_.wait_for(lock, std::chrono::milliseconds(RetryMs), [this] { return pending_ || stopping_; });
        else
            wake_.wait(lock, [this] { return pending_ || stopping_; });
    }
}
