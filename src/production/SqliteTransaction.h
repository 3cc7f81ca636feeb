#pragma once

#include <sqlite3.h>

// A write transaction that rolls back on every path that does not reach commit.
class SqliteTransaction {
public:
    explicit SqliteTransaction(sqlite3* db) : db_(db) {}
    ~SqliteTransaction()
    {
        if (open_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool begin() { return open_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK; }
    bool commit()
    {
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool open_ = false;
};
