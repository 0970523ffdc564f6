#pragma once

#include <string>
#include <vector>

// PostgreSQL for the station's tests (tests/support/pg-server): the run's
// server, which CTest starts before these tests and removes after them, or
// one a test starts for itself to stop and start again.

// The folder of the run's server (its Unix socket is there); fails the test
// and returns empty when there is none.
std::string SharedPgFolder();

// libpq's URI of a database on the server in folder.
std::string PgUri(const std::string& folder, const std::string& database);

// The rows of a query, each field as text ("" for NULL); fails the test
// when the query does.
std::vector<std::vector<std::string>> PgQuery(const std::string& uri, const std::string& sql);

// A database of its own for one test, dropped with the object.
class ScratchDatabase {
public:
    explicit ScratchDatabase(std::string folder);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    std::string Uri() const { return PgUri(m_folder, m_name); }

private:
    std::string m_folder;
    std::string m_name;
};

// A server of one test's own, removed with the object.
class OwnPgServer {
public:
    OwnPgServer();
    ~OwnPgServer();
    OwnPgServer(const OwnPgServer&) = delete;
    OwnPgServer& operator=(const OwnPgServer&) = delete;

    const std::string& Folder() const { return m_folder; }
    bool Stop();
    bool Start();

private:
    std::string m_folder;
};
