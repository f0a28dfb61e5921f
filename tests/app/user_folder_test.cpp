// The installed program's per-user folder: made from the templates on the
// first start, never overwritten after, refused with a message naming it when
// it cannot be made; and how an installed program is told from a build.

#include "app/user_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "services/utf8_path.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;
using korsi::test::readFile;
using korsi::test::TempDir;
using korsi::test::writeFile;

constexpr const char* kConfigTemplate = "log_file korsi7.log\ndefault_comport 1\n";
constexpr const char* kBackupTemplate = "empty archive";

class UserFolder : public ::testing::Test {
 protected:
  UserFolder() {
    fs::create_directories(templates);
    writeFile((templates / "kestro.conf").string(), kConfigTemplate);
    writeFile((templates / "korsi7.mdb.backup").string(), kBackupTemplate);
  }
  std::string file(const std::string& name) const { return readFile((folder / name).string()); }

  TempDir dir;
  fs::path templates = dir.path() / "usr/share/korsi7";
  fs::path folder = dir.path() / "home/.local/share/korsi7";
};

TEST_F(UserFolder, FirstStartMakesTheFolderWithTheTemplatesAndTheDatabase) {
  const korsi::PreparedFolder prepared = korsi::prepareUserFolder(folder.string(), templates.string());
  ASSERT_TRUE(prepared.ok) << prepared.message;
  EXPECT_EQ(prepared.folder, folder.string());
  EXPECT_EQ(file("kestro.conf"), kConfigTemplate);
  EXPECT_EQ(file("korsi7.mdb.backup"), kBackupTemplate);
  EXPECT_EQ(file("korsi7.mdb"), kBackupTemplate);
}

TEST_F(UserFolder, LaterStartsKeepWhatTheUserHasAndOnlyFillWhatIsMissing) {
  ASSERT_TRUE(korsi::prepareUserFolder(folder.string(), templates.string()).ok);
  writeFile((folder / "kestro.conf").string(), "log_file mine.log\ndefault_comport 33\n");
  writeFile((folder / "korsi7.mdb").string(), "my readings");
  writeFile((folder / "korsi7.mdb.backup").string(), "my backup");
  // A newer package brings other templates: the user's files stay.
  writeFile((templates / "kestro.conf").string(), "log_file new.log\n");
  ASSERT_TRUE(korsi::prepareUserFolder(folder.string(), templates.string()).ok);
  EXPECT_EQ(file("kestro.conf"), "log_file mine.log\ndefault_comport 33\n");
  EXPECT_EQ(file("korsi7.mdb"), "my readings");
  EXPECT_EQ(file("korsi7.mdb.backup"), "my backup");

  // A database the user deleted comes back from the user's own backup.
  fs::remove(folder / "korsi7.mdb");
  ASSERT_TRUE(korsi::prepareUserFolder(folder.string(), templates.string()).ok);
  EXPECT_EQ(file("korsi7.mdb"), "my backup");
}

#ifndef _WIN32
// A copy cut short (here by a file-size limit, as a full disk would) leaves
// no half file under the user's name, which later starts would keep as it
// is; the next start copies it whole.
TEST_F(UserFolder, ACopyCutShortLeavesNoHalfFile) {
  const std::string big(64 * 1024, 'b');
  writeFile((templates / "korsi7.mdb.backup").string(), big);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  // A write past the limit fails with EFBIG instead of ending the process.
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 16 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const korsi::PreparedFolder cut = korsi::prepareUserFolder(folder.string(), templates.string());
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(cut.ok);
  EXPECT_THAT(cut.message, testing::StartsWith("Не удалось создать файл " + (folder / "korsi7.mdb.backup").string()));
  EXPECT_EQ(file("kestro.conf"), kConfigTemplate);  // small: whole
  EXPECT_FALSE(fs::exists(folder / "korsi7.mdb.backup"));
  EXPECT_FALSE(fs::exists(folder / "korsi7.mdb"));
  for (const auto& entry : fs::directory_iterator(folder)) EXPECT_EQ(entry.path().filename(), "kestro.conf");

  const korsi::PreparedFolder next = korsi::prepareUserFolder(folder.string(), templates.string());
  ASSERT_TRUE(next.ok) << next.message;
  EXPECT_EQ(file("korsi7.mdb.backup"), big);
  EXPECT_EQ(file("korsi7.mdb"), big);
}
#endif  // a file-size limit is POSIX's

TEST_F(UserFolder, FolderThatCannotBeMadeIsRefusedWithAMessageNamingIt) {
  // A file where a parent folder should be stops even root.
  writeFile((dir.path() / "home").string(), "not a folder");
  const korsi::PreparedFolder prepared = korsi::prepareUserFolder(folder.string(), templates.string());
  EXPECT_FALSE(prepared.ok);
  EXPECT_EQ(prepared.message,
            "Не удалось создать рабочую папку " + folder.string() + ": на пути к ней стоит файл, а не папка");
}

// A user or an install folder with a Cyrillic name ("C:\\Users\\Иван",
// "Program Files\\КОРСИ-7"): the names are UTF-8 throughout, also on Windows,
// where a narrow path would be read in the user's code page.
TEST(UserFolderNames, CyrillicFoldersAreFoundAndMade) {
  TempDir dir;
  const std::string program = korsi::utf8Text(dir.path() / korsi::utf8Path("Программы/КОРСИ-7"));
  const fs::path templates = korsi::utf8Path(program) / "templates";
  fs::create_directories(templates);
  // Written through paths, as a narrow name would be the code page's on Windows.
  std::ofstream(templates / "kestro.conf", std::ios::binary) << kConfigTemplate;
  std::ofstream(templates / "korsi7.mdb.backup", std::ios::binary) << kBackupTemplate;

  const std::string found = korsi::installedTemplates(program, "templates");
  ASSERT_EQ(korsi::utf8Path(found), templates.lexically_normal());
  const std::string home = korsi::utf8Text(dir.path() / korsi::utf8Path("Иван/AppData/Local/korsi7"));
  const korsi::PreparedFolder prepared = korsi::prepareUserFolder(home, found);
  ASSERT_TRUE(prepared.ok) << prepared.message;
  EXPECT_EQ(korsi::utf8Path(prepared.folder), korsi::utf8Path(home));
  std::ifstream made(korsi::utf8Path(home) / "korsi7.mdb", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(made), {}), kBackupTemplate);
}

TEST(InstalledTemplates, FoundBesideAnInstalledProgramOnlyWhereTheyAre) {
  TempDir dir;
  fs::create_directories(dir.path() / "usr/bin");
  fs::create_directories(dir.path() / "usr/share/korsi7");
  writeFile((dir.path() / "usr/share/korsi7/kestro.conf").string(), kConfigTemplate);
  fs::create_directories(dir.path() / "build/normal/ui");

  EXPECT_EQ(fs::path(korsi::installedTemplates((dir.path() / "usr/bin").string(), "../share/korsi7")),
            (dir.path() / "usr/share/korsi7").lexically_normal());
  EXPECT_EQ(korsi::installedTemplates((dir.path() / "build/normal/ui").string(), "../share/korsi7"), "");
  EXPECT_EQ(korsi::installedTemplates("", "../share/korsi7"), "");
}

}  // namespace
