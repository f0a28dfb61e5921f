#pragma once
// The program's settings file "kestro.conf": lines of key and value words, read
// whole at start, answered from memory, written back whole at exit.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace korsi {

class ConfigException : public std::exception {
 public:
  static constexpr int kOk = 0;
  static constexpr int kParameterNotFound = 1;
  static constexpr int kNoFile = 2;

  explicit ConfigException(std::int32_t code) : code_(code) {}
  std::int32_t code() const noexcept { return code_; }
  // The code's own text; never shown to the user.
  const char* what() const noexcept override;

 private:
  std::int32_t code_;
};

inline constexpr const char* kConfigFileName = "kestro.conf";

// When the entries go back to the file: at every exit (the desktop program),
// or only when writeBack() is called (a tool that must leave the file alone
// unless asked).
enum class ConfigWriteBack { AtExit, OnRequest };

class Config {
 public:
  // Reads the whole file. When it cannot be opened the error box
  // "Не могу открыть файл конфига на чтение" is shown and ConfigException(2) thrown.
  explicit Config(std::string path = kConfigFileName, ConfigWriteBack writeBack = ConfigWriteBack::AtExit);
  // A configuration with no file behind it: these entries, never written.
  explicit Config(std::vector<std::string> entries);
  // With ConfigWriteBack::AtExit writes the entries back (see writeBack). A
  // failure has already been shown to the user by then and is not thrown out
  // of the destructor.
  ~Config();
  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;

  // The value word of the first entry whose first word is key (empty when
  // that entry has no second word). Throws ConfigException(1) when none.
  std::string getString(const std::string& key) const;
  // The value as a signed decimal number, read as far as its digits go; a
  // value that does not start with a number gives 0. Throws ConfigException(1).
  std::int32_t getInt(const std::string& key) const;
  // Replaces the key's entry by key, a tab, the value and the entry's "#"
  // comment, in memory only. Throws ConfigException(1) when no entry has the key.
  void setInt(const std::string& key, std::int32_t value);

  // Writes every entry back, equal neighbouring entries once. The new text goes
  // to a temporary file beside the old one and replaces it only when whole,
  // so a failed write leaves the old file as it was. On failure the error box
  // "Не могу открыть файл конфига на запись" is shown and ConfigException(2) thrown.
  void writeBack() const;

  const std::vector<std::string>& entries() const noexcept { return entries_; }
  const std::string& path() const noexcept { return path_; }

 private:
  // Index of the first entry that holds key as a substring and whose first
  // word equals it, or -1.
  std::ptrdiff_t find(const std::string& key) const;

  std::string path_;
  std::vector<std::string> entries_;
  ConfigWriteBack writeBack_ = ConfigWriteBack::AtExit;
};

}  // namespace korsi
