#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "support/temp_dir.h"

namespace ab {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(FileTest, AtomicWriteCreatesWithTheGivenModeAndLeavesNoTemporaryFile) {
  testing::TempDir dir;
  WriteFileAtomic(dir.File("a.xml"), "one", 0600);
  EXPECT_EQ(dir.Read("a.xml"), "one");
  EXPECT_EQ(ModeOf(dir.File("a.xml")), 0600u);
  WriteFileAtomic(dir.File("a.xml"), "two", 0600);
  EXPECT_EQ(dir.Read("a.xml"), "two");
  auto listing = testing::RunCommand("ls -A " + testing::ShellQuote(dir.path()));
  EXPECT_EQ(listing.out, "a.xml\n");
}

TEST(FileTest, AtomicWriteKeepsTheModeOfAReplacedFile) {
  testing::TempDir dir;
  dir.Write("c", "old");
  ::chmod(dir.File("c").c_str(), 0640);
  WriteFileAtomic(dir.File("c"), "new", 0600);
  EXPECT_EQ(ModeOf(dir.File("c")), 0640u);
}

TEST(FileTest, AtomicWriteRefusesAFileThatMayNotBeWritten) {
  testing::TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  dir.Write("ro", "keep");
  ::chmod(dir.File("ro").c_str(), 0444);
  int refused = testing::RunUnprivileged([&] {
    try {
      WriteFileAtomic(dir.File("ro"), "lost", 0600);
    } catch (const IoError&) {
      return 1;
    }
    return 0;
  });
  EXPECT_EQ(refused, 1) << "a read-only file must make the write fail";
  EXPECT_EQ(dir.Read("ro"), "keep");
}

TEST(FileTest, AtomicWriteIntoAMissingFolderFailsCleanly) {
  testing::TempDir dir;
  EXPECT_THROW(WriteFileAtomic(dir.File("no/such/x"), "x", 0600), IoError);
}

TEST(FileTest, CreateDirectoriesMakesParentsAndAcceptsExisting) {
  testing::TempDir dir;
  CreateDirectories(dir.File("a/b/c"));
  EXPECT_TRUE(DirectoryExists(dir.File("a/b/c")));
  EXPECT_NO_THROW(CreateDirectories(dir.File("a/b/c/")));
  dir.Write("plain", "");
  EXPECT_THROW(CreateDirectories(dir.File("plain/sub")), IoError);
}

TEST(FileTest, ReadFileReportsMissingFiles) {
  testing::TempDir dir;
  try {
    ReadFile(dir.File("missing"));
    FAIL();
  } catch (const IoError& e) {
    EXPECT_NE(e.message().find("missing"), std::string::npos) << e.message();
  }
}

TEST(FileTest, PathParts) {
  EXPECT_EQ(DirName("/a/b/c.xml"), "/a/b/");
  EXPECT_EQ(BaseName("/a/b/c.xml"), "c.xml");
  EXPECT_EQ(DirName("c.xml"), "");
}

}  // namespace
}  // namespace ab
