#include "company_archive/archive_migrations.h"

namespace korsi::company {

namespace {

// 1: jobs, their revisions with areas, readings and report summaries, the
// audit log; who may do what (row-level security, grants, triggers).
//
// A job belongs to the role that first published it. Every publication of
// changed content is a new revision; nothing published is ever overwritten.
// An approved revision is immutable, for every role. The audit log is written
// by triggers only.
constexpr const char* kMigration1 = R"sql(
CREATE TABLE korsi7.schema_version (
  version integer PRIMARY KEY,
  applied_at timestamptz NOT NULL DEFAULT now(),
  applied_by name NOT NULL DEFAULT session_user
);

-- One row per job: its identity and owner, and a copy of its current
-- revision's list columns (kept by a trigger) so that a list reads one row
-- per job through an index.
CREATE TABLE korsi7.jobs (
  id uuid PRIMARY KEY,
  owner name NOT NULL DEFAULT current_user,
  created_at timestamptz NOT NULL DEFAULT now(),
  current_revision integer NOT NULL DEFAULT 0,
  object text NOT NULL DEFAULT '',
  client text NOT NULL DEFAULT '',
  inspector text NOT NULL DEFAULT '',
  verdict text NOT NULL DEFAULT 'none',
  published_at timestamptz,
  approved_at timestamptz,
  approved_by name
);
CREATE INDEX jobs_by_object ON korsi7.jobs (object, published_at);
CREATE INDEX jobs_by_client ON korsi7.jobs (client, published_at);
CREATE INDEX jobs_by_inspector ON korsi7.jobs (inspector, published_at);
CREATE INDEX jobs_by_owner ON korsi7.jobs (owner, published_at);
CREATE INDEX jobs_by_published ON korsi7.jobs (published_at);

CREATE TABLE korsi7.revisions (
  job_id uuid NOT NULL REFERENCES korsi7.jobs (id),
  revision integer NOT NULL CHECK (revision > 0),
  content_hash text NOT NULL,
  object text NOT NULL,
  client text NOT NULL,
  coating_system text NOT NULL,
  coat text NOT NULL,
  inspector text NOT NULL,
  gauge text NOT NULL,
  gauge_serial text NOT NULL,
  job_date text NOT NULL,
  rule text NOT NULL,
  unit text NOT NULL,
  nominal double precision,
  maximum double precision,
  level integer NOT NULL,
  spot_size bigint NOT NULL,
  set_up text NOT NULL,
  measured_correction double precision,
  verdict text NOT NULL,
  verdict_text text NOT NULL,
  published_by name NOT NULL DEFAULT current_user,
  published_at timestamptz NOT NULL DEFAULT now(),
  approved_by name,
  approved_at timestamptz,
  PRIMARY KEY (job_id, revision),
  -- The same content of a job is stored once, however often it is sent.
  UNIQUE (job_id, content_hash)
);

-- The rows of a revision. Their revision is checked once per statement
-- (korsi7.check_added_rows) instead of a key check per row, so that a job of
-- 65,535 readings is stored in one quick COPY.
CREATE TABLE korsi7.areas (
  job_id uuid NOT NULL,
  revision integer NOT NULL,
  position integer NOT NULL,
  name text NOT NULL,
  surface_m2 double precision,
  surface_ft2 double precision,
  kind text,
  numbers text NOT NULL,
  reading_count integer NOT NULL,
  rule text,
  nominal double precision,
  maximum double precision,
  level integer,
  spot_size bigint,
  PRIMARY KEY (job_id, revision, position)
);

CREATE TABLE korsi7.readings (
  job_id uuid NOT NULL,
  revision integer NOT NULL,
  num integer NOT NULL,
  gauge_time timestamp,
  thickness_mm double precision NOT NULL,
  note text,
  transferred_at timestamptz,
  PRIMARY KEY (job_id, revision, num)
);

CREATE TABLE korsi7.report_summaries (
  job_id uuid NOT NULL,
  revision integer NOT NULL,
  position integer NOT NULL,
  reading_count integer NOT NULL,
  mean_um double precision,
  minimum_um double precision,
  maximum_um double precision,
  std_dev_um double precision,
  verdict text NOT NULL,
  verdict_text text NOT NULL,
  PRIMARY KEY (job_id, revision, position)
);

CREATE TABLE korsi7.audit_log (
  id bigserial PRIMARY KEY,
  at timestamptz NOT NULL DEFAULT now(),
  who name NOT NULL,
  session_role name NOT NULL DEFAULT session_user,
  action text NOT NULL,
  job_id uuid NOT NULL,
  revision integer,
  old_verdict text,
  new_verdict text
);
CREATE INDEX audit_by_job ON korsi7.audit_log (job_id, at);

-- Rows of a revision are added only to a revision that exists, is not
-- approved, and was published by the role adding them to its own job.
CREATE FUNCTION korsi7.check_added_rows() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  bad record;
BEGIN
  SELECT a.job_id, a.revision INTO bad
    FROM (SELECT DISTINCT job_id, revision FROM added) a
    LEFT JOIN korsi7.revisions r ON r.job_id = a.job_id AND r.revision = a.revision
    LEFT JOIN korsi7.jobs j ON j.id = a.job_id
   WHERE r.job_id IS NULL OR r.approved_at IS NOT NULL
      OR j.owner IS DISTINCT FROM current_user OR r.published_by IS DISTINCT FROM current_user
   LIMIT 1;
  IF FOUND THEN
    RAISE EXCEPTION 'revision % of job % is not an unapproved revision of the role''s own job',
      bad.revision, bad.job_id USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN NULL;
END $$;

CREATE TRIGGER areas_added AFTER INSERT ON korsi7.areas
  REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION korsi7.check_added_rows();
CREATE TRIGGER readings_added AFTER INSERT ON korsi7.readings
  REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION korsi7.check_added_rows();
CREATE TRIGGER summaries_added AFTER INSERT ON korsi7.report_summaries
  REFERENCING NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION korsi7.check_added_rows();

-- Rows of an approved revision never change, whoever asks (the tables'
-- owner included).
CREATE FUNCTION korsi7.keep_approved_rows() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF EXISTS (SELECT 1 FROM korsi7.revisions r
              WHERE r.job_id = OLD.job_id AND r.revision = OLD.revision AND r.approved_at IS NOT NULL) THEN
    RAISE EXCEPTION 'revision % of job % is approved and cannot be changed', OLD.revision, OLD.job_id
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
END $$;
CREATE TRIGGER areas_kept BEFORE UPDATE OR DELETE ON korsi7.areas
  FOR EACH ROW EXECUTE FUNCTION korsi7.keep_approved_rows();
CREATE TRIGGER readings_kept BEFORE UPDATE OR DELETE ON korsi7.readings
  FOR EACH ROW EXECUTE FUNCTION korsi7.keep_approved_rows();
CREATE TRIGGER summaries_kept BEFORE UPDATE OR DELETE ON korsi7.report_summaries
  FOR EACH ROW EXECUTE FUNCTION korsi7.keep_approved_rows();

-- A revision changes once: when it is approved, and then only its approval.
CREATE FUNCTION korsi7.guard_revision() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF OLD.approved_at IS NOT NULL THEN
    RAISE EXCEPTION 'revision % of job % is approved and cannot be changed', OLD.revision, OLD.job_id
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  IF TG_OP = 'DELETE' THEN
    RETURN OLD;
  END IF;
  IF (to_jsonb(NEW) - 'approved_by' - 'approved_at') IS DISTINCT FROM (to_jsonb(OLD) - 'approved_by' - 'approved_at')
     OR NEW.approved_at IS NULL OR NEW.approved_by IS NULL THEN
    RAISE EXCEPTION 'a published revision is only approved, never changed' USING ERRCODE = 'insufficient_privilege';
  END IF;
  NEW.approved_at := now();
  RETURN NEW;
END $$;
CREATE TRIGGER revisions_guarded BEFORE UPDATE OR DELETE ON korsi7.revisions
  FOR EACH ROW EXECUTE FUNCTION korsi7.guard_revision();

-- The job's list columns and the audit log follow each publication and
-- approval. These run with the schema owner's rights: the roles that publish
-- and approve may neither change a job's row nor write the log themselves.
-- The actor is the revision's published_by or approved_by, which the
-- policies below hold to the role's own name.
CREATE FUNCTION korsi7.revision_published() RETURNS trigger LANGUAGE plpgsql
  SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  previous text;
BEGIN
  SELECT verdict INTO previous FROM korsi7.jobs WHERE id = NEW.job_id AND current_revision > 0;
  UPDATE korsi7.jobs
     SET current_revision = NEW.revision, object = NEW.object, client = NEW.client, inspector = NEW.inspector,
         verdict = NEW.verdict, published_at = NEW.published_at, approved_at = NULL, approved_by = NULL
   WHERE id = NEW.job_id AND current_revision < NEW.revision;
  INSERT INTO korsi7.audit_log (who, action, job_id, revision, old_verdict, new_verdict)
  VALUES (NEW.published_by, CASE WHEN NEW.revision = 1 THEN 'publish' ELSE 'revise' END, NEW.job_id, NEW.revision,
          previous, NEW.verdict);
  RETURN NULL;
END $$;
CREATE TRIGGER revisions_published AFTER INSERT ON korsi7.revisions
  FOR EACH ROW EXECUTE FUNCTION korsi7.revision_published();

CREATE FUNCTION korsi7.revision_approved() RETURNS trigger LANGUAGE plpgsql
  SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  UPDATE korsi7.jobs SET approved_at = NEW.approved_at, approved_by = NEW.approved_by
   WHERE id = NEW.job_id AND current_revision = NEW.revision;
  INSERT INTO korsi7.audit_log (who, action, job_id, revision, old_verdict, new_verdict)
  VALUES (NEW.approved_by, 'approve', NEW.job_id, NEW.revision, OLD.verdict, NEW.verdict);
  RETURN NULL;
END $$;
CREATE TRIGGER revisions_approved AFTER UPDATE ON korsi7.revisions
  FOR EACH ROW EXECUTE FUNCTION korsi7.revision_approved();

CREATE FUNCTION korsi7.keep_log() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'the audit log is never changed' USING ERRCODE = 'insufficient_privilege';
END $$;
CREATE TRIGGER audit_kept BEFORE UPDATE OR DELETE ON korsi7.audit_log
  FOR EACH ROW EXECUTE FUNCTION korsi7.keep_log();

-- Who may see and add what. The rows of a revision (areas, readings,
-- summaries) are read by all and added through COPY, which row-level
-- security would refuse: korsi7.check_added_rows holds them to the rule
-- instead, and nobody but the owner may change or remove them.
ALTER TABLE korsi7.jobs ENABLE ROW LEVEL SECURITY;
ALTER TABLE korsi7.revisions ENABLE ROW LEVEL SECURITY;
ALTER TABLE korsi7.audit_log ENABLE ROW LEVEL SECURITY;

CREATE POLICY company_reads ON korsi7.jobs FOR SELECT USING (true);
CREATE POLICY own_jobs ON korsi7.jobs FOR INSERT WITH CHECK (owner = current_user);

CREATE POLICY company_reads ON korsi7.revisions FOR SELECT USING (true);
CREATE POLICY own_revisions ON korsi7.revisions FOR INSERT
  WITH CHECK (published_by = current_user AND approved_by IS NULL AND approved_at IS NULL
              AND EXISTS (SELECT 1 FROM korsi7.jobs j WHERE j.id = job_id AND j.owner = current_user));
CREATE POLICY reviewers_approve ON korsi7.revisions FOR UPDATE TO korsi7_reviewer
  USING (approved_at IS NULL) WITH CHECK (approved_by = current_user);

CREATE POLICY reviewers_read ON korsi7.audit_log FOR SELECT TO korsi7_reviewer USING (true);

GRANT USAGE ON SCHEMA korsi7 TO korsi7_inspector;
GRANT SELECT ON korsi7.schema_version, korsi7.jobs, korsi7.revisions, korsi7.areas, korsi7.readings,
  korsi7.report_summaries TO korsi7_inspector;
GRANT INSERT ON korsi7.jobs, korsi7.revisions, korsi7.areas, korsi7.readings, korsi7.report_summaries
  TO korsi7_inspector;
GRANT UPDATE (approved_by, approved_at) ON korsi7.revisions TO korsi7_reviewer;
GRANT SELECT ON korsi7.audit_log TO korsi7_reviewer;
REVOKE ALL ON FUNCTION korsi7.check_added_rows(), korsi7.keep_approved_rows(), korsi7.guard_revision(),
  korsi7.revision_published(), korsi7.revision_approved(), korsi7.keep_log() FROM PUBLIC;
)sql";

constexpr Migration kMigrations[] = {
    {1, kMigration1},
};

}  // namespace

std::span<const Migration> migrations() { return kMigrations; }

int knownSchemaVersion() { return kMigrations[std::size(kMigrations) - 1].version; }

}  // namespace korsi::company
