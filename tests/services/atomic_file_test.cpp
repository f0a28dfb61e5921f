#include "services/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using korsi::AtomicFileReplace;
using korsi::replaceFileAtomically;
using korsi::test::readFile;
using korsi::test::writeFile;

#ifdef _WIN32
// Windows files have no POSIX mode (the C runtime shows 0666 for every
// writable file, and a replaced file takes the folder's inherited security),
// and a symbolic link needs a privilege a user lacks: the checks of modes
// and links are POSIX's alone.
constexpr bool kModes = false;
constexpr bool kLinks = false;
#else
constexpr bool kModes = true;
constexpr bool kLinks = true;
#endif

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// The mode of path, where the platform has modes.
void expectMode(const std::string& path, mode_t mode) {
  if (kModes) {
    EXPECT_EQ(modeOf(path), mode) << path;
  }
}

// A link to target named name; where links cannot be made, a file of its own
// with the same bytes, so that what the case checks about the name still holds.
void linkOrCopy(const std::string& target, const std::string& name, const std::string& folder) {
  if (kLinks) {
    fs::create_symlink(target, name);
  } else {
    fs::copy_file(fs::path(folder) / target, name);
  }
}

class AtomicFile : public ::testing::Test {
 protected:
  korsi::test::TempDir dir;
  std::string path = dir.file("data.ks");
};

TEST_F(AtomicFile, ReplacesTheFileKeepingItsPermissionsAndLeavesNoTemporary) {
  for (const mode_t mode : {0600, 0640, 0644, 0755}) {
    writeFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(replaceFileAtomically(path, "new " + std::to_string(mode)).ok());
    EXPECT_EQ(readFile(path), "new " + std::to_string(mode));
    expectMode(path, mode);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
  }
}

TEST_F(AtomicFile, ANewFileGetsTheUsualModeOfNewFiles) {
  if (!kModes) GTEST_SKIP() << "no POSIX modes on this platform";
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(replaceFileAtomically(path, "first").ok());
  ::umask(mask);
  EXPECT_EQ(readFile(path), "first");
  EXPECT_EQ(modeOf(path), 0644u);
}

// A name that is a symbolic link: the file it points to is replaced and the
// link itself stays a link, also through a chain of relative links and when
// the file it points to does not exist yet.
TEST_F(AtomicFile, FollowsSymbolicLinksToTheRealFile) {
  if (!kLinks) GTEST_SKIP() << "a user cannot make symbolic links on this platform";
  fs::create_directory(dir.file("real"));
  const std::string real = dir.file("real/archive.ks");
  writeFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  fs::create_symlink("real/archive.ks", dir.file("middle.ks"));
  fs::create_symlink("middle.ks", path);

  AtomicFileReplace replace(path);
  EXPECT_EQ(fs::path(replace.target()), fs::path(dir.file("real")) / "archive.ks");
  ASSERT_FALSE(replace.write("through the links"));
  ASSERT_FALSE(replace.commit());
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_TRUE(fs::is_symlink(dir.file("middle.ks")));
  EXPECT_EQ(readFile(real), "through the links");
  EXPECT_EQ(modeOf(real), 0600u);

  const std::string dangling = dir.file("dangling.ks");
  fs::create_symlink("real/later.ks", dangling);
  ASSERT_TRUE(replaceFileAtomically(dangling, "made where the link points").ok());
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(readFile(dir.file("real/later.ks")), "made where the link points");
}

TEST_F(AtomicFile, AFailedReplaceLeavesTheOldFileAndNoTemporaryOfItsOwn) {
  writeFile(path, "old");
  // Tests run as root, so permissions would not stop the write: a folder
  // stands where the temporary file must go.
  fs::create_directory(path + ".tmp");
  korsi::ReplaceOutcome outcome = replaceFileAtomically(path, "new");
  EXPECT_FALSE(outcome.ok());
  EXPECT_FALSE(outcome.temporaryCreated);
  EXPECT_EQ(readFile(path), "old");
  EXPECT_TRUE(fs::is_directory(path + ".tmp")) << "a folder it did not make is not removed";

  // The target is a folder: the temporary is written, the rename fails and
  // the temporary goes again.
  const std::string folder = dir.file("folder.ks");
  fs::create_directory(folder);
  outcome = replaceFileAtomically(folder, "new");
  EXPECT_FALSE(outcome.ok());
  EXPECT_TRUE(outcome.temporaryCreated);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(fs::exists(folder + ".tmp"));
}

// A library that writes files by name (the spreadsheet export) fills the
// temporary itself; commit makes it durable and puts it in place.
TEST_F(AtomicFile, CommitsATemporaryFilledByAnotherWriter) {
  writeFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  {
    AtomicFileReplace replace(path);
    writeFile(replace.temporary(), "written by the library");
    ASSERT_FALSE(replace.commit());
  }
  EXPECT_EQ(readFile(path), "written by the library");
  expectMode(path, 0640u);
  EXPECT_FALSE(fs::exists(path + ".tmp"));

  {
    AtomicFileReplace abandoned(path);
    writeFile(abandoned.temporary(), "never committed");
  }
  EXPECT_EQ(readFile(path), "written by the library");
  EXPECT_FALSE(fs::exists(path + ".tmp")) << "an abandoned temporary is removed";
}

// Files beside the target that are not the replace's own.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// With a temporary name of its own, a user's "<name>.tmp" (a file, or a link
// to a file elsewhere) is never opened, emptied or removed, whether the
// replace is committed, fails or is abandoned; and no file of its own stays.
TEST_F(AtomicFile, ATemporaryOfItsOwnNameLeavesEveryOtherFileAlone) {
  writeFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  writeFile(path + ".tmp", "the user's own");
  writeFile(dir.file("elsewhere"), "pointed at");
  linkOrCopy("elsewhere", dir.file("data.ks.1.tmp"), dir.path().string());
  const std::vector<std::string> before = namesIn(dir.path().string());

  ASSERT_TRUE(replaceFileAtomically(path, "new", korsi::TemporaryName::OwnName).ok());
  EXPECT_EQ(readFile(path), "new");
  expectMode(path, 0640u);
  {
    AtomicFileReplace filledByName(path, korsi::TemporaryName::OwnName);
    ASSERT_FALSE(filledByName.error());
    EXPECT_NE(filledByName.temporary(), path + ".tmp");
    writeFile(filledByName.temporary(), "written by the library");
    ASSERT_FALSE(filledByName.commit());
  }
  EXPECT_EQ(readFile(path), "written by the library");
  expectMode(path, 0640u);
  {
    AtomicFileReplace abandoned(path, korsi::TemporaryName::OwnName);
    ASSERT_TRUE(abandoned.temporaryCreated());
    ASSERT_FALSE(abandoned.write("never committed"));
  }
  // The target is a folder: the rename fails and only its own file goes.
  fs::create_directory(dir.file("folder.ks"));
  EXPECT_FALSE(replaceFileAtomically(dir.file("folder.ks"), "new", korsi::TemporaryName::OwnName).ok());
  fs::remove(dir.file("folder.ks"));

  EXPECT_EQ(readFile(path), "written by the library");
  EXPECT_EQ(readFile(path + ".tmp"), "the user's own");
  EXPECT_EQ(readFile(dir.file("elsewhere")), "pointed at");
  EXPECT_EQ(fs::is_symlink(dir.file("data.ks.1.tmp")), kLinks);
  EXPECT_EQ(readFile(dir.file("data.ks.1.tmp")), "pointed at");
  EXPECT_EQ(namesIn(dir.path().string()), before);
}

TEST_F(AtomicFile, ATemporaryOfItsOwnNameInAMissingFolderSaysWhy) {
  AtomicFileReplace replace(dir.file("missing/data.ks"), korsi::TemporaryName::OwnName);
  EXPECT_EQ(replace.error(), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(replace.temporaryCreated());
  EXPECT_EQ(replace.write("new"), std::errc::no_such_file_or_directory);
  EXPECT_EQ(replace.commit(), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(dir.file("missing")));
}

}  // namespace

namespace {

// Without replacing: a file already there stays as it was and the temporary
// goes; where none is, the whole new file takes the name.
TEST_F(AtomicFile, ACommitWithoutReplacingNeverTouchesAFileThere) {
  writeFile(path, "the user's own");
  {
    AtomicFileReplace copy(path);
    ASSERT_FALSE(copy.write("a template"));
    EXPECT_EQ(copy.commitWithoutReplacing(), std::errc::file_exists);
  }
  EXPECT_EQ(readFile(path), "the user's own");
  EXPECT_FALSE(fs::exists(path + ".tmp"));

  fs::remove(path);
  AtomicFileReplace copy(path);
  ASSERT_FALSE(copy.write("a template"));
  EXPECT_FALSE(copy.commitWithoutReplacing());
  EXPECT_EQ(readFile(path), "a template");
  EXPECT_FALSE(fs::exists(path + ".tmp"));
}

}  // namespace
