#include "tools/transfer/archive_command.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "company_archive/archive_browse.h"
#include "company_archive/archive_schema.h"
#include "company_archive/company_archive.h"
#include "inspection/job_file.h"
#include "inspection/job_id.h"
#include "storage/recordset/date_time.h"
#include "tools/transfer/archive_listing.h"
#include "tools/transfer/transfer_options.h"

namespace korsi::transfer {

namespace {

namespace co = korsi::company;

struct ArchiveOptions {
  std::string action;  // publish, init, upgrade, sync, outbox, list, get, approve
  std::string target;  // the job file of publish, the ID of get and approve
  std::optional<std::string> config;
  std::optional<std::string> outbox;
  std::optional<std::string> output;
  std::optional<int> revision;
  co::JobFilter filter;
  bool json = false;
  bool quiet = false;
  bool help = false;
};

// Which options each action takes besides --config, --outbox, --quiet and --help.
const std::map<std::string, std::vector<std::string>, std::less<>> kActions{
    {"publish", {}},
    {"init", {}},
    {"upgrade", {}},
    {"sync", {}},
    {"outbox", {}},
    {"list", {"--object", "--client", "--inspector", "--since", "--until", "--verdict", "--json"}},
    {"get", {"-o", "--output", "--revision"}},
    {"approve", {}},
};

bool needsTarget(const std::string& action) { return action == "publish" || action == "get" || action == "approve"; }

bool isDateOrTime(const std::string& text) { return parseIsoText(text).has_value(); }

bool isVerdictWord(const std::string& w) {
  return w == "pass" || w == "fail" || w == "too_few_measurements" || w == "not_applicable" || w == "none";
}

// Nothing but *error on a wrong command line.
std::optional<ArchiveOptions> parse(const std::vector<std::string>& args, std::string* error) {
  ArchiveOptions o;
  std::size_t i = 0;
  if (args.at(0) == "publish") {
    o.action = "publish";
    i = 1;
  } else {
    i = 1;
    // "archive --help" alone
    if (args.size() > 1 && !args[1].starts_with("-")) {
      o.action = args[1];
      i = 2;
    }
  }
  for (; i < args.size(); ++i) {
    auto [name, value] = splitOptionWord(args[i]);
    if (name == "--help" || name == "-h") {
      o.help = true;
      continue;
    }
    if (!name.starts_with("-")) {
      if (!o.target.empty() || !needsTarget(o.action)) {
        *error = "unexpected argument " + name;
        return std::nullopt;
      }
      o.target = name;
      continue;
    }
    if (name == "--quiet" || name == "-q" || name == "--json") {
      if (value) {
        *error = name + " takes no value";
        return std::nullopt;
      }
    } else if (!value) {
      if (i + 1 >= args.size()) {
        *error = name + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    const auto found = kActions.find(o.action);
    const bool common = name == "--config" || name == "--outbox" || name == "--quiet" || name == "-q";
    const bool own = found != kActions.end() &&
                     std::find(found->second.begin(), found->second.end(), name) != found->second.end();
    if (!common && !own) {
      *error = found == kActions.end() ? "unknown option " + name : name + ": not an option of archive " + o.action;
      if (o.action == "publish" && !common) *error = name + ": not an option of publish";
      return std::nullopt;
    }
    if (name == "--config") o.config = *value;
    if (name == "--outbox") o.outbox = *value;
    if (name == "--quiet" || name == "-q") o.quiet = true;
    if (name == "--json") o.json = true;
    if (name == "-o" || name == "--output") o.output = *value;
    if (name == "--object") o.filter.object = *value;
    if (name == "--client") o.filter.client = *value;
    if (name == "--inspector") o.filter.inspector = *value;
    if (name == "--since" || name == "--until") {
      if (!isDateOrTime(*value)) {
        *error = name + " " + *value + ": a date (2026-12-11) or a time (2026-12-11T14:30:00) is expected";
        return std::nullopt;
      }
      (name == "--since" ? o.filter.since : o.filter.until) = *value;
    }
    if (name == "--verdict") {
      if (!isVerdictWord(*value)) {
        *error = "--verdict " + *value + ": pass, fail, too_few_measurements, not_applicable or none is expected";
        return std::nullopt;
      }
      o.filter.verdict = *value;
    }
    if (name == "--revision") {
      int n = 0;
      const auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), n);
      if (ec != std::errc() || end != value->data() + value->size() || n < 1) {
        *error = "--revision " + *value + ": a revision number from 1 is expected";
        return std::nullopt;
      }
      o.revision = n;
    }
  }
  if (o.help) return o;
  if (o.action.empty()) {
    *error = "archive needs an action: init, upgrade, sync, outbox, list, get or approve";
    return std::nullopt;
  }
  if (!kActions.contains(o.action)) {
    *error = "unknown archive action " + o.action + " (init, upgrade, sync, outbox, list, get or approve)";
    return std::nullopt;
  }
  if (needsTarget(o.action) && o.target.empty()) {
    *error = o.action == "publish" ? "publish needs a job file (JOB.kjob)" : "archive " + o.action + " needs a job's ID";
    return std::nullopt;
  }
  if (o.action == "get" && !o.output) {
    *error = "archive get needs -o JOB.kjob";
    return std::nullopt;
  }
  return o;
}

class ArchiveRun {
 public:
  ArchiveRun(ArchiveOptions options, std::FILE* out, std::FILE* err) : o_(std::move(options)), out_(out), err_(err) {}

  int run() {
    if (const int status = findPlace(); status != kExitDone) return status;
    if (o_.action == "publish") return publish();
    if (o_.action == "init" || o_.action == "upgrade") return prepare(o_.action == "init");
    if (o_.action == "sync") return sync();
    if (o_.action == "outbox") return outbox();
    if (o_.action == "list") return list();
    if (o_.action == "get") return get();
    return approve();
  }

 private:
  int fail(int status, const std::string& line) {
    std::fprintf(err_, "%s: %s\n", kProgramName, line.c_str());
    return status;
  }
  void note(const std::string& line) {
    if (!o_.quiet) std::fprintf(err_, "%s: %s\n", kProgramName, line.c_str());
  }
  static int statusOf(const co::ServerFailure& f) {
    switch (f.kind) {
      case co::FailureKind::None: return kExitDone;
      case co::FailureKind::Unreachable:
      case co::FailureKind::Certificate:
      case co::FailureKind::Login: return kExitQueued;
      default: return kExitRefused;
    }
  }
  int serverFailed(const co::ServerFailure& f) { return fail(statusOf(f), f.message); }

  // The server and the outbox from the configuration.
  int findPlace() {
    std::string path = o_.config.value_or(kConfigFileName);
    std::error_code ec;
    if (!o_.config && !std::filesystem::exists(path, ec)) {
      return fail(kExitUsage, "нет файла kestro.conf: архив компании задаётся в нём строкой «company_archive "
                              "<URI>» (или укажите --config FILE)");
    }
    std::unique_ptr<Config> config;
    try {
      config = std::make_unique<Config>(path, ConfigWriteBack::OnRequest);
    } catch (const ConfigException&) {
      return fail(kExitUsage, path + ": не удалось прочитать файл конфигурации");
    }
    const auto uri = co::companyArchiveUri(*config);
    if (!uri) {
      return fail(kExitUsage, path + ": нет строки «company_archive <URI>», архив компании не задан");
    }
    place_.uri = *uri;
    place_.outboxPath = o_.outbox.value_or(
        (std::filesystem::path(path).parent_path() / co::kOutboxFileName).string());
    return kExitDone;
  }

  int publish() {
    job::OpenedJob opened = job::openJob(o_.target);
    if (!opened.ok()) return fail(kExitUsage, opened.error);
    if (opened.job.id.empty()) {
      // A file saved before jobs had an identity gets one now, kept in the
      // file, so that publishing it again is the same job.
      opened.job.id = job::newJobId();
      if (const std::string why = job::saveJob(o_.target, opened.job); !why.empty()) {
        return fail(kExitOutputFailed, why);
      }
      note(o_.target + ": проверке присвоен идентификатор " + opened.job.id);
    }
    const co::PublishReport report = co::publishThroughOutbox(place_, opened.job);
    switch (report.result) {
      case co::PublishReport::Result::Published:
      case co::PublishReport::Result::AlreadyThere:
        std::fprintf(out_, "%s\t%d\n", opened.job.id.c_str(), report.revision);
        note(report.message);
        if (report.waiting > 0) note("в очереди на отправку ещё " + std::to_string(report.waiting));
        return kExitDone;
      case co::PublishReport::Result::Queued: return fail(kExitQueued, report.message + " — " + place_.outboxPath);
      case co::PublishReport::Result::Refused: return fail(kExitRefused, report.message);
      case co::PublishReport::Result::Invalid: break;
    }
    return fail(kExitUsage, report.message);
  }

  int prepare(bool create) {
    co::PgConnection db(place_.uri);
    if (!db.ok()) return serverFailed(db.failure());
    const co::SchemaOutcome outcome = co::prepareArchive(db, create);
    if (outcome.failure) return serverFailed(outcome.failure);
    if (outcome.from == outcome.to) {
      note("архив компании уже в схеме " + std::to_string(outcome.to) + "; ничего не изменено");
    } else {
      note("архив компании: схема " + std::to_string(outcome.from) + " → " + std::to_string(outcome.to));
    }
    std::fprintf(out_, "schema: %d\n", outcome.to);
    return kExitDone;
  }

  int sync() {
    const co::SyncReport report = co::sendOutbox(place_);
    for (const std::string& r : report.refusals) std::fprintf(err_, "%s: %s\n", kProgramName, r.c_str());
    if (!report.outboxError.empty()) return fail(kExitOutputFailed, report.outboxError);
    std::fprintf(out_, "sent: %zu\nalready there: %zu\nwaiting: %zu\n", report.sent, report.alreadyThere,
                 report.waiting);
    if (report.stop) return serverFailed(report.stop);
    return report.refusals.empty() ? kExitDone : kExitRefused;
  }

  int outbox() {
    std::string error;
    std::error_code ec;
    if (!std::filesystem::exists(place_.outboxPath, ec)) return kExitDone;
    const auto box = co::Outbox::open(place_.outboxPath, &error);
    const auto entries = box ? box->entries(&error) : std::nullopt;
    if (!entries) return fail(kExitOutputFailed, error);
    for (const co::OutboxEntry& e : *entries) {
      std::fprintf(out_, "%lld\t%s\t%s\t%s\t%s\n", static_cast<long long>(e.seq), e.jobId.c_str(),
                   e.queuedAt.c_str(), e.object.c_str(), e.lastError.c_str());
    }
    return kExitDone;
  }

  int list() {
    co::PgConnection db(place_.uri);
    if (!db.ok()) return serverFailed(db.failure());
    const co::JobList jobs = co::listJobs(db, o_.filter);
    if (jobs.failure) return serverFailed(jobs.failure);
    std::fputs((o_.json ? listingJson(jobs.jobs) : listingText(jobs.jobs)).c_str(), out_);
    return kExitDone;
  }

  int get() {
    co::PgConnection db(place_.uri);
    if (!db.ok()) return serverFailed(db.failure());
    const co::FetchedJob fetched = co::fetchJob(db, o_.target, o_.revision);
    if (fetched.failure) return serverFailed(fetched.failure);
    if (!fetched.notFound.empty()) return fail(kExitRefused, fetched.notFound);
    if (const std::string why = job::saveJob(*o_.output, fetched.job); !why.empty()) {
      return fail(kExitOutputFailed, why);
    }
    note(o_.target + ", ревизия " + std::to_string(fetched.listed.revision) + ": записана в " + *o_.output);
    return kExitDone;
  }

  int approve() {
    co::PgConnection db(place_.uri);
    if (!db.ok()) return serverFailed(db.failure());
    const co::Approval approval = co::approveJob(db, o_.target);
    if (approval.failure) return serverFailed(approval.failure);
    if (!approval.refusal.empty()) return fail(kExitRefused, approval.refusal);
    std::fprintf(out_, "%s\t%d\n", o_.target.c_str(), approval.revision);
    note("ревизия " + std::to_string(approval.revision) + " проверки " + o_.target + " утверждена");
    return kExitDone;
  }

  ArchiveOptions o_;
  std::FILE* out_;
  std::FILE* err_;
  co::ArchivePlace place_;
};

}  // namespace

bool isArchiveCommand(const std::vector<std::string>& args) {
  return !args.empty() && (args.front() == "publish" || args.front() == "archive");
}

int archiveCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto options = parse(args, &error);
  if (!options) {
    std::fprintf(err, "%s: %s (see %s archive --help)\n", kProgramName, error.c_str(), kProgramName);
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(archiveHelpText().c_str(), out);
    return kExitDone;
  }
  return ArchiveRun(*options, out, err).run();
}

std::string archiveHelpSummary() {
  return "korsi7-transfer publish JOB publishes a job file to the company archive on\n"
         "PostgreSQL; korsi7-transfer archive init|upgrade|sync|outbox|list|get|approve\n"
         "works on that archive: see korsi7-transfer archive --help.\n";
}

std::string archiveHelpText() {
  return R"(Usage:
  korsi7-transfer publish JOB.kjob [options]
  korsi7-transfer archive init | upgrade | sync | outbox [options]
  korsi7-transfer archive list [--object O] [--client C] [--inspector I]
                  [--since DATE] [--until DATE] [--verdict V] [--json] [options]
  korsi7-transfer archive get ID -o JOB.kjob [--revision N] [options]
  korsi7-transfer archive approve ID [options]

The company archive on PostgreSQL. Its server is the configuration's line
"company_archive <libpq URI>", for example
  company_archive postgresql://archive.example/korsi7?sslmode=verify-full
Passwords never go in kestro.conf: libpq reads them from ~/.pgpass,
PGPASSFILE or a service file. Who may do what is the server's decision:
inspectors (korsi7_inspector) publish their own jobs and read all,
reviewers (korsi7_reviewer) also approve, korsi7_admin owns the schema.

publish  puts the job in the outbox, then sends everything waiting there,
         oldest first, in one transaction per job. The same job (its UUID)
         with the same content adds nothing; changed content becomes the next
         revision. A job file without a UUID gets one, written into the file.
         Prints the job's ID and its revision.
init     (an administrator) creates the roles korsi7_inspector,
         korsi7_reviewer and korsi7_admin and the archive's schema, or
         upgrades it; upgrade only upgrades one that is there. Both refuse a
         server whose schema is newer than this program's.
sync     sends the jobs waiting in the outbox.
outbox   lists them: number, ID, queued at, object, the server's last refusal.
list     the jobs, the current revision of each, newest first; the filters
         match exactly (--inspector: the header's inspector or the role that
         published), --since and --until are publication dates (UTC),
         --verdict is pass, fail, too_few_measurements, not_applicable or
         none. --json prints an array, one object per job.
get      writes a job's current revision (or --revision N) as a job file.
approve  approves a job's current revision (reviewers only); an approved
         revision never changes again, a correction is a new revision.

Options:
  --config FILE   the configuration (default ./kestro.conf)
  --outbox FILE   the outbox (default korsi7-outbox.sqlite beside the
                  configuration)
  --quiet         no remarks on standard error

Exit status:
  0    done
  2    usage, no company_archive line, a job file that cannot be read
  5    a file (the job file, the outbox) could not be written
  6    the server could not be reached, or refused the connection (its
       certificate, the login); publish keeps the job in the outbox
  7    the server refused: no permission, no archive there (run archive
       init), a newer schema, no such job, already approved
)";
}

}  // namespace korsi::transfer
