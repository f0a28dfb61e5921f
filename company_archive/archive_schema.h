#pragma once
// Making and upgrading the company archive on a server: the three group
// roles (korsi7_inspector, korsi7_reviewer, a member of the inspectors, and
// korsi7_admin, who owns the schema), then the migrations the server lacks,
// all in one transaction. Run by an administrator: a superuser, or a role
// that may create roles and schemas in the database.

#include "company_archive/pg_connection.h"

namespace korsi::company {

inline constexpr const char* kInspectorRole = "korsi7_inspector";
inline constexpr const char* kReviewerRole = "korsi7_reviewer";
inline constexpr const char* kAdminRole = "korsi7_admin";

struct SchemaOutcome {
  ServerFailure failure;
  int from = 0;  // the server's schema version before (0: none)
  int to = 0;    // and after
};

// init (create = true) makes the archive where there is none and upgrades
// one that is there; upgrade (create = false) refuses a server without one.
// Both refuse a server whose schema is newer than this program's.
SchemaOutcome prepareArchive(PgConnection& db, bool create);

// The server's schema version: 0 when there is no archive; nothing (and the
// connection's failure set) when it cannot be read.
std::optional<int> serverSchemaVersion(PgConnection& db);

}  // namespace korsi::company
