#pragma once
// The company archive's tests against a real PostgreSQL 15: the private
// cluster that CTest starts before them (scripts/pg-test-server.sh, the
// fixture company_archive_server), a database of each test's own on it with
// the archive made by init, and login roles of its own: two inspectors and
// a reviewer. Without the cluster a test fails; it never passes unrun.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <string>

#include "company_archive/archive_schema.h"
#include "company_archive/pg_connection.h"
#include "tests/support/tempdir.h"

namespace korsi::test {

// key=value lines of the state file the script writes.
inline std::map<std::string, std::string> serverState(const std::string& path) {
  std::map<std::string, std::string> values;
  const std::string text = readFile(path);
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (const auto eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return values;
}

// A connection URI on a cluster's socket for a role and a database.
inline std::string socketUri(const std::map<std::string, std::string>& state, const std::string& role,
                             const std::string& database) {
  return "postgresql://" + role + "@/" + database + "?host=" + state.at("host") + "&port=" + state.at("port");
}

inline std::string uniqueName(const std::string& stem) {
  static std::atomic<int> counter{0};
  return stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

// Runs SQL as the cluster's superuser; fails the test when refused.
inline void superuserSql(const std::string& uri, const std::string& sql) {
  company::PgConnection db(uri);
  ASSERT_TRUE(db.ok()) << db.failure().message;
  ASSERT_TRUE(db.runScript(sql)) << sql << ": " << db.failure().message;
}

struct ArchiveOnServer {
  std::map<std::string, std::string> state;
  std::string database;
  std::string admin;       // the superuser's URI on the database
  std::string inspectorA;  // role names
  std::string inspectorB;
  std::string reviewer;
  std::string uri(const std::string& role) const { return socketUri(state, role, database); }
};

// A new database on the cluster in `statePath` with the archive made and
// three login roles.
inline void makeArchive(const std::string& statePath, ArchiveOnServer& out) {
  out.state = serverState(statePath);
  ASSERT_TRUE(out.state.contains("host")) << "no PostgreSQL test cluster: " << statePath
                                          << " is missing (CTest starts it with scripts/pg-test-server.sh)";
  out.database = uniqueName("korsi7_test");
  superuserSql(socketUri(out.state, "postgres", "postgres"), "CREATE DATABASE " + out.database);
  out.admin = out.uri("postgres");
  {
    company::PgConnection db(out.admin);
    ASSERT_TRUE(db.ok()) << db.failure().message;
    const company::SchemaOutcome made = company::prepareArchive(db, true);
    ASSERT_FALSE(made.failure) << made.failure.message;
  }
  out.inspectorA = uniqueName("anna");
  out.inspectorB = uniqueName("boris");
  out.reviewer = uniqueName("vera");
  superuserSql(out.admin, "CREATE ROLE " + out.inspectorA + " LOGIN IN ROLE korsi7_inspector; CREATE ROLE " +
                              out.inspectorB + " LOGIN IN ROLE korsi7_inspector; CREATE ROLE " + out.reviewer +
                              " LOGIN IN ROLE korsi7_reviewer");
}

// The shared cluster of the fixture.
inline void makeArchive(ArchiveOnServer& out) { makeArchive(KORSI_PG_TEST_STATE, out); }

}  // namespace korsi::test
