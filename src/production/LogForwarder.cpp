#include "production/LogForwarder.h"

#include <chrono>

#include "production/PostgresLog.h"
#include "production/SqliteLog.h"

LogForwarder::LogForwarder(SqliteLog& log, std::string connection)
    : log_(log), server_(std::make_unique<PostgresLog>(std::move(connection)))
{
    status_.waiting = log_.unforwardedCount();
    thread_ = std::thread([this] { loop(); });
}

LogForwarder::~LogForwarder()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
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
    return drained_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return status_.waiting == 0; });
}

LogForwarder::Attempt LogForwarder::forwardOnce()
{
    const std::vector<LogRecord> records = log_.unforwarded(Batch);
    std::string error;
    const bool sent = records.empty() ||
                      (server_->store(records, error) && log_.markForwarded(records.back().id, error));
    const int64_t waiting = log_.unforwardedCount();
    std::lock_guard lock(mutex_);
    status_.reachable = sent;
    status_.error = error;
    status_.waiting = waiting;
    if (waiting == 0)
        drained_.notify_all();
    if (!sent)
        return Attempt::Failed;
    return records.size() < static_cast<size_t>(Batch) ? Attempt::Done : Attempt::More;
}

void LogForwarder::loop()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        pending_ = false;
        lock.unlock();
        const Attempt attempt = forwardOnce();
        lock.lock();
        if (attempt == Attempt::More)
            pending_ = true;
        else if (attempt == Attempt::Failed)
            wake_.wait_for(lock, std::chrono::milliseconds(RetryMs), [this] { return stopping_; });
        else
            wake_.wait(lock, [this] { return pending_ || stopping_; });
    }
}
