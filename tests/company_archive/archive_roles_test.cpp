// Who may do what, decided by the server: two inspectors and a reviewer as
// real roles. An inspector changes neither another's job nor an approved
// one and approves nothing; a reviewer approves; an approved revision never
// changes, for any role, but the job gets new revisions; the audit log is
// written by the server and cannot be changed.
#include <gtest/gtest.h>

#include "company_archive/archive_browse.h"
#include "company_archive/archive_publish.h"
#include "tests/company_archive/archive_server.h"
#include "tests/company_archive/sample_jobs.h"

namespace korsi::company {
namespace {

class ArchiveRoles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(test::makeArchive(server_));
    job_ = test::sampleArchiveJob();
    PgConnection db(server_.uri(server_.inspectorA));
    const PublishOutcome first = publishJob(db, job_);
    ASSERT_FALSE(first.failure) << first.failure.message;
  }
  // What the server says to a statement run as a role.
  ServerFailure asRole(const std::string& role, const std::string& sql) {
    PgConnection db(server_.uri(role));
    EXPECT_TRUE(db.ok()) << db.failure().message;
    db.run(sql, {});
    return db.failure();
  }
  std::string one(const std::string& sql) {
    PgConnection db(server_.admin);
    const Result r = db.run(sql);
    EXPECT_TRUE(r) << db.failure().message;
    return r && PQntuples(r.get()) > 0 ? PQgetvalue(r.get(), 0, 0) : "";
  }
  job::InspectionJob changedJob() const {
    job::InspectionJob c = job_;
    c.readings[0].h = 0.5;
    return c;
  }

  test::ArchiveOnServer server_;
  job::InspectionJob job_;
};

TEST_F(ArchiveRoles, AnInspectorNeitherChangesAnothersJobNorApproves) {
  PgConnection boris(server_.uri(server_.inspectorB));
  const PublishOutcome revision = publishJob(boris, changedJob());
  EXPECT_EQ(revision.failure.kind, FailureKind::Permission) << revision.failure.message;
  EXPECT_NE(revision.failure.message.find("Нет прав"), std::string::npos);
  const Approval approval = approveJob(boris, job_.id);
  EXPECT_EQ(approval.failure.kind, FailureKind::Permission) << approval.failure.message;
  PgConnection anna(server_.uri(server_.inspectorA));
  EXPECT_EQ(approveJob(anna, job_.id).failure.kind, FailureKind::Permission);

  // Nor around the program: straight statements are refused as well.
  const std::string id = "'" + job_.id + "'";
  const std::string attempts[] = {
      "UPDATE korsi7.revisions SET verdict = 'pass' WHERE job_id = " + id,
      "UPDATE korsi7.readings SET thickness_mm = 1 WHERE job_id = " + id,
      "DELETE FROM korsi7.readings WHERE job_id = " + id,
      "DELETE FROM korsi7.jobs WHERE id = " + id,
      "UPDATE korsi7.jobs SET owner = current_user WHERE id = " + id,
      "INSERT INTO korsi7.readings (job_id, revision, num, thickness_mm) VALUES (" + id + ", 1, 999, 0.1)",
      "INSERT INTO korsi7.revisions (job_id, revision, content_hash, object, client, coating_system, coat, inspector,"
      " gauge, gauge_serial, job_date, rule, unit, level, spot_size, set_up, verdict, verdict_text) VALUES (" +
          id + ", 9, 'x', '', '', '', '', '', '', '', '', 'iso19840', 'um', 3, 3, 'none', 'pass', '')",
      "INSERT INTO korsi7.audit_log (who, action, job_id) VALUES (current_user, 'approve', " + id + ")",
      "INSERT INTO korsi7.jobs (id, owner) VALUES (gen_random_uuid(), 'someone_else')",
  };
  for (const std::string& sql : attempts) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(asRole(server_.inspectorB, sql).kind, FailureKind::Permission);
  }
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.readings WHERE job_id = " + id), std::to_string(job_.readings.size()));
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.revisions WHERE job_id = " + id), "1");
}

TEST_F(ArchiveRoles, AnApprovedRevisionNeverChangesButTheJobGetsRevisions) {
  PgConnection vera(server_.uri(server_.reviewer));
  const Approval approval = approveJob(vera, job_.id);
  ASSERT_FALSE(approval.failure) << approval.failure.message;
  EXPECT_EQ(approval.revision, 1);
  EXPECT_NE(approveJob(vera, job_.id).refusal.find("уже утверждена"), std::string::npos);

  const std::string id = "'" + job_.id + "'";
  // Not the reviewer, not the schema's owner, not even a superuser changes it.
  const std::string roles[] = {server_.reviewer, "korsi7_admin", "postgres"};
  const std::string changes[] = {
      "UPDATE korsi7.revisions SET approved_by = current_user WHERE job_id = " + id,
      "UPDATE korsi7.revisions SET verdict = 'fail' WHERE job_id = " + id,
      "DELETE FROM korsi7.revisions WHERE job_id = " + id,
      "UPDATE korsi7.readings SET note = 'x' WHERE job_id = " + id,
      "DELETE FROM korsi7.areas WHERE job_id = " + id,
      "UPDATE korsi7.audit_log SET who = 'nobody'",
      "DELETE FROM korsi7.audit_log",
  };
  for (const std::string& role : roles) {
    for (const std::string& sql : changes) {
      SCOPED_TRACE(role + ": " + sql);
      PgConnection db(server_.uri(role == "korsi7_admin" ? "postgres" : role));
      if (role == "korsi7_admin") {
        ASSERT_TRUE(db.runScript("SET ROLE korsi7_admin"));
      }
      // Refused, or (row-level security hiding the approved row from the
      // reviewer's update) nothing touched.
      const Result done = db.run(sql);
      if (done) {
        EXPECT_STREQ(PQcmdTuples(done.get()), "0");
      } else {
        EXPECT_EQ(db.failure().kind, FailureKind::Permission) << db.failure().message;
      }
    }
  }
  EXPECT_EQ(one("SELECT approved_by || verdict FROM korsi7.revisions WHERE job_id = " + id),
            server_.reviewer + one("SELECT verdict FROM korsi7.revisions WHERE job_id = " + id));
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.readings WHERE note = 'x' OR job_id <> " + id), "0");
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.areas WHERE job_id = " + id), "2");
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.audit_log WHERE who = 'nobody'"), "0");
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.audit_log"), "2");

  // A correction is the next revision, which the reviewer approves in turn.
  PgConnection anna(server_.uri(server_.inspectorA));
  const PublishOutcome second = publishJob(anna, changedJob());
  ASSERT_FALSE(second.failure) << second.failure.message;
  EXPECT_EQ(second.revision, 2);
  const JobList listed = listJobs(vera, {});
  ASSERT_EQ(listed.jobs.size(), 1u);
  EXPECT_EQ(listed.jobs[0].revision, 2);
  EXPECT_TRUE(listed.jobs[0].approvedAt.empty());
  EXPECT_EQ(approveJob(vera, job_.id).revision, 2);
  EXPECT_EQ(one("SELECT count(*) FROM korsi7.revisions WHERE approved_at IS NOT NULL AND job_id = " + id), "2");
  EXPECT_EQ(one("SELECT string_agg(thickness_mm::text, ',' ORDER BY revision) FROM korsi7.readings WHERE num = 1"
                " AND job_id = " + id),
            "0.1073,0.5");
}

TEST_F(ArchiveRoles, TheAuditLogSaysWhoDidWhatAndTheVerdicts) {
  PgConnection anna(server_.uri(server_.inspectorA));
  job::InspectionJob failing = job_;
  failing.header.nominal = 900.0;
  ASSERT_FALSE(publishJob(anna, failing).failure);
  PgConnection vera(server_.uri(server_.reviewer));
  ASSERT_FALSE(approveJob(vera, job_.id).failure);

  PgConnection db(server_.admin);
  const Result log = db.run(
      "SELECT who, action, revision, coalesce(old_verdict, '-'), new_verdict, at IS NOT NULL FROM korsi7.audit_log"
      " WHERE job_id = $1 ORDER BY id",
      {job_.id});
  ASSERT_TRUE(log) << db.failure().message;
  ASSERT_EQ(PQntuples(log.get()), 3);
  const auto row = [&](int r) {
    std::string s;
    for (int c = 0; c < 6; ++c) s += std::string(c ? "|" : "") + PQgetvalue(log.get(), r, c);
    return s;
  };
  const std::string first = one("SELECT verdict FROM korsi7.revisions WHERE revision = 1");
  const std::string second = one("SELECT verdict FROM korsi7.revisions WHERE revision = 2");
  EXPECT_EQ(row(0), server_.inspectorA + "|publish|1|-|" + first + "|t");
  EXPECT_EQ(row(1), server_.inspectorA + "|revise|2|" + first + "|" + second + "|t");
  EXPECT_EQ(row(2), server_.reviewer + "|approve|2|" + second + "|" + second + "|t");
  // Inspectors do not read the log; reviewers do.
  EXPECT_EQ(asRole(server_.inspectorB, "SELECT * FROM korsi7.audit_log").kind, FailureKind::Permission);
  EXPECT_FALSE(asRole(server_.reviewer, "SELECT * FROM korsi7.audit_log"));
}

TEST_F(ArchiveRoles, UpgradeRefusesAServerWithANewerSchemaAndInitTwiceChangesNothing) {
  PgConnection db(server_.admin);
  const SchemaOutcome again = prepareArchive(db, true);
  ASSERT_FALSE(again.failure) << again.failure.message;
  EXPECT_EQ(again.from, again.to);
  ASSERT_TRUE(db.runScript("INSERT INTO korsi7.schema_version (version) VALUES (999)"));
  const SchemaOutcome newer = prepareArchive(db, false);
  EXPECT_EQ(newer.failure.kind, FailureKind::SchemaTooNew);
  EXPECT_NE(newer.failure.message.find("новее этой программы (схема 999"), std::string::npos);
  // An inspector cannot run them at all.
  PgConnection anna(server_.uri(server_.inspectorA));
  EXPECT_TRUE(prepareArchive(anna, true).failure);
}

}  // namespace
}  // namespace korsi::company
