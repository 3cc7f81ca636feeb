#include "production/ProductionLog.h"

bool ProductionLog::isServerAddress(const std::string& target)
{
    return target.starts_with("postgresql://") || target.starts_with("postgres://");
}

std::unique_ptr<ProductionLog> ProductionLog::open(const std::vector<std::string>& targets, std::string& error)
{
    std::string file;
    std::string server;
    for (const std::string& target : targets) {
        std::string& slot = isServerAddress(target) ? server : file;
        if (!slot.empty()) {
            error = "give at most one log database file and one postgresql:// address";
            return nullptr;
        }
        slot = target;
    }
    auto log = std::make_unique<ProductionLog>();
    log->local_ = SqliteLog::open(file.empty() ? SqliteLog::defaultPath() : file, error);
    if (!log->local_)
        return nullptr;
    log->server_ = server;
    if (!server.empty())
        log->forwarder_ = std::make_unique<LogForwarder>(*log->local_, server);
    return log;
}

bool ProductionLog::commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error)
{
    if (!local_->commit(record, returnedSerial, error))
        return false;
    if (forwarder_)
        forwarder_->notify();
    return true;
}
