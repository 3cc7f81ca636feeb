#include "production/ProductionLog.h"

#include "production/SerialRule.h"

bool ProductionLog::isServerAddress(const std::string& target)
{
    return target.starts_with("postgresql://") || target.starts_with("postgres://");
}

std::unique_ptr<ProductionLog> ProductionLog::open(const std::vector<std::string>& targets, std::string& error,
                                                   int language)
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
    log->local_ = SqliteLog::open(file.empty() ? SqliteLog::defaultPath() : file, error, language);
    if (!log->local_)
        return nullptr;
    log->server_ = server;
    if (!server.empty()) {
        log->forwarder_ = std::make_unique<LogForwarder>(*log->local_, server);
        log->lease_ = std::make_unique<SerialLease>(server);
        log->local_->takeSerialsFromLeases();
    }
    return log;
}

Reservation ProductionLog::reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values)
{
    Reservation reservation = local_->reserve(chip, rule, values);
    if (reservation.outcome != Reservation::Outcome::LeaseNeeded)
        return reservation;
    if (!lease_) {
        reservation.outcome = Reservation::Outcome::LeaseUnreachable;
        return reservation;
    }
    std::lock_guard lock(leasing_);
    // Another programmer of the station may have leased a block meanwhile, and
    // the others may use up a new block before this one takes from it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        reservation = local_->reserve(chip, rule, values);
        if (reservation.outcome != Reservation::Outcome::LeaseNeeded)
            return reservation;
        const uint64_t floor = local_->peekSerial(chip.job, *rule).value_or(rule->first);
        PostgresSession::Reply failure;
        const std::optional<SerialLease::Block> block =
            lease_->lease(SqliteLog::sequenceKey(chip), chip.jobHash, floor, SerialLease::BlockSize, rule->step,
                          failure);
        if (!block) {
            reservation.outcome = Reservation::Outcome::LeaseFailed;
            reservation.error = failure.message;
            return reservation;
        }
        if (block->count == 0) {
            reservation.outcome = Reservation::Outcome::SerialsUsedUp;
            return reservation;
        }
        if (!local_->addLease(chip.job, SqliteLog::sequenceKey(chip), block->first, block->count,
                              reservation.error)) {
            reservation.outcome = Reservation::Outcome::Failed;
            return reservation;
        }
    }
    reservation.outcome = Reservation::Outcome::LeaseFailed;
    return reservation;
}

bool ProductionLog::commit(LogRecord& record, std::optional<uint64_t> returnedSerial, std::string& error,
                           int busyWaitMs)
{
    if (!local_->commit(record, returnedSerial, error, busyWaitMs))
        return false;
    if (forwarder_)
        forwarder_->notify();
    return true;
}
