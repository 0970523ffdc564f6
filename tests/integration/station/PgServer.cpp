#include "PgServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "ChildProcess.h"

namespace {

std::string Script() {
    const char* script = std::getenv("VELTRIX_PG_SERVER");
    return script ? script : VELTRIX_SOURCE_DIR "/tests/support/pg-server";
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

ChildResult RunScript(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {Script()};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildResult result = RunChild(argv, 90000);
    EXPECT_EQ(result.exitCode, 0) << "pg-server " << args[0] << ": " << result.err;
    return result;
}

}  // namespace

std::string SharedPgFolder() {
    const char* file = std::getenv("VELTRIX_TEST_PG_FILE");
    std::string folder;
    if (file) std::getline(std::ifstream(file), folder);
    EXPECT_FALSE(folder.empty()) << "no PostgreSQL server for the tests: run them through ctest, which starts one";
    return folder;
}

std::string PgUri(const std::string& folder, const std::string& database) {
    return "postgresql:///" + database + "?host=" + folder + "&user=veltrix";
}

std::vector<std::vector<std::string>> PgQuery(const std::string& uri, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    PGconn* connection = PQconnectdb(uri.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        ADD_FAILURE() << uri << ": " << PQerrorMessage(connection);
        PQfinish(connection);
        return rows;
    }
    PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) ADD_FAILURE() << sql << ": " << PQresultErrorMessage(result);
    for (int row = 0; status == PGRES_TUPLES_OK && row < PQntuples(result); ++row) {
        rows.emplace_back();
        for (int field = 0; field < PQnfields(result); ++field)
            rows.back().push_back(PQgetisnull(result, row, field) ? "" : PQgetvalue(result, row, field));
    }
    PQclear(result);
    PQfinish(connection);
    return rows;
}

ScratchDatabase::ScratchDatabase(std::string folder) : m_folder(std::move(folder)) {
    std::random_device random;
    m_name = "test_" + std::to_string(random() % 1000000000);
    PgQuery(PgUri(m_folder, "postgres"), "CREATE DATABASE " + m_name);
}

ScratchDatabase::~ScratchDatabase() {
    PgQuery(PgUri(m_folder, "postgres"), "DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
}

OwnPgServer::OwnPgServer() { m_folder = Trimmed(RunScript({"start"}).out); }

OwnPgServer::~OwnPgServer() {
    if (!m_folder.empty()) RunScript({"remove", m_folder});
}

bool OwnPgServer::Stop() { return RunScript({"stop", m_folder}).exitCode == 0; }

bool OwnPgServer::Start() { return RunScript({"start", m_folder}).exitCode == 0; }
