#include "company_archive/archive_publish.h"

#include "company_archive/job_rows.h"
#include "inspection/job_words.h"

namespace korsi::company {

namespace {

int wholeValue(const Result& r) { return r && PQntuples(r.get()) > 0 ? std::stoi(PQgetvalue(r.get(), 0, 0)) : 0; }

// The revision that holds this content, or 0.
int storedRevision(PgConnection& db, const std::string& id, const std::string& hash) {
  return wholeValue(
      db.run("SELECT revision FROM korsi7.revisions WHERE job_id = $1 AND content_hash = $2", {id, hash}));
}

}  // namespace

PublishOutcome publishJob(PgConnection& db, const job::InspectionJob& j) {
  PublishOutcome out;
  const auto failed = [&] {
    out.failure = db.abandon();
    return out;
  };
  const std::string hash = contentHash(j);
  if (!db.runScript("BEGIN")) return failed();
  // Publishers of one job take turns, so that the revision numbers follow
  // one another and the same content is not added twice.
  if (!db.run("SELECT pg_advisory_xact_lock(hashtextextended($1, 7317))", {j.id})) return failed();
  if (!db.run("INSERT INTO korsi7.jobs (id) VALUES ($1) ON CONFLICT (id) DO NOTHING", {j.id})) return failed();
  if (const int held = storedRevision(db, j.id, hash); held > 0 || !db.ok()) {
    if (!db.ok()) return failed();
    out.revision = held;
    if (!db.runScript("COMMIT")) return failed();
    return out;
  }
  const Result last = db.run("SELECT coalesce(max(revision), 0) FROM korsi7.revisions WHERE job_id = $1", {j.id});
  if (!last) return failed();
  const int revision = wholeValue(last) + 1;

  const job::JobHeader& h = j.header;
  const StoredVerdict verdict = storedVerdict(j);
  const Params header{j.id,
                      std::to_string(revision),
                      hash,
                      h.object,
                      h.client,
                      h.coatingSystem,
                      h.coat,
                      h.inspector,
                      h.gauge,
                      h.gaugeSerial,
                      h.date,
                      std::string(job::ruleWord(h.rule)),
                      std::string(job::unitWord(h.unit)),
                      numberText(h.nominal),
                      numberText(h.maximum),
                      std::to_string(h.level),
                      std::to_string(h.spotSize),
                      std::string(job::setUpWord(h.setUp)),
                      numberText(h.measuredCorrection),
                      verdict.word,
                      verdict.text};
  if (!db.run("INSERT INTO korsi7.revisions (job_id, revision, content_hash, object, client, coating_system, coat,"
              " inspector, gauge, gauge_serial, job_date, rule, unit, nominal, maximum, level, spot_size, set_up,"
              " measured_correction, verdict, verdict_text) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11,"
              " $12, $13, $14, $15, $16, $17, $18, $19, $20, $21)",
              header)) {
    return failed();
  }
  const RevisionRows rows = revisionRows(j, j.id, revision);
  if (!rows.areas.empty() &&
      !db.copyIn("COPY korsi7.areas (job_id, revision, position, name, surface_m2, surface_ft2, kind, numbers, reading_count, rule,"
                 " nominal, maximum, level, spot_size) FROM STDIN",
                 rows.areas)) {
    return failed();
  }
  if (!rows.readings.empty() &&
      !db.copyIn("COPY korsi7.readings (job_id, revision, num, gauge_time, thickness_mm, note) FROM STDIN",
                 rows.readings)) {
    return failed();
  }
  if (!rows.summaries.empty() &&
      !db.copyIn("COPY korsi7.report_summaries (job_id, revision, position, reading_count, mean_um, minimum_um,"
                 " maximum_um, std_dev_um, verdict, verdict_text) FROM STDIN",
                 rows.summaries)) {
    return failed();
  }
  if (!db.runScript("COMMIT")) return failed();
  out.revision = revision;
  out.added = true;
  return out;
}

}  // namespace korsi::company
