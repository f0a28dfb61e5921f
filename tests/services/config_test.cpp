#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <sstream>
#include <streambuf>
#include <vector>
#include <string>

#include "services/config.h"
#include "tests/support/error_box_recorder.h"
#include "tests/support/tempdir.h"

namespace {

using korsi::Config;
using korsi::ConfigException;
using korsi::test::readFile;
using korsi::test::writeFile;

const std::string kLongLine = "comment " + std::string(300, 'x');

int configErrorCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const ConfigException& e) {
    return e.code();
  }
  return 0;
}

// Lookup: the first entry whose first word is the key wins.
struct LookupCase {
  const char* name;
  std::string file;
  std::string key;
  std::optional<std::string> text;  // getString, or nullopt when it must throw code 1
  std::optional<int> number;        // getInt, when the case checks it
};

std::ostream& operator<<(std::ostream& out, const LookupCase& c) { return out << c.name; }

class ConfigLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ConfigLookup, FindsTheFirstEntryStartingWithTheKey) {
  const LookupCase& c = GetParam();
  korsi::test::TempDir dir;
  writeFile(dir.file("kestro.conf"), c.file);
  Config config(dir.file("kestro.conf"));
  if (!c.text) {
    EXPECT_EQ(configErrorCode([&] { config.getString(c.key); }), 1);
    EXPECT_EQ(configErrorCode([&] { config.getInt(c.key); }), 1);
    return;
  }
  EXPECT_EQ(config.getString(c.key), *c.text);
  if (c.number) {
    EXPECT_EQ(config.getInt(c.key), *c.number);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ConfigLookup,
    ::testing::Values(
        LookupCase{"BothKeys", "log_file log.txt\ndefault_comport 3\n", "log_file", "log.txt", {}},
        LookupCase{"IntegerValue", "log_file log.txt\ndefault_comport 3\n", "default_comport", "3", 3},
        LookupCase{"CommentedEntryPassedOver", "#default_comport 7\ndefault_comport 3\n", "default_comport",
                   "3", 3},
        LookupCase{"LongerKeyPassedOver", "default_comport_old 5\ndefault_comport 4\n", "default_comport",
                   "4", 4},
        LookupCase{"KeyWithoutValue", "log_file\n", "log_file", "", {}},
        LookupCase{"TabsAndCarriageReturns", "\tdefault_comport\t-12 # x\r\n", "default_comport", "-12", -12},
        LookupCase{"DigitsAsFarAsTheyGo", "default_comport 17abc\n", "default_comport", "17abc", 17},
        LookupCase{"NotANumber", "default_comport abc\n", "default_comport", "abc", 0},
        LookupCase{"CaseCounts", "Log_file x\n", "log_file", std::nullopt, {}},
        LookupCase{"MissingKey", "log_file log.txt\n", "default_comport", std::nullopt, {}},
        LookupCase{"EmptyFile", "", "log_file", std::nullopt, {}},
        LookupCase{"AfterAVeryLongLine", kLongLine + "\ndefault_comport 5\n", "default_comport", "5", 5}),
    [](const auto& info) { return std::string(info.param.name); });

// Write-back at the end of a run: what the file holds afterwards.
struct WriteBackCase {
  const char* name;
  std::string before;
  std::function<void(Config&)> change;
  std::string after;
};

std::ostream& operator<<(std::ostream& out, const WriteBackCase& c) { return out << c.name; }

class ConfigWriteBack : public ::testing::TestWithParam<WriteBackCase> {};

TEST_P(ConfigWriteBack, WritesEntriesBackAndSettles) {
  const WriteBackCase& c = GetParam();
  korsi::test::TempDir dir;
  const std::string path = dir.file("kestro.conf");
  writeFile(path, c.before);
  {
    Config config(path);
    if (c.change) c.change(config);
  }
  EXPECT_EQ(readFile(path), c.after);
  { Config again(path); }
  EXPECT_EQ(readFile(path), c.after) << "a second run must leave the file as it is";
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigWriteBack,
    ::testing::Values(
        WriteBackCase{"UnchangedGainsOneEmptyLine", "log_file log.txt\ndefault_comport 3\n", nullptr,
                      "log_file log.txt\ndefault_comport 3\n\n"},
        WriteBackCase{"EqualNeighboursCollapse", "a\na\nb\na\n", nullptr, "a\nb\na\n\n"},
        WriteBackCase{"CarriageReturnsDropped", "a\r\nb\r\n", nullptr, "a\nb\n\n"},
        WriteBackCase{"LongLineKeptWhole", kLongLine + "\nlog_file x\n", nullptr,
                      kLongLine + "\nlog_file x\n\n"},
        WriteBackCase{"SetIntKeepsTheComment", "default_comport 3 # last\n",
                      [](Config& config) { config.setInt("default_comport", 12); },
                      "default_comport\t12# last\n\n"},
        WriteBackCase{"SetIntNegativeWithoutComment", "x 1\ndefault_comport 3\n",
                      [](Config& config) { config.setInt("default_comport", -7); },
                      "x 1\ndefault_comport\t-7\n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigWrittenOnRequest, LeavesTheFileAloneUntilAsked) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("kestro.conf");
  writeFile(path, "default_comport 3\n");
  {
    Config config(path, korsi::ConfigWriteBack::OnRequest);
    config.setInt("default_comport", 9);
  }
  EXPECT_EQ(readFile(path), "default_comport 3\n");
  {
    Config config(path, korsi::ConfigWriteBack::OnRequest);
    config.setInt("default_comport", 9);
    config.writeBack();
  }
  EXPECT_EQ(readFile(path), "default_comport\t9\n\n");
}

TEST(ConfigWithoutFile, AnswersFromItsEntriesAndWritesNothing) {
  korsi::test::ErrorBoxRecorder recorder;
  {
    Config config(std::vector<std::string>{"COM5 /dev/pts/7", "default_comport 5"});
    EXPECT_EQ(config.getInt("default_comport"), 5);
    EXPECT_EQ(configErrorCode([&] { config.getString("log_file"); }), 1);
    config.setInt("default_comport", 6);
    EXPECT_EQ(config.getInt("default_comport"), 6);
  }
  // Not even a failed attempt to write a file that has no name.
  EXPECT_TRUE(recorder.boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(".tmp"));
}

TEST(ConfigSetInt, UnknownKeyThrowsAndChangesNothing) {
  korsi::test::TempDir dir;
  writeFile(dir.file("kestro.conf"), "#default_comport 3\nlog_file x\n");
  Config config(dir.file("kestro.conf"));
  const auto before = config.entries();
  EXPECT_EQ(configErrorCode([&] { config.setInt("default_comport", 5); }), 1);
  EXPECT_EQ(config.entries(), before);
}

TEST(ConfigFileFailures, MissingFileShowsTheReadBoxAndThrowsCodeTwo) {
  korsi::test::TempDir dir;
  korsi::test::ErrorBoxRecorder recorder;
  EXPECT_EQ(configErrorCode([&] { Config config(dir.file("absent.conf")); }), 2);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "Не могу открыть файл конфига на чтение");
  EXPECT_EQ(recorder.boxes[0].caption, "Ошибка");
}

TEST(ConfigFileFailures, FailedWriteShowsTheWriteBoxAndKeepsTheOldFile) {
  korsi::test::TempDir dir;
  const std::string path = dir.file("kestro.conf");
  writeFile(path, "default_comport 3\n");
  // A directory where the temporary file must go makes the write fail, even for root.
  std::filesystem::create_directory(path + ".tmp");
  korsi::test::ErrorBoxRecorder recorder;
  {
    Config config(path);
    config.setInt("default_comport", 9);
    EXPECT_EQ(configErrorCode([&] { config.writeBack(); }), 2);
  }  // the destructor's own attempt fails too, without throwing
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[0].text, "Не могу открыть файл конфига на запись");
  EXPECT_EQ(recorder.boxes[0].caption, "Ошибка");
  EXPECT_EQ(readFile(path), "default_comport 3\n");
}

// A file that opens but cannot be read to its end counts as unreadable: the
// read box, code 2, and no object whose destructor would write a part back.
struct UnreadableCase {
  const char* name;
  std::function<std::string(const korsi::test::TempDir&)> make;  // the path to read
};

std::ostream& operator<<(std::ostream& out, const UnreadableCase& c) { return out << c.name; }

class ConfigUnreadable : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(ConfigUnreadable, ShowsTheReadBoxAndWritesNothingBack) {
  korsi::test::TempDir dir;
  const std::string path = GetParam().make(dir);
  korsi::test::ErrorBoxRecorder recorder;
  EXPECT_EQ(configErrorCode([&] { Config config(path); }), 2);
  ASSERT_EQ(recorder.boxes.size(), 1u);
  EXPECT_EQ(recorder.boxes[0].text, "Не могу открыть файл конфига на чтение");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigUnreadable,
    ::testing::Values(UnreadableCase{"AFolderOfThatName",
                                     [](const korsi::test::TempDir& dir) {
                                       std::filesystem::create_directory(dir.file("kestro.conf"));
                                       return dir.file("kestro.conf");
                                     }},
                      // Opens like a file, and its first read fails with an I/O error.
                      UnreadableCase{"AReadError", [](const korsi::test::TempDir&) { return "/proc/self/mem"; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Gives `good` bytes of lines, then fails the way a disk does.
class FailingStreamBuffer : public std::streambuf {
 public:
  explicit FailingStreamBuffer(std::string good) : good_(std::move(good)) {
    setg(good_.data(), good_.data(), good_.data() + good_.size());
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string good_;
};

TEST(ConfigReading, AReadErrorPartWayIsNotAWholeFile) {
  for (const std::string good : {"", "log_file log.txt\n", "log_file log.txt\ndefault_com"}) {
    FailingStreamBuffer buffer(good);
    std::istream in(&buffer);
    std::vector<std::string> entries;
    EXPECT_FALSE(korsi::readEntries(in, entries)) << good;
  }
  std::istringstream whole("log_file log.txt\ndefault_comport 3\n");
  std::vector<std::string> entries;
  EXPECT_TRUE(korsi::readEntries(whole, entries));
  EXPECT_EQ(entries, (std::vector<std::string>{"log_file log.txt", "default_comport 3", ""}));
}

// The settings file kept as a symbolic link to a file elsewhere, with
// permissions of its own: write-back changes the file the link points to.
TEST(ConfigWriteBackFile, FollowsALinkAndKeepsThePermissions) {
#ifdef _WIN32
  GTEST_SKIP() << "a user cannot make symbolic links, and files have no POSIX modes, on Windows";
#endif
  korsi::test::TempDir dir;
  std::filesystem::create_directory(dir.file("settings"));
  const std::string real = dir.file("settings/kestro.conf");
  writeFile(real, "default_comport 3\n");
  std::filesystem::permissions(real, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::create_symlink(real, dir.file("kestro.conf"));
  {
    Config config(dir.file("kestro.conf"));
    config.setInt("default_comport", 5);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("kestro.conf")));
  EXPECT_EQ(readFile(real), "default_comport\t5\n\n");
  EXPECT_EQ(std::filesystem::status(real).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(ConfigException, CodeTexts) {
  EXPECT_STREQ(ConfigException(0).what(), "OK");
  EXPECT_STREQ(ConfigException(1).what(), "Parametr not found");
  EXPECT_STREQ(ConfigException(2).what(), "NoFile");
}

}  // namespace
