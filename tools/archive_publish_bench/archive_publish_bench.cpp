// The company archive's figures on a private PostgreSQL 15 cluster on this
// machine (scripts/pg-test-server.sh, Unix socket): one job of 65,535
// readings published; 20 publishers at once, 50 jobs of 500 readings each,
// through their outboxes (median and 99th percentile, and every job stored
// once); the list over 100,000 jobs filtered by object and dates, with the
// plan the server chose. Prints figures; not a test.
//
//   build/normal/tools/archive_publish_bench/korsi7-archive-bench
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "company_archive/archive_browse.h"
#include "company_archive/archive_publish.h"
#include "company_archive/archive_schema.h"
#include "company_archive/company_archive.h"
#include "inspection/job_id.h"

namespace {

namespace co = korsi::company;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(at, v.size() - 1)];
}

korsi::job::InspectionJob jobOf(std::int32_t readings, const std::string& object) {
  korsi::job::InspectionJob j;
  j.id = korsi::job::newJobId();
  j.header.object = object;
  j.header.inspector = "Бенчмарк";
  j.header.nominal = 150.0;
  j.areas.push_back({"Зона", std::nullopt,
                     korsi::job::parseNumberRanges("1-" + std::to_string(readings)).ranges, {}});
  for (std::int32_t n = 1; n <= readings; ++n) {
    j.readings.push_back({n, korsi::DateTime{2026, 12, 10, (n / 3600) % 24, (n / 60) % 60, n % 60},
                          0.12 + (n % 97) * 0.001, std::nullopt});
  }
  return j;
}

bool sql(const std::string& uri, const std::string& text) {
  co::PgConnection db(uri);
  if (!db.ok() || !db.runScript(text)) {
    std::fprintf(stderr, "%s\n", db.failure().message.c_str());
    return false;
  }
  return true;
}

std::map<std::string, std::string> readState(const std::string& path) {
  std::map<std::string, std::string> out;
  std::FILE* f = std::fopen(path.c_str(), "r");
  char line[4096];
  while (f && std::fgets(line, sizeof line, f)) {
    std::string s(line);
    while (!s.empty() && s.back() == '\n') s.pop_back();
    if (const auto eq = s.find('='); eq != std::string::npos) out[s.substr(0, eq)] = s.substr(eq + 1);
  }
  if (f) std::fclose(f);
  return out;
}

}  // namespace

int main() {
  const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                     ("korsi7-archive-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(work);
  const std::string state = (work / "state").string();
  const std::string script = KORSI_PG_TEST_SERVER_SCRIPT;
  if (std::system((script + " start " + state + " >/dev/null").c_str()) != 0) {
    std::fprintf(stderr, "the test cluster did not start\n");
    return 1;
  }
  const auto s = readState(state);
  const auto uri = [&](const std::string& role) {
    return "postgresql://" + role + "@/bench?host=" + s.at("host") + "&port=" + s.at("port");
  };
  int status = 0;
  [&] {
    if (!sql("postgresql://postgres@/postgres?host=" + s.at("host") + "&port=" + s.at("port"), "CREATE DATABASE bench")) return;
    {
      co::PgConnection db(uri("postgres"));
      if (co::prepareArchive(db, true).failure) return;
    }
    if (!sql(uri("postgres"), "CREATE ROLE bench_inspector LOGIN IN ROLE korsi7_inspector")) return;

    // One job of 65,535 readings.
    std::vector<double> large;
    for (int run = 0; run < 5; ++run) {
      const auto j = jobOf(65535, "Большая проверка");
      co::PgConnection db(uri("bench_inspector"));
      const auto start = Clock::now();
      const co::PublishOutcome out = co::publishJob(db, j);
      large.push_back(msSince(start));
      if (out.failure) std::fprintf(stderr, "%s\n", out.failure.message.c_str());
    }
    std::printf("publish 65,535 readings (connection made): median %.0f ms, slowest %.0f ms (target < 1000 ms)\n",
                percentile(large, 0.5), percentile(large, 1.0));

    // 20 publishers, 50 jobs of 500 readings each, through their outboxes.
    constexpr int kPublishers = 20;
    constexpr int kJobs = 50;
    std::vector<std::vector<double>> times(kPublishers);
    std::atomic<int> failed{0};
    std::vector<std::thread> publishers;
    const auto start = Clock::now();
    for (int p = 0; p < kPublishers; ++p) {
      publishers.emplace_back([&, p] {
        const co::ArchivePlace place{uri("bench_inspector"), (work / ("outbox" + std::to_string(p))).string()};
        for (int k = 0; k < kJobs; ++k) {
          const auto j = jobOf(500, "Объект " + std::to_string(p));
          const auto t = Clock::now();
          const co::PublishReport r = co::publishThroughOutbox(place, j);
          times[static_cast<std::size_t>(p)].push_back(msSince(t));
          if (r.result != co::PublishReport::Result::Published) {
            ++failed;
            std::fprintf(stderr, "%s\n", r.message.c_str());
          }
        }
      });
    }
    for (auto& t : publishers) t.join();
    const double wall = msSince(start);
    std::vector<double> all;
    for (const auto& v : times) all.insert(all.end(), v.begin(), v.end());
    co::PgConnection check(uri("postgres"));
    const co::Result counted = check.run(
        "SELECT count(*), count(DISTINCT job_id), (SELECT count(*) FROM korsi7.readings r JOIN korsi7.jobs j"
        " ON j.id = r.job_id WHERE j.object LIKE 'Объект %') FROM korsi7.revisions WHERE object LIKE 'Объект %'");
    std::printf("20 publishers x 50 jobs of 500 readings: %.1f s in all, per publish median %.0f ms, p99 %.0f ms;"
                " %d failed; stored: %s revisions of %s jobs, %s readings (expected 1000, 1000, 500000)\n",
                wall / 1000.0, percentile(all, 0.5), percentile(all, 0.99), failed.load(),
                counted ? PQgetvalue(counted.get(), 0, 0) : "?", counted ? PQgetvalue(counted.get(), 0, 1) : "?",
                counted ? PQgetvalue(counted.get(), 0, 2) : "?");

    // 100,000 jobs; the list filtered by object and dates.
    const auto fill = Clock::now();
    if (!sql(uri("postgres"),
             "INSERT INTO korsi7.jobs (id, owner) SELECT md5('job' || g)::uuid, 'bench_inspector'"
             " FROM generate_series(1, 100000) g;"
             "INSERT INTO korsi7.revisions (job_id, revision, content_hash, object, client, coating_system, coat,"
             " inspector, gauge, gauge_serial, job_date, rule, unit, level, spot_size, set_up, verdict, verdict_text,"
             " published_by, published_at)"
             " SELECT md5('job' || g)::uuid, 1, md5('c' || g), 'Судно ' || (g % 1000), 'Заказчик ' || (g % 50), '',"
             " '', 'Инспектор ' || (g % 40), '', '', '', 'iso19840', 'um', 3, 3, 'none',"
             " (ARRAY['pass','fail','too_few_measurements'])[1 + g % 3], '', 'bench_inspector',"
             " timestamptz '2025-01-01' + (g % 730) * interval '1 day' + (g % 86400) * interval '1 second'"
             " FROM generate_series(1, 100000) g;"
             "ANALYZE korsi7.jobs; ANALYZE korsi7.revisions")) {
      return;
    }
    std::printf("100,000 jobs added in %.1f s\n", msSince(fill) / 1000.0);
    co::JobFilter filter;
    filter.object = "Судно 417";
    filter.since = "2025-03-01";
    filter.until = "2026-06-30";
    std::vector<double> lists;
    std::size_t found = 0;
    co::PgConnection reader(uri("bench_inspector"));
    for (int run = 0; run < 20; ++run) {
      const auto t = Clock::now();
      const co::JobList list = co::listJobs(reader, filter);
      lists.push_back(msSince(t));
      found = list.jobs.size();
    }
    std::printf("archive list --object 'Судно 417' --since 2025-03-01 --until 2026-06-30 over 100,000 jobs:"
                " %zu jobs, median %.1f ms, slowest %.1f ms (target < 100 ms)\n",
                found, percentile(lists, 0.5), percentile(lists, 1.0));
    const auto [query, params] = co::listQuery(filter);
    const co::Result plan = reader.run("EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF) " + query, params);
    std::printf("plan:\n");
    for (int r = 0; plan && r < PQntuples(plan.get()); ++r) std::printf("  %s\n", PQgetvalue(plan.get(), r, 0));
    status = 0;
  }();
  std::system((script + " stop " + state + " >/dev/null").c_str());
  std::filesystem::remove_all(work);
  return status;
}
