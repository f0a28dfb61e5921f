#include "company_archive/company_archive.h"

#include <filesystem>
#include <set>

#include "company_archive/archive_publish.h"
#include "company_archive/job_rows.h"

namespace korsi::company {

std::optional<std::string> companyArchiveUri(const Config& config) {
  try {
    std::string uri = config.getString(kCompanyArchiveKey);
    if (uri.empty()) return std::nullopt;
    return uri;
  } catch (const ConfigException&) {
    return std::nullopt;
  }
}

bool companyArchiveSupported() { return true; }

std::optional<std::size_t> waitingJobs(const std::string& outboxPath, std::string* error) {
  // No file: nothing ever waited, and none is made just to say so.
  std::error_code ec;
  if (!std::filesystem::exists(outboxPath, ec)) return 0;
  const auto box = Outbox::open(outboxPath, error);
  if (!box) return std::nullopt;
  return box->count(error);
}

SyncReport sendOutbox(const ArchivePlace& place) {
  SyncReport report;
  const auto box = Outbox::open(place.outboxPath, &report.outboxError);
  if (!box) return report;
  const auto entries = box->entries(&report.outboxError);
  if (!entries) return report;
  report.waiting = entries->size();
  if (entries->empty()) return report;

  PgConnection db(place.uri);
  if (!db.ok()) {
    report.stop = db.failure();
    return report;
  }
  std::set<std::string> held;  // jobs with a refused entry: their later ones wait behind it
  for (const OutboxEntry& e : *entries) {
    if (held.contains(e.jobId)) continue;
    std::string why;
    const auto job = box->job(e.seq, &why);
    if (!job) {
      report.refusals.push_back("«" + e.object + "» (" + e.jobId + "): " + why);
      held.insert(e.jobId);
      continue;
    }
    const PublishOutcome outcome = publishJob(db, *job);
    if (outcome.failure.transient() || outcome.failure.kind == FailureKind::NotInitialised) {
      report.stop = outcome.failure;
      break;
    }
    if (outcome.failure) {
      box->noteRefusal(e.seq, outcome.failure.message);
      report.refusals.push_back("«" + e.object + "» (" + e.jobId + "): " + outcome.failure.message);
      held.insert(e.jobId);
      continue;
    }
    // Taken out only now that the server has it; a crash before this line
    // sends it again, which adds nothing.
    if (const std::string removeError = box->remove(e.seq); !removeError.empty()) {
      report.outboxError = "Не удалось убрать отправленную проверку из очереди «" + place.outboxPath + "»: " +
                           removeError;
      break;
    }
    --report.waiting;
    (outcome.added ? report.sent : report.alreadyThere) += 1;
    report.done.push_back({e.jobId, e.contentHash, outcome.revision, outcome.added});
  }
  return report;
}

PublishReport publishThroughOutbox(const ArchivePlace& place, const job::InspectionJob& job) {
  PublishReport report;
  if (const std::string problem = publishProblem(job); !problem.empty()) {
    report.message = "Проверку нельзя опубликовать: " + problem;
    return report;
  }
  {
    std::string error;
    const auto box = Outbox::open(place.outboxPath, &error);
    if (!box) {
      report.message = error;
      return report;
    }
    if (const std::string why = box->add(job); !why.empty()) {
      report.message = why;
      return report;
    }
  }
  const SyncReport sync = sendOutbox(place);
  report.waiting = sync.waiting;
  // What became of this job decides what is said.
  const std::string hash = contentHash(job);
  const SyncReport::Sent* mine = nullptr;
  for (const SyncReport::Sent& s : sync.done) {
    if (s.jobId == job.id && s.contentHash == hash) mine = &s;
  }
  for (const std::string& r : sync.refusals) report.message += r + "\n";
  if (!sync.outboxError.empty()) report.message += sync.outboxError + "\n";
  if (mine != nullptr) {
    report.result = mine->added ? PublishReport::Result::Published : PublishReport::Result::AlreadyThere;
    report.revision = mine->revision;
    report.message += mine->added ? "Проверка опубликована в архив компании: ревизия " + std::to_string(mine->revision)
                                  : "Проверка уже есть в архиве компании (ревизия " + std::to_string(mine->revision) +
                                        "); ничего не добавлено";
  } else if (sync.stop) {
    report.result = PublishReport::Result::Queued;
    report.message += sync.stop.message + "\nПроверка сохранена в очереди на отправку и будет отправлена, когда сервер "
                                          "станет доступен (в очереди: " +
                      std::to_string(sync.waiting) + ")";
  } else {
    report.result = PublishReport::Result::Refused;
    report.message += "Проверка осталась в очереди на отправку (в очереди: " + std::to_string(sync.waiting) + ")";
  }
  while (!report.message.empty() && report.message.back() == '\n') report.message.pop_back();
  return report;
}

}  // namespace korsi::company
