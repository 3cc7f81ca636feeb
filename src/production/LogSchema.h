#pragma once

#include <optional>
#include <string>

struct sqlite3;

// The station log's layout, kept as its database's user_version, and the
// steps that bring a log of an earlier layout to the newest one.
class LogSchema {
public:
    // The layout this program writes.
    static int newest();
    // The log's user_version; nothing, with `error` set, when it cannot be read.
    static std::optional<int> version(sqlite3* db, std::string& error);
    // Runs, in order, each step after the log's version, each in a transaction
    // of its own that also sets the version it reaches, so that a log left by
    // a failed step resumes there. A log from before versions were kept reads
    // as version 0, whatever tables it holds.
    static bool upgrade(sqlite3* db, std::string& error);
};
