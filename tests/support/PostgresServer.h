#pragma once

#include <filesystem>
#include <string>

struct pg_conn;

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

    // Tests run the server without fsync; benchmarks measure it as deployed.
    void setDurable(bool durable) { durable_ = durable; }
    // The first start creates the cluster; later ones restart it on the same port.
    bool start();
    bool stop();
    const std::string& error() const { return error_; }

    // Every process of the server stops (SIGSTOP) or goes on (SIGCONT): a
    // server that accepts connections and never answers.
    bool freeze();
    bool thaw();
    // Another session takes the table's strongest lock and holds it until
    // releaseTable() (or the end of the server).
    bool lockTable(const std::string& table);
    void releaseTable();

    // postgresql://USER@127.0.0.1:PORT/postgres
    std::string url(const std::string& user = "belcor") const;
    // One query through psql; its rows, "|"-separated, one a line.
    std::string query(const std::string& sql) const;

private:
    bool run(const std::string& command, bool asServerUser);
    bool signalAll(int signal);

    std::filesystem::path folder_;
    int port_ = 0;
    bool running_ = false;
    bool durable_ = false;
    bool frozen_ = false;
    pg_conn* lockHolder_ = nullptr;
    std::string error_;
};
