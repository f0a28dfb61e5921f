#include "tools/transfer/archive_listing.h"

#include "inspection/job_words.h"
#include "tools/transfer/check_report.h"

namespace korsi::transfer {

namespace {

// A tab or line end inside a field would break the line into wrong fields.
std::string oneField(const std::string& text) {
  std::string out;
  for (const char c : text) out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  return out;
}

std::string jsonOrNull(const std::string& text) { return text.empty() ? "null" : jsonString(text); }

}  // namespace

std::string listingText(const std::vector<company::ListedJob>& jobs) {
  std::string out = "id\trevision\tverdict\tpublished\tapproved\tobject\tclient\tinspector\trole\n";
  for (const company::ListedJob& j : jobs) {
    out += j.id + '\t' + std::to_string(j.revision) + '\t' + j.verdict + '\t' + j.publishedAt + '\t' +
           (j.approvedAt.empty() ? "-" : j.approvedAt) + '\t' + oneField(j.header.object) + '\t' +
           oneField(j.header.client) + '\t' + oneField(j.header.inspector) + '\t' + oneField(j.role) + '\n';
  }
  return out;
}

std::string listingJson(const std::vector<company::ListedJob>& jobs) {
  std::string out = "[";
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const company::ListedJob& j = jobs[i];
    const job::JobHeader& h = j.header;
    out += i == 0 ? "\n  {" : ",\n  {";
    out += "\"id\": " + jsonString(j.id);
    out += ", \"object\": " + jsonString(h.object);
    out += ", \"client\": " + jsonString(h.client);
    out += ", \"coating_system\": " + jsonString(h.coatingSystem);
    out += ", \"coat\": " + jsonString(h.coat);
    out += ", \"inspector\": " + jsonString(h.inspector);
    out += ", \"gauge\": " + jsonString(h.gauge);
    out += ", \"gauge_serial\": " + jsonString(h.gaugeSerial);
    out += ", \"date\": " + jsonString(h.date);
    out += ", \"rule\": " + jsonString(job::ruleWord(h.rule));
    out += ", \"unit\": " + jsonString(job::unitWord(h.unit));
    out += ", \"nominal\": " + jsonNumber(h.nominal);
    out += ", \"maximum\": " + jsonNumber(h.maximum);
    out += ", \"level\": " + std::to_string(h.level);
    out += ", \"spot_size\": " + std::to_string(h.spotSize);
    out += ", \"set_up\": " + jsonString(job::setUpWord(h.setUp));
    out += ", \"measured_correction\": " + jsonNumber(h.measuredCorrection);
    out += ", \"inspector_role\": " + jsonString(j.role);
    out += ", \"verdict\": " + jsonString(j.verdict);
    out += ", \"verdict_text\": " + jsonString(j.verdictText);
    out += ", \"revision\": " + std::to_string(j.revision);
    out += ", \"published_at\": " + jsonString(j.publishedAt);
    out += ", \"approved_at\": " + jsonOrNull(j.approvedAt);
    out += ", \"approved_by\": " + jsonOrNull(j.approvedBy);
    out += "}";
  }
  out += jobs.empty() ? "]\n" : "\n]\n";
  return out;
}

}  // namespace korsi::transfer
