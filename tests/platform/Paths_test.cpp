#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/TempDir.h"

namespace {

struct PathCase {
  const char* path;
  const char* file_path;
  const char* file_name;
  const char* file_ext;
};

TEST(Paths, SplitIntoParts) {
  const PathCase cases[] = {
      {"/data/in/journal.txt", "/data/in/", "journal.txt", ".txt"},
      {"journal.txt", "", "journal.txt", ".txt"},
      {"/data/in/", "/data/in/", "", ""},
      {"/", "/", "", ""},
      {"", "", "", ""},
      {"/a.b/name", "/a.b/", "name", ""},
      {"/x/archive.tar.gz", "/x/", "archive.tar.gz", ".gz"},
      {"/x/.hidden", "/x/", ".hidden", ".hidden"},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform::ExtractFilePath(c.path), c.file_path);
    EXPECT_EQ(platform::ExtractFileName(c.path), c.file_name);
    EXPECT_EQ(platform::ExtractFileExt(c.path), c.file_ext);
  }
}

TEST(Paths, TrailingDelimiterAndExtension) {
  EXPECT_EQ(platform::IncludeTrailingPathDelimiter("/out"), "/out/");
  EXPECT_EQ(platform::IncludeTrailingPathDelimiter("/out/"), "/out/");
  EXPECT_EQ(platform::IncludeTrailingPathDelimiter(""), "");
  EXPECT_EQ(platform::ExcludeTrailingPathDelimiter("/out/"), "/out");
  EXPECT_EQ(platform::ExcludeTrailingPathDelimiter("/out"), "/out");
  EXPECT_EQ(platform::ExcludeTrailingPathDelimiter("/"), "/");

  EXPECT_EQ(platform::ChangeFileExt("/out/INSIKA", ".xml"), "/out/INSIKA.xml");
  EXPECT_EQ(platform::ChangeFileExt("/out/a.txt", ".xml"), "/out/a.xml");
  EXPECT_EQ(platform::ChangeFileExt("/a.b/name", ".xml"), "/a.b/name.xml");
  EXPECT_EQ(platform::ChangeFileExt("/out/a.txt", ""), "/out/a");
}

TEST(Paths, ExpandFileNameResolvesAgainstTheCurrentDirectory) {
  testing_support::TempDir dir;
  testing_support::CurrentDirGuard guard(dir.Path());
  std::string cwd = std::filesystem::current_path().string();
  struct {
    const char* in;
    std::string out;
  } cases[] = {
      {"journal.txt", cwd + "/journal.txt"},
      {"./a/../journal.txt", cwd + "/journal.txt"},
      {"sub/", cwd + "/sub/"},
      {".", cwd},
      {"..", std::filesystem::path(cwd).parent_path().string()},
      {"/abs//x/./y", "/abs/x/y"},
      {"/", "/"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(platform::ExpandFileName(c.in), c.out);
  }
}

TEST(Paths, ExecutablePath) {
  std::string real = platform::ExecutablePath();
  EXPECT_EQ(platform::ExtractFileName(real), "test_platform");
  platform::SetExecutablePathForTest("/opt/jorvex/jorvex");
  EXPECT_EQ(platform::ExecutablePath(), "/opt/jorvex/jorvex");
  EXPECT_EQ(platform::ExecutableDir(), "/opt/jorvex/");
  platform::SetExecutablePathForTest("");
  EXPECT_EQ(platform::ExecutablePath(), real);
}

}  // namespace
