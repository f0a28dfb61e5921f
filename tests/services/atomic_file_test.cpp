#include "services/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using korsi::AtomicFileReplace;
using korsi::replaceFileAtomically;
using korsi::test::readFile;
using korsi::test::writeFile;

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
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
    EXPECT_EQ(modeOf(path), mode);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
  }
}

TEST_F(AtomicFile, ANewFileGetsTheUsualModeOfNewFiles) {
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
  EXPECT_EQ(modeOf(path), 0640u);
  EXPECT_FALSE(fs::exists(path + ".tmp"));

  {
    AtomicFileReplace abandoned(path);
    writeFile(abandoned.temporary(), "never committed");
  }
  EXPECT_EQ(readFile(path), "written by the library");
  EXPECT_FALSE(fs::exists(path + ".tmp")) << "an abandoned temporary is removed";
}

}  // namespace
