#include "platform/File.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/TempDir.h"

namespace {

using platform::File;
using testing_support::CurrentDirGuard;
using testing_support::TempDir;

std::string ReadAll(File& file) {
  std::string text;
  char buffer[3];  // small on purpose: several reads per file
  for (;;) {
    size_t got = 0;
    EXPECT_EQ(file.Read(buffer, sizeof buffer, &got), 0);
    if (got == 0) return text;
    text.append(buffer, got);
  }
}

TEST(File, OpenModes) {
  TempDir dir;
  File file;
  EXPECT_EQ(file.Open(dir.Path("missing"), File::OpenMode::kRead), ENOENT);
  EXPECT_EQ(file.Open(dir.Path("missing"), File::OpenMode::kAppend), ENOENT);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Open(dir.Path(), File::OpenMode::kRead), EISDIR);
  EXPECT_FALSE(file.IsOpen());

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
  EXPECT_EQ(ReadAll(file), "abcdefgh");
  EXPECT_EQ(file.Write("x", 1), EBADF);  // read-only handle
}

TEST(File, ClosedHandleReportsBadFile) {
  File file;
  size_t got = 1;
  char c;
  EXPECT_EQ(file.Read(&c, 1, &got), EBADF);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(file.Write("x", 1), EBADF);
  EXPECT_EQ(file.Size(), -1);
}

TEST(FileSystem, ExistsCreateDelete) {
  TempDir dir;
  dir.Write("f", "x");
  EXPECT_TRUE(platform::FileExists(dir.Path("f")));
  EXPECT_FALSE(platform::FileExists(dir.Path()));
  EXPECT_FALSE(platform::FileExists(""));
  EXPECT_TRUE(platform::DirectoryExists(dir.Path()));
  EXPECT_FALSE(platform::DirectoryExists(dir.Path("f")));

  std::string nested = dir.Path("a/b/c/");
  EXPECT_TRUE(platform::ForceDirectories(nested));
  EXPECT_TRUE(platform::DirectoryExists(dir.Path("a/b/c")));
  EXPECT_TRUE(platform::ForceDirectories(nested));              // already there
  EXPECT_FALSE(platform::ForceDirectories(dir.Path("f/sub")));  // a file in the way
  EXPECT_FALSE(platform::ForceDirectories(""));

  EXPECT_EQ(platform::DeleteFile(dir.Path("f")), 0);
  EXPECT_FALSE(dir.Exists("f"));
  EXPECT_EQ(platform::DeleteFile(dir.Path("f")), ENOENT);
}

TEST(FileSystem, RenameNeverReplaces) {
  TempDir dir;
  dir.Write("a", "A");
  dir.Write("b", "B");
  EXPECT_EQ(platform::RenameFile(dir.Path("a"), dir.Path("b")), EEXIST);
  EXPECT_EQ(dir.Read("a"), "A");
  EXPECT_EQ(dir.Read("b"), "B");
  EXPECT_EQ(platform::RenameFile(dir.Path("a"), dir.Path("c")), 0);
  EXPECT_FALSE(dir.Exists("a"));
  EXPECT_EQ(dir.Read("c"), "A");
  EXPECT_EQ(platform::RenameFile(dir.Path("missing"), dir.Path("d")), ENOENT);
}

TEST(FileSystem, CopyReplaces) {
  TempDir dir;
  dir.Write("a", "new");
  dir.Write("b", "old and longer");
  EXPECT_EQ(platform::CopyFile(dir.Path("a"), dir.Path("b")), 0);
  EXPECT_EQ(dir.Read("b"), "new");
  EXPECT_EQ(dir.Read("a"), "new");
  EXPECT_NE(platform::CopyFile(dir.Path("missing"), dir.Path("c")), 0);
  EXPECT_FALSE(dir.Exists("c"));
}

TEST(FileSystem, CurrentDirectory) {
  TempDir dir;
  std::string before = platform::GetCurrentDir();
  {
    CurrentDirGuard guard(dir.Path());
    EXPECT_EQ(std::filesystem::path(platform::GetCurrentDir()),
              std::filesystem::canonical(dir.Path()));
    EXPECT_EQ(platform::SetCurrentDir(dir.Path("missing")), ENOENT);
  }
  EXPECT_EQ(platform::GetCurrentDir(), before);
}

}  // namespace
