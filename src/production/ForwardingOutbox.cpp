#include "production/ForwardingOutbox.h"

#include <sqlite3.h>

#include "production/LogRecordRow.h"
#include "production/SqliteStatement.h"
#include "production/SqliteTransaction.h"

std::vector<LogRecord> ForwardingOutbox::unforwarded(int64_t limit)
{
    std::vector<LogRecord> found;
    SqliteStatement rows(db_, (std::string(LogRecordRow::Select) + "WHERE forwarded = 0 ORDER BY id LIMIT ?1").c_str());
    rows.bind(1, limit);
    while (rows.step() == SQLITE_ROW)
        found.push_back(LogRecordRow::read(rows));
    return found;
}

bool ForwardingOutbox::markForwarded(int64_t throughId, std::string& error)
{
    SqliteStatement mark(db_, "UPDATE records SET forwarded = 1 WHERE forwarded = 0 AND id <= ?1");
    if (mark.bind(1, throughId).step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

int64_t ForwardingOutbox::unforwardedCount()
{
    SqliteStatement count(db_, "SELECT COUNT(*) FROM records WHERE forwarded = 0");
    return count.step() == SQLITE_ROW ? count.integer(0) : 0;
}

bool ForwardingOutbox::setAside(int64_t id, const std::string& reason, std::string& error)
{
    SqliteTransaction transaction(db_);
    SqliteStatement mark(db_, "UPDATE records SET forwarded = 2 WHERE id = ?1");
    SqliteStatement keep(db_, "INSERT OR REPLACE INTO set_aside(id, reason) VALUES(?1, ?2)");
    if (!transaction.begin() || mark.bind(1, id).step() != SQLITE_DONE ||
        keep.bind(1, id).bind(2, reason).step() != SQLITE_DONE || !transaction.commit()) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

SetAsideRecords ForwardingOutbox::setAsideRecords()
{
    SetAsideRecords found;
    SqliteStatement count(
        db_, "SELECT COUNT(*), (SELECT reason FROM set_aside ORDER BY id DESC LIMIT 1) FROM set_aside");
    if (count.step() == SQLITE_ROW) {
        found.count = count.integer(0);
        found.lastReason = count.text(1);
    }
    return found;
}
