#include "platform/File.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/TempDir.h"

namespace {

using platform::File;
using testing_support::TempDir;

TEST(File, OpenModesAndHandles) {
  TempDir dir;
  File file;
  EXPECT_EQ(file.Open(dir.Path("missing"), File::OpenMode::kRead), ENOENT);
  EXPECT_EQ(file.Open(dir.Path("missing"), File::OpenMode::kAppend), ENOENT);
  EXPECT_EQ(file.Open(dir.Path(), File::OpenMode::kRead), EISDIR);
  EXPECT_FALSE(file.IsOpen());
  size_t got = 1;
  char buffer[3];  // small on purpose: several reads per file
  EXPECT_EQ(file.Read(buffer, 1, &got), EBADF);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(file.Write("x", 1), EBADF);
  EXPECT_EQ(file.Size(), -1);

  dir.Write("f", "old content");
  ASSERT_EQ(file.Open(dir.Path("f"), File::OpenMode::kRewrite), 0);
  EXPECT_EQ(file.Size(), 0);
  ASSERT_EQ(file.Write("abc", 3), 0);
  ASSERT_EQ(file.Open(dir.Path("f"), File::OpenMode::kAppend), 0);  // closes the first handle
  ASSERT_EQ(file.Write("defgh", 5), 0);
  EXPECT_EQ(file.Size(), 8);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Close(), 0);
  ASSERT_EQ(file.Open(dir.Path("f"), File::OpenMode::kRead), 0);
  std::string text;
  do {
    ASSERT_EQ(file.Read(buffer, sizeof buffer, &got), 0);
    text.append(buffer, got);
  } while (got != 0);
  EXPECT_EQ(text, "abcdefgh");
  EXPECT_EQ(file.Write("x", 1), EBADF);  // read-only handle
}

TEST(FileSystem, ExistsCreateDeleteRenameCopy) {
  TempDir dir;
  dir.Write("f", "x");
  EXPECT_TRUE(platform::FileExists(dir.Path("f")));
  EXPECT_FALSE(platform::FileExists(dir.Path()) || platform::FileExists(""));
  EXPECT_TRUE(platform::DirectoryExists(dir.Path()));
  EXPECT_FALSE(platform::DirectoryExists(dir.Path("f")));
  EXPECT_TRUE(platform::ForceDirectories(dir.Path("p/q/r/")));
  EXPECT_TRUE(platform::DirectoryExists(dir.Path("p/q/r")));
  EXPECT_TRUE(platform::ForceDirectories(dir.Path("p/q/r/")));  // already there
  EXPECT_FALSE(platform::ForceDirectories(dir.Path("f/sub")));  // a file in the way
  EXPECT_FALSE(platform::ForceDirectories(""));
  EXPECT_EQ(platform::DeleteFile(dir.Path("f")), 0);
  EXPECT_EQ(platform::DeleteFile(dir.Path("f")), ENOENT);

  // Rename never replaces.
  dir.Write("a", "A");
  dir.Write("b", "B, longer");
  EXPECT_EQ(platform::RenameFile(dir.Path("a"), dir.Path("b")), EEXIST);
  EXPECT_EQ(dir.Read("a") + dir.Read("b"), "AB, longer");
  EXPECT_EQ(platform::RenameFile(dir.Path("missing"), dir.Path("d")), ENOENT);
  EXPECT_EQ(platform::RenameFile(dir.Path("a"), dir.Path("c")), 0);
  EXPECT_EQ(dir.Read("c"), "A");
  EXPECT_FALSE(dir.Exists("a"));

  const std::string before = platform::GetCurrentDir();
  {
    testing_support::CurrentDirGuard guard(dir.Path());
    EXPECT_EQ(std::filesystem::path(platform::GetCurrentDir()),
              std::filesystem::canonical(dir.Path()));
    EXPECT_EQ(platform::SetCurrentDir(dir.Path("missing")), ENOENT);
  }
  EXPECT_EQ(platform::GetCurrentDir(), before);
}

}  // namespace
