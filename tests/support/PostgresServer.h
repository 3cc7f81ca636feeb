#pragma once

#include <filesystem>
#include <string>

// A PostgreSQL server of a test's own: initdb into a temporary folder, run as
// an unprivileged user (postgres or nobody when the test runs as root), on a
// free local port, with trust authentication for the user "belcor".
//
//   PostgresServer server;
//   if (!PostgresServer::available()) GTEST_SKIP() << PostgresServer::missingMessage();
//   ASSERT_TRUE(server.start()) << server.error();
class PostgresServer {
public:
    PostgresServer() = default;
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Whether the server's programs (initdb, pg_ctl, psql) are installed.
    static bool available();
    static std::string missingMessage();

    // The first start creates the cluster; later ones restart it on the same port.
    bool start();
    bool stop();
    const std::string& error() const { return error_; }

    // postgresql://belcor@127.0.0.1:PORT/postgres
    std::string url() const;
    // One query through psql; its rows, "|"-separated, one a line.
    std::string query(const std::string& sql) const;

private:
    bool run(const std::string& command, bool asServerUser);

    std::filesystem::path folder_;
    int port_ = 0;
    bool running_ = false;
    std::string error_;
};
