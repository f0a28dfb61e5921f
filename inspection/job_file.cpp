#include "inspection/job_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <string_view>
#include <variant>

#include "inspection/job_id.h"
#include "inspection/job_words.h"
#include "storage/archive/guarded_database.h"
#include "storage/archive/sqlite.h"
#include "services/atomic_file.h"

namespace korsi::job {

namespace {

namespace sqlite = korsi::archive::sqlite;

// "KJOB": tells a job file from any other SQLite database.
constexpr std::int32_t kApplicationId = kJobApplicationId;

// SQLite stores a NaN as NULL, so a thickness that is not a number (the gauge
// can send any bit pattern) is kept as this text and refused when judged.
constexpr std::string_view kNanText = "NaN";

// The tables as this program makes them. Opening compares a file's schema
// with these statements word for word, so that a file holds nothing else (a
// view or a trigger that would run when the file is read).
constexpr const char* kHeaderSql = "CREATE TABLE header (key TEXT PRIMARY KEY NOT NULL, value)";
constexpr const char* kReadingsSql = "CREATE TABLE readings (num INTEGER PRIMARY KEY, date TEXT, thickness_mm NOT NULL, note TEXT)";
// Format 1: a surface in square metres only.
constexpr const char* kAreasSql1 =
    "CREATE TABLE areas (position INTEGER PRIMARY KEY, name TEXT NOT NULL, surface_m2 REAL,"
    " numbers TEXT NOT NULL, reading_count INTEGER NOT NULL, rule TEXT, nominal REAL, maximum REAL,"
    " level INTEGER, spot_size INTEGER)";
// Format 2: or in square feet, and the kind of surface (flat or complex).
constexpr const char* kAreasSql2 =
    "CREATE TABLE areas (position INTEGER PRIMARY KEY, name TEXT NOT NULL, surface_m2 REAL,"
    " numbers TEXT NOT NULL, reading_count INTEGER NOT NULL, rule TEXT, nominal REAL, maximum REAL,"
    " level INTEGER, spot_size INTEGER, surface_ft2 REAL, kind TEXT)";
static_assert(kJobFormatVersion == 2, "the tables below are of format 2");

constexpr sqlite::ExpectedTable kTables1[] = {{"header", kHeaderSql}, {"areas", kAreasSql1}, {"readings", kReadingsSql}};
constexpr sqlite::ExpectedTable kTables2[] = {{"header", kHeaderSql}, {"areas", kAreasSql2}, {"readings", kReadingsSql}};

int bindText(sqlite3_stmt* st, int index, std::string_view text) {
  return sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int bindNumber(sqlite3_stmt* st, int index, std::optional<double> value) {
  if (!value) return sqlite3_bind_null(st, index);
  if (std::isnan(*value)) return bindText(st, index, kNanText);
  return sqlite3_bind_double(st, index, *value);
}

std::string_view columnText(sqlite3_stmt* st, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
  return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(st, column))) : std::string_view();
}

// Runs one prepared statement to its end.
bool stepDone(sqlite3* db, sqlite3_stmt* st, std::string& error) {
  if (sqlite3_step(st) != SQLITE_DONE) {
    error = sqlite::errorText(db);
    return false;
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  return true;
}

using HeaderValue = std::variant<std::string, double, std::int64_t>;

bool writeJob(sqlite3* db, const InspectionJob& job, std::string& error) {
  // The file is a new temporary one: a journal or waiting for the disk would
  // only slow the save, the durable replace makes the whole file durable.
  if (!sqlite::exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN", error)) return false;
  const std::string ids = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                          "; PRAGMA user_version=" + std::to_string(kJobFormatVersion);
  if (!sqlite::exec(db, ids.c_str(), error)) return false;
  for (const sqlite::ExpectedTable& table : kTables2) {
    if (!sqlite::exec(db, table.createSql, error)) return false;
  }

  const JobHeader& h = job.header;
  std::vector<std::pair<const char*, std::optional<HeaderValue>>> header{
      {"object", h.object},
      {"client", h.client},
      {"coating_system", h.coatingSystem},
      {"coat", h.coat},
      {"inspector", h.inspector},
      {"gauge", h.gauge},
      {"gauge_serial", h.gaugeSerial},
      {"date", h.date},
      {"rule", std::string(ruleWord(h.rule))},
      {"unit", std::string(unitWord(h.unit))},
      {"level", std::int64_t{h.level}},
      {"spot_size", static_cast<std::int64_t>(h.spotSize)},
      {"set_up", std::string(setUpWord(h.setUp))},
  };
  if (h.nominal) header.emplace_back("nominal", *h.nominal);
  if (h.maximum) header.emplace_back("maximum", *h.maximum);
  if (h.measuredCorrection) header.emplace_back("measured_correction", *h.measuredCorrection);
  // One more header key, not a new format: a reader that does not know it
  // passes over it.
  if (!job.id.empty()) header.emplace_back("job_id", job.id);
  sqlite::Statement put = sqlite::prepare(db, "INSERT INTO header (key, value) VALUES (?, ?)", error);
  if (!put) return false;
  for (const auto& [key, value] : header) {
    bindText(put.get(), 1, key);
    if (const auto* s = std::get_if<std::string>(&*value)) bindText(put.get(), 2, *s);
    if (const auto* d = std::get_if<double>(&*value)) bindNumber(put.get(), 2, *d);
    if (const auto* i = std::get_if<std::int64_t>(&*value)) sqlite3_bind_int64(put.get(), 2, *i);
    if (!stepDone(db, put.get(), error)) return false;
  }

  sqlite::Statement area = sqlite::prepare(
      db,
      "INSERT INTO areas (position, name, surface_m2, numbers, reading_count, rule, nominal, maximum, level,"
      " spot_size, surface_ft2, kind) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      error);
  if (!area) return false;
  for (std::size_t i = 0; i < job.areas.size(); ++i) {
    const JobArea& a = job.areas[i];
    sqlite3_stmt* st = area.get();
    sqlite3_bind_int64(st, 1, static_cast<sqlite3_int64>(i + 1));
    bindText(st, 2, a.name);
    const auto surfaceIn = [&](inspection::SurfaceUnit unit) {
      return a.surface && a.surface->unit == unit ? std::optional(a.surface->value) : std::nullopt;
    };
    bindNumber(st, 3, surfaceIn(inspection::SurfaceUnit::SquareMetre));
    bindText(st, 4, rangesText(a.numbers));
    sqlite3_bind_int64(st, 5, static_cast<sqlite3_int64>(areaReadings(a, job.readings).size()));
    if (a.overrides.rule) bindText(st, 6, ruleWord(*a.overrides.rule));
    bindNumber(st, 7, a.overrides.nominal);
    bindNumber(st, 8, a.overrides.maximum);
    if (a.overrides.level) sqlite3_bind_int64(st, 9, *a.overrides.level);
    if (a.overrides.spotSize) sqlite3_bind_int64(st, 10, static_cast<sqlite3_int64>(*a.overrides.spotSize));
    bindNumber(st, 11, surfaceIn(inspection::SurfaceUnit::SquareFoot));
    if (a.kind) bindText(st, 12, kindWord(*a.kind));
    if (!stepDone(db, st, error)) return false;
  }

  sqlite::Statement reading =
      sqlite::prepare(db, "INSERT INTO readings (num, date, thickness_mm, note) VALUES (?, ?, ?, ?)", error);
  if (!reading) return false;
  for (const JobReading& r : job.readings) {
    sqlite3_stmt* st = reading.get();
    sqlite3_bind_int64(st, 1, r.num);
    if (r.date) bindText(st, 2, isoText(*r.date, ' '));
    bindNumber(st, 3, r.h);
    if (r.note) bindText(st, 4, *r.note);
    if (!stepDone(db, st, error)) return false;
  }
  return sqlite::exec(db, "COMMIT", error);
}

// Reading a file refused for a cause; `detail` is SQLite's own text when it has one.
struct Refusal {
  std::string cause;
};

std::string damaged(const std::string& detail) { return "файл повреждён (" + detail + ")"; }

constexpr const char* kNotAJobFile = "это не файл проверки КОРСИ-7";

// Why a statement on the file did not run to its end.
std::string readFailure(const sqlite::GuardedDatabase& file) {
  return file.cutShort() ? file.errorText() : damaged(file.errorText());
}

// A number that was never set: written as "NaN" by an earlier version.
std::optional<double> setNumber(std::optional<double> value) {
  return value && std::isfinite(*value) ? value : std::nullopt;
}

std::optional<double> numberColumn(sqlite3_stmt* st, int column, const char* what, std::string& error) {
  switch (sqlite3_column_type(st, column)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return sqlite3_column_double(st, column);
    case SQLITE_TEXT:
      if (columnText(st, column) == kNanText) return std::numeric_limits<double>::quiet_NaN();
      break;
    default:
      break;
  }
  error = damaged(std::string(what) + " не число");
  return std::nullopt;
}

std::optional<std::int64_t> wholeColumn(sqlite3_stmt* st, int column, const char* what, std::string& error) {
  if (sqlite3_column_type(st, column) == SQLITE_NULL) return std::nullopt;
  if (sqlite3_column_type(st, column) != SQLITE_INTEGER) {
    error = damaged(std::string(what) + " не целое число");
    return std::nullopt;
  }
  return sqlite3_column_int64(st, column);
}

// The header's values by key.
struct HeaderRow {
  int type = SQLITE_NULL;
  std::string text;
  double number = 0.0;
  std::int64_t whole = 0;
};

std::string readHeader(const sqlite::GuardedDatabase& file, JobHeader& h, std::string& id) {
  sqlite3* db = file.get();
  std::string error;
  sqlite::Statement st = sqlite::prepare(db, "SELECT key, value FROM header", error);
  if (!st) return damaged(file.errorText());
  std::map<std::string, HeaderRow, std::less<>> rows;
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    HeaderRow row;
    row.type = sqlite3_column_type(st.get(), 1);
    row.text = columnText(st.get(), 1);
    row.number = sqlite3_column_double(st.get(), 1);
    row.whole = sqlite3_column_int64(st.get(), 1);
    rows[std::string(columnText(st.get(), 0))] = std::move(row);
  }
  if (rc != SQLITE_DONE) return readFailure(file);

  const auto text = [&](const char* key, std::string& into) {
    if (const auto at = rows.find(key); at != rows.end()) into = at->second.text;
  };
  text("object", h.object);
  text("client", h.client);
  text("coating_system", h.coatingSystem);
  text("coat", h.coat);
  text("inspector", h.inspector);
  text("gauge", h.gauge);
  text("gauge_serial", h.gaugeSerial);
  text("date", h.date);
  // A file saved before jobs had an identity has none; one is given on its next save.
  text("job_id", id);
  if (!id.empty() && !isJobId(id)) return damaged("идентификатор проверки не UUID");
  const auto word = [&](const char* key) -> std::optional<std::string> {
    const auto at = rows.find(key);
    if (at == rows.end() || at->second.type != SQLITE_TEXT) return std::nullopt;
    return at->second.text;
  };
  const auto number = [&](const char* key, std::optional<double>& into) {
    const auto at = rows.find(key);
    // "NaN" is what an earlier version wrote for a field typed as no number:
    // the value was never set, and the rest of the job is whole.
    if (at == rows.end() || (at->second.type == SQLITE_TEXT && at->second.text == kNanText)) return true;
    if (at->second.type != SQLITE_FLOAT && at->second.type != SQLITE_INTEGER) return false;
    into = at->second.number;
    return std::isfinite(*into);
  };
  const auto whole = [&](const char* key) -> std::optional<std::int64_t> {
    const auto at = rows.find(key);
    if (at == rows.end() || at->second.type != SQLITE_INTEGER) return std::nullopt;
    return at->second.whole;
  };
  const auto rule = word("rule");
  const auto unit = word("unit");
  const auto setUp = word("set_up");
  const auto level = whole("level");
  const auto spotSize = whole("spot_size");
  if (!rule || !ruleFromWord(*rule)) return damaged("правило не указано или неизвестно");
  if (!unit || !unitFromWord(*unit)) return damaged("единицы не указаны или неизвестны");
  if (!setUp || !setUpFromWord(*setUp)) return damaged("настройка прибора не указана или неизвестна");
  if (!level || *level < std::numeric_limits<int>::min() || *level > std::numeric_limits<int>::max() || !spotSize ||
      *spotSize < 0) {
    return damaged("уровень или размер пятна не целое число");
  }
  h.rule = *ruleFromWord(*rule);
  h.unit = *unitFromWord(*unit);
  h.setUp = *setUpFromWord(*setUp);
  h.level = static_cast<int>(*level);
  h.spotSize = static_cast<std::size_t>(*spotSize);
  if (!number("nominal", h.nominal) || !number("maximum", h.maximum) ||
      !number("measured_correction", h.measuredCorrection)) {
    return damaged("толщина в заголовке не число");
  }
  return {};
}

std::string readAreas(const sqlite::GuardedDatabase& file, int version, std::vector<JobArea>& areas,
                      std::vector<std::int64_t>& counts) {
  std::string error;
  sqlite::Statement st = sqlite::prepare(
      file.get(),
      version >= 2 ? "SELECT name, surface_m2, numbers, reading_count, rule, nominal, maximum, level, spot_size,"
                     " surface_ft2, kind FROM areas ORDER BY position"
                   : "SELECT name, surface_m2, numbers, reading_count, rule, nominal, maximum, level, spot_size,"
                     " NULL, NULL FROM areas ORDER BY position",
      error);
  if (!st) return damaged(file.errorText());
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    sqlite3_stmt* s = st.get();
    JobArea a;
    a.name = columnText(s, 0);
    const auto m2 = setNumber(numberColumn(s, 1, "площадь зоны", error));
    const auto ft2 = setNumber(numberColumn(s, 9, "площадь зоны", error));
    if (m2 && ft2) return damaged("площадь зоны «" + a.name + "» задана и в м², и в фут²");
    if (m2) a.surface = inspection::squareMetresSurface(*m2);
    if (ft2) a.surface = inspection::squareFeetSurface(*ft2);
    if (sqlite3_column_type(s, 10) != SQLITE_NULL) {
      a.kind = kindFromWord(columnText(s, 10));
      if (!a.kind) return damaged("неизвестный вид поверхности зоны «" + a.name + "»");
    }
    const ParsedRanges numbers = parseNumberRanges(columnText(s, 2));
    if (!numbers.ok()) return damaged("номера зоны «" + a.name + "»: " + numbers.error);
    a.numbers = numbers.ranges;
    const auto count = wholeColumn(s, 3, "число замеров зоны", error);
    if (sqlite3_column_type(s, 4) != SQLITE_NULL) {
      a.overrides.rule = ruleFromWord(columnText(s, 4));
      if (!a.overrides.rule) return damaged("неизвестное правило зоны «" + a.name + "»");
    }
    a.overrides.nominal = setNumber(numberColumn(s, 5, "толщина зоны", error));
    a.overrides.maximum = setNumber(numberColumn(s, 6, "максимум зоны", error));
    const auto level = wholeColumn(s, 7, "уровень зоны", error);
    const auto spotSize = wholeColumn(s, 8, "размер пятна зоны", error);
    if (!error.empty()) return error;
    if (!count) return damaged("нет числа замеров зоны «" + a.name + "»");
    if ((level && (*level < 0 || *level > 1000)) || (spotSize && (*spotSize < 0 || *spotSize > 1000000))) {
      return damaged("уровень или размер пятна зоны «" + a.name + "» вне пределов");
    }
    if (level) a.overrides.level = static_cast<int>(*level);
    if (spotSize) a.overrides.spotSize = static_cast<std::size_t>(*spotSize);
    counts.push_back(*count);
    areas.push_back(std::move(a));
  }
  if (rc != SQLITE_DONE) return readFailure(file);
  if (const std::string problem = areasProblem(areas); !problem.empty()) return damaged(problem);
  return {};
}

std::string readReadings(const sqlite::GuardedDatabase& file, std::vector<JobReading>& readings) {
  std::string error;
  sqlite::Statement st =
      sqlite::prepare(file.get(), "SELECT num, date, thickness_mm, note FROM readings ORDER BY num", error);
  if (!st) return damaged(file.errorText());
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    sqlite3_stmt* s = st.get();
    JobReading r;
    const sqlite3_int64 num = sqlite3_column_int64(s, 0);
    if (num < 1 || num > std::numeric_limits<std::int32_t>::max()) return damaged("номер замера вне пределов");
    r.num = static_cast<std::int32_t>(num);
    if (sqlite3_column_type(s, 1) != SQLITE_NULL) {
      r.date = parseIsoText(columnText(s, 1));
      if (!r.date) return damaged("дата замера № " + std::to_string(r.num) + " не дата");
    }
    const auto h = numberColumn(s, 2, "толщина замера", error);
    if (!h) return error.empty() ? damaged("нет толщины замера № " + std::to_string(r.num)) : error;
    r.h = *h;
    if (sqlite3_column_type(s, 3) != SQLITE_NULL) r.note = std::string(columnText(s, 3));
    readings.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) return readFailure(file);
  return {};
}

std::string readJob(sqlite::GuardedDatabase& file, InspectionJob& job) {
  sqlite3* db = file.get();
  if (file.stopRequested()) return sqlite::kReadStoppedText;
  std::string error;
  sqlite::Statement ids = sqlite::prepare(db, "SELECT application_id, user_version FROM pragma_application_id,"
                                              " pragma_user_version", error);
  if (!ids) return damaged(file.errorText());
  if (sqlite3_step(ids.get()) != SQLITE_ROW) return readFailure(file);
  const auto application = sqlite3_column_int64(ids.get(), 0);
  const auto version = sqlite3_column_int64(ids.get(), 1);
  ids.reset();
  if (application != kApplicationId) return kNotAJobFile;
  if (version > kJobFormatVersion) {
    return "файл сохранён более новой версией программы (формат " + std::to_string(version) +
           ", эта версия читает формат " + std::to_string(kJobFormatVersion) + "); обновите программу";
  }
  if (version < 1) return damaged("нет версии формата");
  // Before any query touches a table: a view or trigger would run here.
  const std::string schema = version == 1 ? file.schemaProblem(kTables1) : file.schemaProblem(kTables2);
  if (!schema.empty()) return file.cutShort() ? schema : damaged(schema);
  sqlite::Statement check = sqlite::prepare(db, "PRAGMA quick_check", error);
  if (!check) return damaged(file.errorText());
  if (sqlite3_step(check.get()) != SQLITE_ROW) return readFailure(file);
  if (columnText(check.get(), 0) != "ok") return damaged(std::string(columnText(check.get(), 0)));
  check.reset();

  if (file.stopRequested()) return sqlite::kReadStoppedText;
  if (std::string e = readHeader(file, job.header, job.id); !e.empty()) return e;
  std::vector<std::int64_t> counts;
  if (std::string e = readAreas(file, static_cast<int>(version), job.areas, counts); !e.empty()) return e;
  if (file.stopRequested()) return sqlite::kReadStoppedText;
  if (std::string e = readReadings(file, job.readings); !e.empty()) return e;
  for (std::size_t i = 0; i < job.areas.size(); ++i) {
    const std::size_t held = areaReadings(job.areas[i], job.readings).size();
    if (static_cast<std::int64_t>(held) != counts[i]) {
      return "в зоне «" + job.areas[i].name + "» не хватает замеров: сохранено " + std::to_string(counts[i]) +
             ", в файле " + std::to_string(held);
    }
  }
  return {};
}

// Why a number of the job cannot be saved so that it reads back, naming the
// field; empty when every number can.
std::string unreadableNumber(const InspectionJob& job) {
  const auto bad = [](const std::optional<double>& v) { return v && !std::isfinite(*v); };
  const JobHeader& h = job.header;
  const bool sspc = h.rule == JobRule::SspcPa2;
  if (bad(h.nominal)) return sspc ? "поле «Минимальная толщина» не число" : "поле «Номинальная толщина NDFT» не число";
  if (bad(h.maximum)) return "поле «Максимальная толщина» не число";
  if (bad(h.measuredCorrection)) return "поле «Измеренная поправка» не число";
  for (const JobArea& a : job.areas) {
    if (a.surface && !std::isfinite(a.surface->value)) return "площадь зоны «" + a.name + "» не число";
    if (bad(a.overrides.nominal)) return "толщина зоны «" + a.name + "» не число";
    if (bad(a.overrides.maximum)) return "максимум зоны «" + a.name + "» не число";
  }
  return {};
}

}  // namespace

bool jobFilesSupported() { return true; }

std::string saveJob(const std::string& path, const InspectionJob& job) {
  const auto failed = [&](const std::string& cause) {
    return "Не удалось сохранить проверку в файл «" + path + "»: " + cause;
  };
  if (const std::string problem = areasProblem(job.areas); !problem.empty()) return failed(problem);
  // A value that would not read back is refused now, not when the file is opened.
  if (const std::string problem = unreadableNumber(job); !problem.empty()) return failed(problem);
  AtomicFileReplace replace(path, TemporaryName::OwnName);
  if (!replace.temporaryCreated()) return failed(replace.error().message());
  std::string error;
  {
    sqlite::Connection db = sqlite::open(replace.temporary(), SQLITE_OPEN_READWRITE, error);
    if (!db || !writeJob(db.get(), job, error)) return failed(error);
  }
  if (const std::error_code ec = replace.commit()) return failed(ec.message());
  return {};
}

OpenedJob openJob(const std::string& path, const std::atomic<bool>* stop) {
  OpenedJob out;
  std::string error;
  // A file that is no SQLite database marked as a job file is not taken for
  // a damaged job; a missing or unreadable one is said by SQLite below.
  if (std::ifstream head(std::filesystem::path(path), std::ios::binary); head && !looksLikeJobFile(path)) {
    error = kNotAJobFile;
  }
  if (error.empty()) {
    // Read only, and never made: a missing file is no empty job.
    sqlite::ReadBudget budget;
    budget.stop = stop;
    sqlite::GuardedDatabase file(path, SQLITE_OPEN_READONLY, budget);
    error = file ? readJob(file, out.job) : file.openError();
  }
  if (!error.empty()) {
    out.job = {};
    out.stopped = error == sqlite::kReadStoppedText;
    out.error = "Не удалось открыть файл проверки «" + path + "»: " + error;
  }
  return out;
}

}  // namespace korsi::job
