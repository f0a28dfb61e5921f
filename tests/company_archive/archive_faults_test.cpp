// korsi7-transfer's publish and archive commands as a user runs them, and
// the faults they must survive: a server that cannot be reached (the job
// waits in the outbox and is sent later, once), the program killed in the
// middle of a publication, the server stopped during one and started again,
// a server whose certificate is wrong.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "company_archive/archive_outbox.h"
#include "company_archive/archive_publish.h"
#include "company_archive/company_archive.h"
#include "inspection/job_file.h"
#include "tests/company_archive/archive_server.h"
#include "tests/company_archive/sample_jobs.h"
#include "tests/tools/transfer/transfer_program.h"

namespace korsi::company {
namespace {

using test::TempDir;
using test::TransferProgram;

constexpr int kQueued = 6;

// A user's folder: kestro.conf naming the archive, job files, the outbox.
struct UserFolder {
  TempDir dir;
  explicit UserFolder(const std::string& uri) { setArchive(uri); }
  void setArchive(const std::string& uri) const {
    test::writeFile(dir.file("kestro.conf"), "company_archive " + uri + "\n");
  }
  std::string saved(const job::InspectionJob& j, const std::string& name) const {
    const std::string path = dir.file(name);
    EXPECT_EQ(job::saveJob(path, j), "");
    return path;
  }
  int run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) const {
    TransferProgram program(dir.path().string(), std::move(args));
    const int status = program.exitStatus(std::chrono::seconds(240));
    if (out) *out = program.out();
    if (err) *err = program.err();
    return status;
  }
  std::size_t waiting() const {
    std::string error;
    const auto n = waitingJobs(dir.file(kOutboxFileName), &error);
    EXPECT_TRUE(n) << error;
    return n.value_or(0);
  }
};

// The revisions of a job on the server and the readings of each, "1:25".
std::string stored(const test::ArchiveOnServer& server, const std::string& id) {
  PgConnection db(server.admin);
  const Result r = db.run(
      "SELECT coalesce(string_agg(v.revision || ':' || (SELECT count(*) FROM korsi7.readings d"
      " WHERE d.job_id = v.job_id AND d.revision = v.revision), ',' ORDER BY v.revision), '')"
      " FROM korsi7.revisions v WHERE v.job_id = $1",
      {id});
  EXPECT_TRUE(r) << db.failure().message;
  return r ? PQgetvalue(r.get(), 0, 0) : "?";
}

class ArchiveFaults : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(test::makeArchive(server_)); }
  test::ArchiveOnServer server_;
};

TEST_F(ArchiveFaults, OfflineJobsWaitInTheOutboxAndAreSentInOrderOnce) {
  TempDir nowhere;  // a socket folder where no server listens
  UserFolder anna("postgresql://anna@/korsi7?host=" + nowhere.path().string() + "&port=5999");
  job::InspectionJob first = test::sampleArchiveJob();
  first.id.clear();  // a file saved before jobs had an identity
  const std::string firstFile = anna.saved(first, "first.kjob");
  const job::InspectionJob second = test::sampleArchiveJob();
  anna.saved(second, "second.kjob");

  std::string err;
  EXPECT_EQ(anna.run({"publish", "first.kjob"}, nullptr, &err), kQueued);
  EXPECT_NE(err.find("Сервер архива компании недоступен"), std::string::npos) << err;
  EXPECT_NE(err.find("сохранена в очереди на отправку"), std::string::npos) << err;
  EXPECT_NE(err.find(kOutboxFileName), std::string::npos) << err;
  // The file got its identity, so that the same job is known again.
  const std::string firstId = job::openJob(firstFile).job.id;
  ASSERT_TRUE(job::isJobId(firstId));
  EXPECT_EQ(anna.run({"publish", "second.kjob"}), kQueued);
  EXPECT_EQ(anna.run({"publish", "second.kjob"}), kQueued);  // the same content waits once
  EXPECT_EQ(anna.waiting(), 2u);
  std::string list;
  EXPECT_EQ(anna.run({"archive", "outbox"}, &list), 0);
  EXPECT_LT(list.find(firstId), list.find(second.id)) << list;

  anna.setArchive(server_.uri(server_.inspectorA));
  std::string out;
  EXPECT_EQ(anna.run({"archive", "sync"}, &out, &err), 0) << err;
  EXPECT_EQ(out, "sent: 2\nalready there: 0\nwaiting: 0\n");
  EXPECT_EQ(anna.run({"archive", "sync"}, &out), 0);
  EXPECT_EQ(out, "sent: 0\nalready there: 0\nwaiting: 0\n");
  EXPECT_EQ(stored(server_, firstId), "1:" + std::to_string(first.readings.size()));
  EXPECT_EQ(stored(server_, second.id), "1:" + std::to_string(second.readings.size()));
  PgConnection db(server_.admin);
  const Result order = db.run("SELECT job_id::text FROM korsi7.audit_log ORDER BY id");
  ASSERT_TRUE(order && PQntuples(order.get()) == 2);
  EXPECT_EQ(std::string(PQgetvalue(order.get(), 0, 0)), firstId);
}

TEST_F(ArchiveFaults, TheCommandsRoundTripAJobAndReviewerApproves) {
  UserFolder anna(server_.uri(server_.inspectorA));
  UserFolder vera(server_.uri(server_.reviewer));
  const job::InspectionJob j = test::sampleArchiveJob();
  anna.saved(j, "job.kjob");
  std::string out;
  std::string err;
  ASSERT_EQ(anna.run({"publish", "job.kjob"}, &out, &err), 0) << err;
  EXPECT_EQ(out, j.id + "\t1\n");
  EXPECT_NE(err.find("Проверка опубликована в архив компании: ревизия 1"), std::string::npos) << err;
  ASSERT_EQ(anna.run({"publish", "job.kjob"}, &out, &err), 0);
  EXPECT_NE(err.find("ничего не добавлено"), std::string::npos) << err;

  EXPECT_EQ(anna.run({"archive", "approve", j.id}, nullptr, &err), 7);
  EXPECT_NE(err.find("Нет прав"), std::string::npos) << err;
  ASSERT_EQ(vera.run({"archive", "approve", j.id}, &out, &err), 0) << err;
  EXPECT_EQ(out, j.id + "\t1\n");

  ASSERT_EQ(vera.run({"archive", "list", "--json", "--object", j.header.object}, &out, &err), 0) << err;
  for (const std::string& part :
       {"\"id\": \"" + j.id + "\"", "\"inspector_role\": \"" + server_.inspectorA + "\"",
        "\"approved_by\": \"" + server_.reviewer + "\"", std::string("\"revision\": 1"),
        std::string("\"client\": \"ООО \\\"Судоремонт\\\"\"")}) {
    EXPECT_NE(out.find(part), std::string::npos) << part << "\n" << out;
  }
  ASSERT_EQ(vera.run({"archive", "list", "--verdict", "pass", "--since", "2000-01-01"}, &out, &err), 0) << err;
  ASSERT_EQ(vera.run({"archive", "get", j.id, "-o", "back.kjob"}, nullptr, &err), 0) << err;
  const job::OpenedJob back = job::openJob(vera.dir.file("back.kjob"));
  ASSERT_TRUE(back.ok()) << back.error;
  EXPECT_TRUE(test::sameJob(back.job, j));
  EXPECT_EQ(vera.run({"archive", "get", job::newJobId(), "-o", "none.kjob"}, nullptr, &err), 7);
  EXPECT_EQ(vera.run({"archive", "list", "--verdict", "good"}, nullptr, &err), 2);
}

TEST_F(ArchiveFaults, AProgramKilledMidPublishLeavesAllOrNothingAndTheOutboxSendsItOnce) {
  UserFolder anna(server_.uri(server_.inspectorA));
  // Kills at moments from before the job is taken in to after the commit.
  // A job killed before the outbox took it is still only the user's file;
  // one the outbox took is stored once by the next sync, whether or not the
  // server had it already.
  int killedWaiting = 0;
  int killedStored = 0;
  for (int delayMs = 0; delayMs <= 1500; delayMs += 100) {
    SCOPED_TRACE(delayMs);
    const job::InspectionJob j = test::largeArchiveJob(65535);
    anna.saved(j, "large.kjob");
    {
      TransferProgram program(anna.dir.path().string(), {"publish", "large.kjob"});
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      program.signal(SIGKILL);
      program.exitStatus();
    }
    const std::string onServer = stored(server_, j.id);
    EXPECT_TRUE(onServer.empty() || onServer == "1:65535") << onServer;
    const bool waiting = anna.waiting() > 0;
    killedWaiting += waiting && onServer.empty();
    killedStored += !onServer.empty();
    std::string err;
    EXPECT_EQ(anna.run({"archive", "sync"}, nullptr, &err), 0) << err;
    EXPECT_EQ(stored(server_, j.id), waiting || !onServer.empty() ? "1:65535" : "");
    EXPECT_EQ(anna.waiting(), 0u);
  }
  std::printf("killed with the job waiting: %d, after the server stored it: %d\n", killedWaiting, killedStored);
}

TEST_F(ArchiveFaults, AJobCommittedButNotYetTakenOutIsNotStoredTwice) {
  // The moment a kill may hit: the server has committed, the outbox still
  // holds the job.
  TempDir folder;
  const ArchivePlace place{server_.uri(server_.inspectorA), folder.file(kOutboxFileName)};
  const job::InspectionJob j = test::sampleArchiveJob();
  {
    std::string error;
    const auto box = Outbox::open(place.outboxPath, &error);
    ASSERT_TRUE(box) << error;
    ASSERT_EQ(box->add(j), "");
  }
  PgConnection db(place.uri);
  ASSERT_FALSE(publishJob(db, j).failure);
  const SyncReport report = sendOutbox(place);
  EXPECT_EQ(report.sent, 0u);
  EXPECT_EQ(report.alreadyThere, 1u);
  EXPECT_EQ(report.waiting, 0u);
  EXPECT_EQ(stored(server_, j.id), "1:" + std::to_string(j.readings.size()));
}

// A cluster of the test's own, which it may stop and start.
class PrivateCluster {
 public:
  explicit PrivateCluster(const std::string& extra = "") : state_(dir_.file("state")) {
    EXPECT_EQ(script("start " + state_ + " " + extra), 0);
  }
  ~PrivateCluster() { script("stop " + state_); }
  int script(const std::string& args) const {
    return std::system((std::string(KORSI_PG_TEST_SERVER_SCRIPT) + " " + args + " >/dev/null").c_str());
  }
  const std::string& state() const { return state_; }
  void down() const { EXPECT_EQ(script("down " + state_), 0); }
  void up() const { EXPECT_EQ(script("up " + state_), 0); }

 private:
  TempDir dir_;
  std::string state_;
};

TEST(ArchiveServerStopped, EveryWaitingJobIsSentExactlyOnceWhenTheServerIsBack) {
  PrivateCluster cluster;
  test::ArchiveOnServer server;
  ASSERT_NO_FATAL_FAILURE(test::makeArchive(cluster.state(), server));
  UserFolder anna(server.uri(server.inspectorA));
  std::vector<job::InspectionJob> jobs;

  cluster.down();
  for (int k = 0; k < 3; ++k) {
    jobs.push_back(test::sampleArchiveJob());
    anna.saved(jobs.back(), "small" + std::to_string(k) + ".kjob");
    EXPECT_EQ(anna.run({"publish", "small" + std::to_string(k) + ".kjob"}), kQueued);
  }
  cluster.up();
  // Stopped while a large job is on its way (or just before or after).
  jobs.push_back(test::largeArchiveJob(65535));
  anna.saved(jobs.back(), "large.kjob");
  {
    TransferProgram program(anna.dir.path().string(), {"publish", "large.kjob"});
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    cluster.down();
    const int status = program.exitStatus(std::chrono::seconds(120));
    EXPECT_TRUE(status == 0 || status == kQueued) << status << " " << program.err();
  }
  jobs.push_back(test::sampleArchiveJob());
  anna.saved(jobs.back(), "later.kjob");
  EXPECT_EQ(anna.run({"publish", "later.kjob"}), kQueued);

  cluster.up();
  // Wherever the stop fell (the publish sends the three queued jobs before
  // the large one, and may have sent some of them by then), no job is lost:
  // each is on the server or still waits.
  std::size_t onServer = 0;
  for (const job::InspectionJob& j : jobs) {
    if (stored(server, j.id) == "1:" + std::to_string(j.readings.size())) ++onServer;
  }
  EXPECT_GE(anna.waiting(), 1u);
  EXPECT_GE(onServer + anna.waiting(), jobs.size());
  std::string err;
  EXPECT_EQ(anna.run({"archive", "sync"}, nullptr, &err), 0) << err;
  EXPECT_EQ(anna.waiting(), 0u);
  for (const job::InspectionJob& j : jobs) {
    EXPECT_EQ(stored(server, j.id), "1:" + std::to_string(j.readings.size()));
  }
}

// openssl in a folder; fails the test when a step fails.
void openssl(const TempDir& dir, const std::string& args) {
  const std::string command = "cd '" + dir.path().string() + "' && openssl " + args + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(ArchiveCertificate, AServerWithAWrongCertificateIsRefusedWithAMessage) {
  TempDir pki;
  // The company's authority and the server's certificate for "localhost";
  // another authority that never signed it.
  ASSERT_NO_FATAL_FAILURE(openssl(pki, "req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=korsi7-test-ca"
                                       " -keyout ca.key -out ca.crt"));
  ASSERT_NO_FATAL_FAILURE(openssl(pki, "req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=other-ca"
                                       " -keyout other.key -out other.crt"));
  ASSERT_NO_FATAL_FAILURE(openssl(pki, "req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout server.key"
                                       " -out server.csr"));
  ASSERT_NO_FATAL_FAILURE(openssl(pki, "x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2"
                                       " -out server.crt"));
  PrivateCluster cluster("--ssl " + pki.file("server.crt") + " " + pki.file("server.key"));
  const auto state = test::serverState(cluster.state());
  ASSERT_TRUE(state.contains("port"));
  const auto uri = [&](const std::string& host, const std::string& root) {
    return "postgresql://postgres@" + host + ":" + state.at("port") + "/postgres?sslmode=verify-full&sslrootcert=" +
           pki.file(root);
  };
  {
    PgConnection right(uri("localhost", "ca.crt") + "&hostaddr=127.0.0.1");
    EXPECT_TRUE(right.ok()) << right.failure().message;
  }
  for (const std::string& wrong : {uri("localhost", "other.crt") + "&hostaddr=127.0.0.1",  // unknown authority
                                   uri("127.0.0.1", "ca.crt")}) {                          // another name
    SCOPED_TRACE(wrong);
    PgConnection db(wrong);
    EXPECT_EQ(db.failure().kind, FailureKind::Certificate);
    EXPECT_NE(db.failure().message.find("Сертификат сервера архива компании отвергнут"), std::string::npos)
        << db.failure().message;
  }
  // Publishing there keeps the job and says why.
  UserFolder anna(uri("localhost", "other.crt") + "&hostaddr=127.0.0.1");
  anna.saved(test::sampleArchiveJob(), "job.kjob");
  std::string err;
  EXPECT_EQ(anna.run({"publish", "job.kjob"}, nullptr, &err), kQueued);
  EXPECT_NE(err.find("Сертификат сервера архива компании отвергнут"), std::string::npos) << err;
  EXPECT_EQ(anna.waiting(), 1u);
}

}  // namespace
}  // namespace korsi::company
