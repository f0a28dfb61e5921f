#include "company_archive/archive_browse.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "inspection/job_id.h"
#include "inspection/job_words.h"
#include "inspection/number_ranges.h"
#include "storage/recordset/date_time.h"

namespace korsi::company {

namespace {

constexpr const char* kListedColumns =
    "j.id, r.object, r.client, r.coating_system, r.coat, r.inspector, r.gauge, r.gauge_serial, r.job_date, r.rule,"
    " r.unit, r.nominal, r.maximum, r.level, r.spot_size, r.set_up, r.measured_correction, j.owner, r.verdict,"
    " r.verdict_text, r.revision,"
    " to_char(r.published_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'),"
    " coalesce(to_char(r.approved_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), ''),"
    " coalesce(r.approved_by, '')";

std::string value(const PGresult* r, int row, int column) {
  return std::string(PQgetvalue(r, row, column), static_cast<std::size_t>(PQgetlength(r, row, column)));
}

std::optional<double> number(const PGresult* r, int row, int column) {
  if (PQgetisnull(r, row, column)) return std::nullopt;
  const std::string text = value(r, row, column);
  double v = std::numeric_limits<double>::quiet_NaN();
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

long long whole(const PGresult* r, int row, int column) {
  const std::string text = value(r, row, column);
  long long v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

ListedJob listedRow(const PGresult* r, int row) {
  ListedJob l;
  l.id = value(r, row, 0);
  job::JobHeader& h = l.header;
  int c = 1;
  for (const auto& f : job::kHeaderTextFields) h.*f.member = value(r, row, c++);
  h.rule = job::ruleFromWord(value(r, row, 9)).value_or(job::JobRule::Iso19840);
  h.unit = job::unitFromWord(value(r, row, 10)).value_or(job::JobUnit::Micrometre);
  h.nominal = number(r, row, 11);
  h.maximum = number(r, row, 12);
  h.level = static_cast<int>(whole(r, row, 13));
  h.spotSize = static_cast<std::size_t>(whole(r, row, 14));
  h.setUp = job::setUpFromWord(value(r, row, 15)).value_or(job::SetUp::None);
  h.measuredCorrection = number(r, row, 16);
  l.role = value(r, row, 17);
  l.verdict = value(r, row, 18);
  l.verdictText = value(r, row, 19);
  l.revision = static_cast<int>(whole(r, row, 20));
  l.publishedAt = value(r, row, 21);
  l.approvedAt = value(r, row, 22);
  l.approvedBy = value(r, row, 23);
  return l;
}

}  // namespace

std::pair<std::string, Params> listQuery(const JobFilter& filter) {
  std::string sql = std::string("SELECT ") + kListedColumns +
                    " FROM korsi7.jobs j JOIN korsi7.revisions r ON r.job_id = j.id AND r.revision = j.current_revision"
                    " WHERE j.current_revision > 0";
  Params params;
  const auto add = [&](const std::optional<std::string>& v, const std::string& condition) {
    if (!v) return;
    params.push_back(*v);
    std::string c = condition;
    for (std::size_t at; (at = c.find('?')) != std::string::npos;) c.replace(at, 1, "$" + std::to_string(params.size()));
    sql += " AND " + c;
  };
  add(filter.object, "j.object = ?");
  add(filter.client, "j.client = ?");
  add(filter.inspector, "(j.inspector = ? OR j.owner = ?)");
  add(filter.since, "j.published_at >= ?::timestamptz");
  // A date alone means the whole of that day.
  if (filter.until) {
    const bool dateOnly = filter.until->size() == 10;
    add(filter.until, dateOnly ? "j.published_at < ?::date + 1" : "j.published_at <= ?::timestamptz");
  }
  add(filter.verdict, "j.verdict = ?");
  sql += " ORDER BY j.published_at DESC, j.id";
  return {sql, params};
}

JobList listJobs(PgConnection& db, const JobFilter& filter) {
  JobList out;
  const auto [sql, params] = listQuery(filter);
  const Result r = db.run(sql, params);
  if (!r) {
    out.failure = db.abandon();
    return out;
  }
  const int rows = PQntuples(r.get());
  out.jobs.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) out.jobs.push_back(listedRow(r.get(), i));
  return out;
}

FetchedJob fetchJob(PgConnection& db, const std::string& id, std::optional<int> revision) {
  FetchedJob out;
  if (!job::isJobId(id)) {
    out.notFound = "«" + id + "» не идентификатор проверки (UUID)";
    return out;
  }
  // One snapshot for the revision and its rows.
  if (!db.runScript("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) {
    out.failure = db.abandon();
    return out;
  }
  const std::string which = revision ? "$2::integer" : "j.current_revision";
  Params params{id};
  if (revision) params.push_back(std::to_string(*revision));
  const Result head = db.run(std::string("SELECT ") + kListedColumns +
                                 " FROM korsi7.jobs j JOIN korsi7.revisions r ON r.job_id = j.id AND r.revision = " +
                                 which + " WHERE j.id = $1",
                             params);
  if (!head) {
    out.failure = db.abandon();
    return out;
  }
  if (PQntuples(head.get()) == 0) {
    db.runScript("ROLLBACK");
    out.notFound = "В архиве компании нет проверки " + id + (revision ? " с ревизией " + std::to_string(*revision) : "");
    return out;
  }
  out.listed = listedRow(head.get(), 0);
  out.job.id = id;
  out.job.header = out.listed.header;
  const Params key{id, std::to_string(out.listed.revision)};
  const Result areas = db.run(
      "SELECT name, surface_m2, surface_ft2, kind, numbers, rule, nominal, maximum, level, spot_size FROM korsi7.areas"
      " WHERE job_id = $1 AND revision = $2 ORDER BY position",
      key);
  const Result readings =
      areas ? db.run("SELECT num, to_char(gauge_time, 'YYYY-MM-DD HH24:MI:SS'), thickness_mm, note"
                     " FROM korsi7.readings WHERE job_id = $1 AND revision = $2 ORDER BY num",
                     key)
            : nullptr;
  if (!areas || !readings) {
    out.failure = db.abandon();
    return out;
  }
  db.runScript("COMMIT");
  for (int i = 0; i < PQntuples(areas.get()); ++i) {
    const PGresult* a = areas.get();
    job::JobArea area;
    area.name = value(a, i, 0);
    if (const auto m2 = number(a, i, 1)) area.surface = inspection::squareMetresSurface(*m2);
    if (const auto ft2 = number(a, i, 2)) area.surface = inspection::squareFeetSurface(*ft2);
    if (!PQgetisnull(a, i, 3)) area.kind = job::kindFromWord(value(a, i, 3));
    area.numbers = job::parseNumberRanges(value(a, i, 4)).ranges;
    if (!PQgetisnull(a, i, 5)) area.overrides.rule = job::ruleFromWord(value(a, i, 5));
    area.overrides.nominal = number(a, i, 6);
    area.overrides.maximum = number(a, i, 7);
    if (!PQgetisnull(a, i, 8)) area.overrides.level = static_cast<int>(whole(a, i, 8));
    if (!PQgetisnull(a, i, 9)) area.overrides.spotSize = static_cast<std::size_t>(whole(a, i, 9));
    out.job.areas.push_back(std::move(area));
  }
  const PGresult* rr = readings.get();
  const int count = PQntuples(rr);
  out.job.readings.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    job::JobReading reading;
    reading.num = static_cast<std::int32_t>(whole(rr, i, 0));
    if (!PQgetisnull(rr, i, 1)) reading.date = parseIsoText(value(rr, i, 1));
    reading.h = number(rr, i, 2).value_or(std::numeric_limits<double>::quiet_NaN());
    if (!PQgetisnull(rr, i, 3)) reading.note = value(rr, i, 3);
    out.job.readings.push_back(std::move(reading));
  }
  return out;
}

Approval approveJob(PgConnection& db, const std::string& id) {
  Approval out;
  if (!job::isJobId(id)) {
    out.refusal = "«" + id + "» не идентификатор проверки (UUID)";
    return out;
  }
  const Result done = db.run(
      "UPDATE korsi7.revisions r SET approved_by = current_user, approved_at = now() FROM korsi7.jobs j"
      " WHERE j.id = $1 AND r.job_id = j.id AND r.revision = j.current_revision AND r.approved_at IS NULL"
      " RETURNING r.revision",
      {id});
  if (!done) {
    out.failure = db.abandon();
    return out;
  }
  if (PQntuples(done.get()) == 1) {
    out.revision = static_cast<int>(whole(done.get(), 0, 0));
    return out;
  }
  const Result state = db.run(
      "SELECT current_revision, approved_by FROM korsi7.jobs WHERE id = $1 AND current_revision > 0", {id});
  if (!state) {
    out.failure = db.abandon();
  } else if (PQntuples(state.get()) == 0) {
    out.refusal = "В архиве компании нет проверки " + id;
  } else {
    out.revision = static_cast<int>(whole(state.get(), 0, 0));
    out.refusal = "Ревизия " + std::to_string(out.revision) + " проверки " + id + " уже утверждена (" +
                  value(state.get(), 0, 1) + ")";
  }
  return out;
}

}  // namespace korsi::company
