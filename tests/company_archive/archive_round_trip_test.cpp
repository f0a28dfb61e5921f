// Publish, list, fetch and approve against a real server: what comes back
// equals what was published; the same content twice adds nothing, changed
// content is the next revision; every text survives exactly.
#include <gtest/gtest.h>

#include <limits>

#include "company_archive/archive_browse.h"
#include "company_archive/archive_publish.h"
#include "company_archive/job_rows.h"
#include "inspection/job_verdict.h"
#include "tests/company_archive/archive_server.h"
#include "tests/company_archive/sample_jobs.h"

namespace korsi::company {
namespace {

using test::ArchiveOnServer;

class ArchiveRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(test::makeArchive(server_)); }

  // Publishes as a role; the outcome must be no failure.
  PublishOutcome published(const std::string& role, const job::InspectionJob& j) {
    PgConnection db(server_.uri(role));
    EXPECT_TRUE(db.ok()) << db.failure().message;
    PublishOutcome out = publishJob(db, j);
    EXPECT_FALSE(out.failure) << out.failure.message;
    return out;
  }
  FetchedJob fetched(const std::string& id, std::optional<int> revision = std::nullopt) {
    PgConnection db(server_.uri(server_.reviewer));
    return fetchJob(db, id, revision);
  }
  JobList listed(const JobFilter& filter = {}) {
    PgConnection db(server_.uri(server_.reviewer));
    return listJobs(db, filter);
  }

  ArchiveOnServer server_;
};

TEST_F(ArchiveRoundTrip, PublishListFetchAndApproveGiveTheJobBack) {
  job::InspectionJob j = test::sampleArchiveJob();
  j.readings[5].h = std::numeric_limits<double>::quiet_NaN();  // the gauge can send any bit pattern
  const PublishOutcome first = published(server_.inspectorA, j);
  EXPECT_EQ(first.revision, 1);
  EXPECT_TRUE(first.added);

  const FetchedJob back = fetched(j.id);
  ASSERT_FALSE(back.failure) << back.failure.message;
  EXPECT_TRUE(test::sameJob(back.job, j));

  const JobList all = listed();
  ASSERT_FALSE(all.failure) << all.failure.message;
  ASSERT_EQ(all.jobs.size(), 1u);
  const ListedJob& row = all.jobs[0];
  EXPECT_EQ(row.id, j.id);
  EXPECT_EQ(row.header, j.header);
  EXPECT_EQ(row.role, server_.inspectorA);
  EXPECT_EQ(row.verdict, storedVerdict(j).word);
  EXPECT_EQ(row.verdictText, inspection::judgeJob(j).summary);
  EXPECT_EQ(row.revision, 1);
  EXPECT_FALSE(row.publishedAt.empty());
  EXPECT_TRUE(row.approvedAt.empty());

  {
    PgConnection db(server_.uri(server_.reviewer));
    const Approval approval = approveJob(db, j.id);
    ASSERT_FALSE(approval.failure) << approval.failure.message;
    EXPECT_EQ(approval.refusal, "");
    EXPECT_EQ(approval.revision, 1);
  }
  const JobList after = listed();
  ASSERT_EQ(after.jobs.size(), 1u);
  EXPECT_EQ(after.jobs[0].approvedBy, server_.reviewer);
  EXPECT_FALSE(after.jobs[0].approvedAt.empty());
  // The report's summary per area is stored beside the areas.
  PgConnection db(server_.admin);
  const Result sums = db.run("SELECT count(*), sum(reading_count) FROM korsi7.report_summaries WHERE job_id = $1",
                             {j.id});
  ASSERT_TRUE(sums) << db.failure().message;
  EXPECT_STREQ(PQgetvalue(sums.get(), 0, 0), "2");
}

TEST_F(ArchiveRoundTrip, TheSameJobTwiceAddsNothingAndAChangeIsANewRevision) {
  job::InspectionJob j = test::sampleArchiveJob();
  EXPECT_EQ(published(server_.inspectorA, j).revision, 1);
  const PublishOutcome again = published(server_.inspectorA, j);
  EXPECT_EQ(again.revision, 1);
  EXPECT_FALSE(again.added);

  job::InspectionJob changed = j;
  changed.readings[0].h = 0.2;
  changed.header.coat = "3-й слой";
  const PublishOutcome second = published(server_.inspectorA, changed);
  EXPECT_EQ(second.revision, 2);
  EXPECT_TRUE(second.added);
  // Sent once more, the first content is known as revision 1: nothing is added.
  EXPECT_EQ(published(server_.inspectorA, j).revision, 1);

  EXPECT_TRUE(test::sameJob(fetched(j.id).job, changed));
  EXPECT_TRUE(test::sameJob(fetched(j.id, 1).job, j));
  EXPECT_NE(fetched(j.id, 3).notFound, "");
  const JobList all = listed();
  ASSERT_EQ(all.jobs.size(), 1u);
  EXPECT_EQ(all.jobs[0].revision, 2);
  EXPECT_EQ(all.jobs[0].header.coat, "3-й слой");

  PgConnection db(server_.admin);
  const Result counts = db.run("SELECT (SELECT count(*) FROM korsi7.revisions WHERE job_id = $1),"
                               " (SELECT count(*) FROM korsi7.readings WHERE job_id = $1)",
                               {j.id});
  ASSERT_TRUE(counts);
  EXPECT_STREQ(PQgetvalue(counts.get(), 0, 0), "2");
  EXPECT_EQ(std::stoul(PQgetvalue(counts.get(), 0, 1)), 2 * j.readings.size());
}

TEST_F(ArchiveRoundTrip, EveryTextFieldSurvivesExactly) {
  std::string controls;
  for (int c = 1; c < 0x20; ++c) controls += static_cast<char>(c);
  controls += '\x7f';
  const std::string hostile[] = {
      "'); DROP TABLE korsi7.jobs; --",
      "\" ' ` \\ \\\\ \\N \\. $1 $$ E'\\x41' %s %n {}",
      controls,
      "\t\n\r\\t\\n tab\tand\nnewline\r\n",
      std::string(10000, 'x'),
      [] {
        std::string s;
        while (s.size() < 10000) s += "Ёж'\"\\\t«»";
        return s;
      }(),
  };
  job::InspectionJob j = test::sampleArchiveJob();
  for (std::size_t k = 0; k < std::size(hostile); ++k) {
    SCOPED_TRACE(k);
    job::InspectionJob h = j;
    h.id = job::newJobId();
    for (const auto& f : job::kHeaderTextFields) h.header.*f.member = hostile[k] + f.caption;
    h.areas[0].name = hostile[k];
    h.readings[0].note = hostile[k];
    h.readings[1].note = hostile[(k + 1) % std::size(hostile)];
    ASSERT_EQ(publishProblem(h), "");
    published(server_.inspectorA, h);
    const FetchedJob back = fetched(h.id);
    ASSERT_FALSE(back.failure) << back.failure.message;
    EXPECT_TRUE(test::sameJob(back.job, h));
    JobFilter byObject;
    byObject.object = h.header.object;
    const JobList found = listed(byObject);
    ASSERT_EQ(found.jobs.size(), 1u);
    EXPECT_EQ(found.jobs[0].header, h.header);
  }
  // What the server cannot hold is refused before anything is sent.
  job::InspectionJob nul = j;
  nul.header.client = std::string("a\0b", 3);
  EXPECT_NE(publishProblem(nul).find("нулевой символ"), std::string::npos);
  nul.header.client = "\xff\xfe";
  EXPECT_NE(publishProblem(nul).find("UTF-8"), std::string::npos);
}

TEST_F(ArchiveRoundTrip, TheListFiltersByObjectClientInspectorDatesAndVerdict) {
  job::InspectionJob a = test::sampleArchiveJob();
  job::InspectionJob b = test::sampleArchiveJob();
  b.header.object = "Другой объект";
  b.header.client = "Другой заказчик";
  b.header.nominal = 500.0;  // every reading of the first area under NDFT
  ASSERT_NE(storedVerdict(a).word, storedVerdict(b).word);
  published(server_.inspectorA, a);
  published(server_.inspectorB, b);
  const auto ids = [&](const JobFilter& f) {
    std::vector<std::string> out;
    for (const ListedJob& l : listed(f).jobs) out.push_back(l.id);
    return out;
  };
  JobFilter f;
  f.object = a.header.object;
  EXPECT_EQ(ids(f), std::vector<std::string>{a.id});
  f = {};
  f.client = "Другой заказчик";
  EXPECT_EQ(ids(f), std::vector<std::string>{b.id});
  f = {};
  f.inspector = server_.inspectorB;
  EXPECT_EQ(ids(f), std::vector<std::string>{b.id});
  f = {};
  f.verdict = storedVerdict(b).word;
  EXPECT_EQ(ids(f), std::vector<std::string>{b.id});
  f = {};
  f.since = "2000-01-01";
  f.until = "2999-12-31";
  EXPECT_EQ(ids(f).size(), 2u);
  f.until = "2001-01-01";
  EXPECT_TRUE(ids(f).empty());
}

}  // namespace
}  // namespace korsi::company
