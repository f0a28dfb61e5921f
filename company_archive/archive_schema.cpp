#include "company_archive/archive_schema.h"

#include "company_archive/archive_migrations.h"

namespace korsi::company {

namespace {

// The group roles are the cluster's, shared by every database on it; another
// database's init may be making them at the same moment.
constexpr const char* kRolesSql = R"sql(
DO $$
DECLARE
  r text;
BEGIN
  FOREACH r IN ARRAY ARRAY['korsi7_inspector', 'korsi7_reviewer', 'korsi7_admin'] LOOP
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN
      BEGIN
        EXECUTE format('CREATE ROLE %I NOLOGIN', r);
      EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
      END;
    END IF;
  END LOOP;
  IF NOT pg_has_role('korsi7_reviewer', 'korsi7_inspector', 'MEMBER') THEN
    BEGIN
      GRANT korsi7_inspector TO korsi7_reviewer;
    EXCEPTION WHEN unique_violation THEN NULL;
    END;
  END IF;
  IF NOT pg_has_role(current_user, 'korsi7_admin', 'MEMBER') THEN
    EXECUTE format('GRANT korsi7_admin TO %I', current_user);
  END IF;
END $$;
)sql";

// Any number, the same in every copy of the program: two administrators
// upgrading one database at once take turns.
constexpr const char* kLockSql = "SELECT pg_advisory_xact_lock(7317092025)";

}  // namespace

std::optional<int> serverSchemaVersion(PgConnection& db) {
  Result exists = db.run("SELECT to_regclass('korsi7.schema_version') IS NOT NULL");
  if (!exists) return std::nullopt;
  if (PQgetvalue(exists.get(), 0, 0)[0] != 't') return 0;
  Result version = db.run("SELECT coalesce(max(version), 0) FROM korsi7.schema_version");
  if (!version) return std::nullopt;
  return std::stoi(PQgetvalue(version.get(), 0, 0));
}

SchemaOutcome prepareArchive(PgConnection& db, bool create) {
  SchemaOutcome out;
  const auto failed = [&] {
    out.failure = db.abandon();
    return out;
  };
  if (!db.runScript("BEGIN") || !db.runScript(kLockSql)) return failed();
  const std::optional<int> version = serverSchemaVersion(db);
  if (!version) return failed();
  out.from = out.to = *version;
  const int known = knownSchemaVersion();
  if (*version > known) {
    db.runScript("ROLLBACK");
    out.failure = {FailureKind::SchemaTooNew, {},
                   "Архив компании на сервере новее этой программы (схема " + std::to_string(*version) +
                       ", программа знает схему " + std::to_string(known) + "); обновите программу"};
    return out;
  }
  if (*version == 0 && !create) {
    db.runScript("ROLLBACK");
    out.failure = {FailureKind::NotInitialised, {},
                   "Архив компании на сервере не создан: сначала korsi7-transfer archive init"};
    return out;
  }
  if (!db.runScript(kRolesSql)) return failed();
  if (*version == 0 && !db.runScript("CREATE SCHEMA IF NOT EXISTS korsi7 AUTHORIZATION korsi7_admin")) return failed();
  // The schema's objects belong to korsi7_admin, not to whoever ran this.
  if (!db.runScript("SET LOCAL ROLE korsi7_admin")) return failed();
  for (const Migration& m : migrations()) {
    if (m.version <= *version) continue;
    if (!db.runScript(m.sql)) return failed();
    if (!db.run("INSERT INTO korsi7.schema_version (version) VALUES ($1)", {std::to_string(m.version)})) {
      return failed();
    }
    out.to = m.version;
  }
  if (!db.runScript("COMMIT")) return failed();
  return out;
}

}  // namespace korsi::company
