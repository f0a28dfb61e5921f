#include "services/config.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

#include "services/error_box.h"

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

Config::Config(std::string path, ConfigWriteBack writeBack) : path_(std::move(path)), writeBack_(writeBack) {
  std::ifstream in(path_, std::ios::binary);
  if (!in.is_open()) {
    showErrorBox("Не могу открыть файл конфига на чтение");
    throw ConfigException(ConfigException::kNoFile);
  }
  // The end-of-file test comes before each read, so a file that ends with a
  // line end (or is empty) gains one empty last entry. A line of any length
  // stays one entry.
  while (!in.eof()) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    entries_.push_back(std::move(line));
    if (in.bad()) break;
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
  const std::string temporary = path_ + ".tmp";
  bool created = false;
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    created = out.is_open();
    if (created) {
      const std::string* previous = nullptr;
      for (const std::string& entry : entries_) {
        if (previous && *previous == entry) continue;
        out << entry << '\n';
        previous = &entry;
      }
      out.flush();
      out.close();
      written = !out.fail();
    }
  }
  if (written && std::rename(temporary.c_str(), path_.c_str()) == 0) return;
  if (created) std::remove(temporary.c_str());
  showErrorBox("Не могу открыть файл конфига на запись");
  throw ConfigException(ConfigException::kNoFile);
}

}  // namespace korsi
