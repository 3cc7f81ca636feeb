#include "production/ProductionLog.h"

#include "production/JobValues.h"
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
        log->valueLease_ = std::make_unique<ValueLease>(server);
        log->local_->takeSerialsFromLeases();
        log->local_->takeValuesFromLeases();
    }
    return log;
}

namespace {

bool needsLease(const Reservation& reservation)
{
    return reservation.outcome == Reservation::Outcome::LeaseNeeded ||
           reservation.outcome == Reservation::Outcome::ValueLeaseNeeded;
}

}  // namespace

Reservation ProductionLog::reserve(LogRecord& chip, const SerialRule* rule, const JobValues* values)
{
    Reservation reservation = local_->reserve(chip, rule, values);
    if (!needsLease(reservation))
        return reservation;
    if (!lease_) {
        if (reservation.outcome == Reservation::Outcome::LeaseNeeded) {
            reservation.outcome = Reservation::Outcome::LeaseUnreachable;
        } else {
            reservation.outcome = Reservation::Outcome::ValueLeaseFailed;
            reservation.error = "no line server is given";
        }
        return reservation;
    }
    std::lock_guard lock(leasing_);
    // Another programmer of the station may have leased meanwhile, and the
    // others may use up a new block before this one takes from it. A chip may
    // lack a lease of its serials and of each of its fields.
    const size_t attempts = 3 * (1 + (values ? values->size() : 0));
    for (size_t attempt = 0; attempt < attempts; ++attempt) {
        reservation = local_->reserve(chip, rule, values);
        if (reservation.outcome == Reservation::Outcome::LeaseNeeded) {
            if (!leaseSerials(chip, *rule, reservation))
                return reservation;
        } else if (reservation.outcome == Reservation::Outcome::ValueLeaseNeeded) {
            if (!leaseValues(chip, *values, reservation.valueField, reservation))
                return reservation;
        } else {
            return reservation;
        }
    }
    if (reservation.outcome == Reservation::Outcome::ValueLeaseNeeded) {
        reservation.outcome = Reservation::Outcome::ValueLeaseFailed;
        reservation.error = "the station's other programmers used up every block leased";
    } else {
        reservation.outcome = Reservation::Outcome::LeaseFailed;
    }
    return reservation;
}

bool ProductionLog::leaseSerials(const LogRecord& chip, const SerialRule& rule, Reservation& reservation)
{
    const uint64_t floor = local_->peekSerial(chip.job, rule).value_or(rule.first);
    PostgresSession::Reply failure;
    const std::optional<SerialLease::Block> block =
        lease_->lease(SqliteLog::sequenceKey(chip), chip.jobHash, floor, SerialLease::BlockSize, rule.step, failure);
    if (!block) {
        reservation.outcome = Reservation::Outcome::LeaseFailed;
        reservation.error = failure.message;
        return false;
    }
    if (block->count == 0) {
        reservation.outcome = Reservation::Outcome::SerialsUsedUp;
        return false;
    }
    if (!local_->addLease(chip.job, SqliteLog::sequenceKey(chip), block->first, block->count, reservation.error)) {
        reservation.outcome = Reservation::Outcome::Failed;
        return false;
    }
    return true;
}

bool ProductionLog::leaseValues(const LogRecord& chip, const JobValues& values, size_t index,
                                Reservation& reservation)
{
    const std::string field = values.field(index).name();
    PostgresSession::Reply failure;
    const std::optional<std::vector<std::string>> keys =
        valueLease_->lease(SqliteLog::sequenceKey(chip), values, index, local_->lastValue(chip.job, field), failure);
    if (!keys) {
        reservation.outcome = Reservation::Outcome::ValueLeaseFailed;
        reservation.error = failure.message;
        return false;
    }
    if (keys->empty()) {
        reservation.outcome = Reservation::Outcome::ValuesUsedUp;
        reservation.error = field;
        return false;
    }
    if (!local_->addValueLease(chip.job, field, *keys, reservation.error)) {
        reservation.outcome = Reservation::Outcome::Failed;
        return false;
    }
    return true;
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
