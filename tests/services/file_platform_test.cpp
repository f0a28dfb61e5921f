// The platform's part of safe saving and of the working folder's lock, the
// same cases on every platform: what the layers above rely on.

#include "services/file_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "services/atomic_file.h"
#include "services/config.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;
namespace platform = korsi::platform;
using korsi::test::readFile;
using korsi::test::writeFile;

// A Cyrillic name, as a Russian user's folder has: the program holds it in
// UTF-8, and the test reaches it through the library's own path type.
const std::string kCyrillic = "Замеры";

std::string utf8Join(const fs::path& folder, const std::string& name) {
  const std::u8string folder8 = folder.u8string();
  return std::string(folder8.begin(), folder8.end()) + "/" + name;
}

fs::path pathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

TEST(DurableReplace, TheNewFileTakesTheOldNameAndTheTemporaryGoes) {
  korsi::test::TempDir dir;
  const std::string target = dir.file("archive.ks");
  const std::string temporary = dir.file("archive.ks.tmp");
  writeFile(target, "old contents, longer than the new");
  bool created = false;
  ASSERT_FALSE(platform::writeDurableFile(temporary, "new", target, created));
  EXPECT_TRUE(created);
  ASSERT_FALSE(platform::replaceByRename(temporary, target));
  EXPECT_EQ(readFile(target), "new");
  EXPECT_FALSE(fs::exists(temporary));
  EXPECT_FALSE(platform::syncFolder(dir.path().string()));
}

TEST(DurableReplace, NamesInUtf8ReachTheRightFiles) {
  korsi::test::TempDir dir;
  const std::string folder = utf8Join(dir.path(), kCyrillic);
  fs::create_directory(pathOf(folder));
  const std::string target = folder + "/толщина.ks";
  const std::string temporary = folder + "/толщина.ks.tmp";
  bool created = false;
  ASSERT_FALSE(platform::writeDurableFile(temporary, "first", target, created));
  ASSERT_FALSE(platform::replaceByRename(temporary, target));
  ASSERT_FALSE(platform::writeDurableFile(temporary, "second", target, created));
  ASSERT_FALSE(platform::replaceByRename(temporary, target));
  EXPECT_FALSE(platform::writeAccess(target));
  EXPECT_FALSE(platform::writeAccess(folder));

  // Exactly one file, under the Cyrillic name itself (not one spelled in
  // another code page).
  int files = 0;
  for (const auto& entry : fs::directory_iterator(pathOf(folder))) {
    ++files;
    const std::u8string name = entry.path().filename().u8string();
    EXPECT_EQ(std::string(name.begin(), name.end()), "толщина.ks");
  }
  EXPECT_EQ(files, 1);
  std::error_code error;
  EXPECT_EQ(fs::file_size(pathOf(target), error), 6u);
}

// The layers above hand the same UTF-8 names to the standard library's file
// calls: the replace and the settings file end under the name given, with
// no temporary left beside it.
TEST(DurableReplace, SavesUnderACyrillicNameLeaveOnlyThatName) {
  korsi::test::TempDir dir;
  const std::string folder = utf8Join(dir.path(), kCyrillic);
  fs::create_directory(pathOf(folder));
  for (const auto naming : {korsi::TemporaryName::Tmp, korsi::TemporaryName::OwnName}) {
    ASSERT_TRUE(korsi::replaceFileAtomically(folder + "/толщина.ks", "rows", naming).ok());
  }
  const std::string conf = folder + "/настройки.conf";
  ASSERT_TRUE(korsi::replaceFileAtomically(conf, "default_comport 3\n").ok());
  {
    korsi::Config config(conf);
    EXPECT_EQ(config.getInt("default_comport"), 3);
    config.setInt("default_comport", 5);
  }
  EXPECT_EQ(korsi::Config(conf).getInt("default_comport"), 5);

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(pathOf(folder))) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"настройки.conf", "толщина.ks"}));
}

TEST(DurableReplace, ErrorsAreTheConditionsTheCallersTest) {
  korsi::test::TempDir dir;
  const std::string existing = dir.file("kestro.conf");
  writeFile(existing, "default_comport 3\n");
  EXPECT_EQ(platform::createNewFile(existing), std::errc::file_exists);
  EXPECT_EQ(readFile(existing), "default_comport 3\n") << "an existing file is left as it was";
  EXPECT_FALSE(platform::createNewFile(dir.file("fresh.tmp")));
  EXPECT_EQ(platform::createNewFile(dir.file("missing/fresh.tmp")), std::errc::no_such_file_or_directory);
  EXPECT_EQ(platform::writeAccess(dir.file("missing")), std::errc::no_such_file_or_directory);
  EXPECT_EQ(platform::replaceByRename(dir.file("absent"), existing), std::errc::no_such_file_or_directory);
  EXPECT_EQ(readFile(existing), "default_comport 3\n");
}

TEST(FolderLock, OneHolderAtATimeUntilItIsReleased) {
  korsi::test::TempDir dir;
  const std::string folder = utf8Join(dir.path(), kCyrillic);
  fs::create_directory(pathOf(folder));
  std::error_code error;

  platform::FolderLock first;
  ASSERT_EQ(first.acquire(folder, error), platform::FolderLock::Outcome::Held) << error.message();
  EXPECT_TRUE(first.held());

  // A second copy of the program in the same folder, as far as the lock can tell.
  platform::FolderLock second;
  EXPECT_EQ(second.acquire(folder, error), platform::FolderLock::Outcome::HeldByAnother);
  EXPECT_FALSE(second.held());

  // Moving the hold keeps it; the emptied object holds nothing.
  platform::FolderLock moved(std::move(first));
  EXPECT_TRUE(moved.held());
  EXPECT_EQ(second.acquire(folder, error), platform::FolderLock::Outcome::HeldByAnother);

  moved = platform::FolderLock();
  EXPECT_EQ(second.acquire(folder, error), platform::FolderLock::Outcome::Held) << error.message();

  // Another folder is another lock.
  const std::string other = dir.file("other");
  fs::create_directory(other);
  platform::FolderLock elsewhere;
  EXPECT_EQ(elsewhere.acquire(other, error), platform::FolderLock::Outcome::Held);
}

TEST(FolderLock, AFolderThatIsNotThereCannotBeHeld) {
  korsi::test::TempDir dir;
  std::error_code error;
  platform::FolderLock lock;
  EXPECT_EQ(lock.acquire(dir.file("missing"), error), platform::FolderLock::Outcome::NotSupported);
  EXPECT_TRUE(error);
  EXPECT_FALSE(lock.held());
}

}  // namespace
