#include "services/config.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <sstream>
#include <utility>

#include "services/atomic_file.h"
#include "services/error_box.h"
#include "services/utf8_path.h"

namespace korsi {

const char* ConfigException::what() const noexcept {
  switch (code_) {
    case kOk: return "OK";
    case kParameterNotFound: return "Parametr not found";
    case kNoFile: return "NoFile";
    default: return "Unknown";
  }
}

namespace {

std::string firstWord(std::istringstream& words) {
  std::string word;
  words >> word;
  return word;
}

}  // namespace

bool readEntries(std::istream& in, std::vector<std::string>& entries) {
  // The end-of-file test comes before each read, so a file that ends with a
  // line end (or is empty) gains one empty last entry. A line of any length
  // stays one entry.
  while (!in.eof()) {
    std::string line;
    std::getline(in, line);
    // A read error part-way leaves the entries short; they must never be
    // taken for the whole file, or write-back would cut the file down.
    if (in.bad()) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    entries.push_back(std::move(line));
  }
  return true;
}

Config::Config(std::string path, ConfigWriteBack writeBack) : path_(std::move(path)), writeBack_(writeBack) {
  std::error_code ec;
  // A folder of that name opens as a stream on some systems; it is no file.
  const bool folder = std::filesystem::is_directory(utf8Path(path_), ec);
  std::ifstream in;
  if (!folder) in.open(utf8Path(path_), std::ios::binary);
  if (folder || !in.is_open() || !readEntries(in, entries_)) {
    showErrorBox("Не могу открыть файл конфига на чтение");
    throw ConfigException(ConfigException::kNoFile);
  }
}

Config::Config(std::vector<std::string> entries)
    : entries_(std::move(entries)), writeBack_(ConfigWriteBack::OnRequest) {}

Config::~Config() {
  if (writeBack_ != ConfigWriteBack::AtExit) return;
  try {
    writeBack();
  } catch (const ConfigException&) {
    // The user has been shown the failure; the old file is still whole.
  }
}

std::ptrdiff_t Config::find(const std::string& key) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const std::string& entry = entries_[i];
    if (entry.find(key) == std::string::npos) continue;
    std::istringstream words(entry);
    if (firstWord(words) == key) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

std::string Config::getString(const std::string& key) const {
  const std::ptrdiff_t i = find(key);
  if (i < 0) throw ConfigException(ConfigException::kParameterNotFound);
  std::istringstream words(entries_[static_cast<std::size_t>(i)]);
  firstWord(words);
  return firstWord(words);
}

std::int32_t Config::getInt(const std::string& key) const {
  const std::ptrdiff_t i = find(key);
  if (i < 0) throw ConfigException(ConfigException::kParameterNotFound);
  std::istringstream words(entries_[static_cast<std::size_t>(i)]);
  firstWord(words);
  std::int32_t value = 0;
  if (!(words >> value)) return 0;
  return value;
}

void Config::setInt(const std::string& key, std::int32_t value) {
  const std::ptrdiff_t i = find(key);
  if (i < 0) throw ConfigException(ConfigException::kParameterNotFound);
  std::string& entry = entries_[static_cast<std::size_t>(i)];
  const std::size_t hash = entry.find('#');
  const std::string comment = hash == std::string::npos ? std::string() : entry.substr(hash);
  entry = key + '\t' + std::to_string(value) + comment;
}

void Config::writeBack() const {
  std::string text;
  const std::string* previous = nullptr;
  for (const std::string& entry : entries_) {
    if (previous && *previous == entry) continue;
    text += entry;
    text += '\n';
    previous = &entry;
  }
  if (replaceFileAtomically(path_, text).ok()) return;
  showErrorBox("Не могу открыть файл конфига на запись");
  throw ConfigException(ConfigException::kNoFile);
}

}  // namespace korsi
