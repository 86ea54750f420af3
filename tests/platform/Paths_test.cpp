#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "platform/TempDir.h"

namespace {

TEST(Paths, SplitChangeAndDelimiters) {
  const struct {
    const char* Path;
    const char* FilePath;
    const char* FileName;
    const char* FileExt;
    const char* WithXml;  // ChangeFileExt(path, ".xml")
  } cases[] = {{"/data/in/journal.txt", "/data/in/", "journal.txt", ".txt", "/data/in/journal.xml"},
               {"journal.txt", "", "journal.txt", ".txt", "journal.xml"},
               {"/data/in/", "/data/in/", "", "", "/data/in/.xml"},
               {"", "", "", "", ".xml"},
               {"/a.b/name", "/a.b/", "name", "", "/a.b/name.xml"},
               {"/x/archive.tar.gz", "/x/", "archive.tar.gz", ".gz", "/x/archive.tar.xml"},
               {"/x/.hidden", "/x/", ".hidden", ".hidden", "/x/.xml"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    EXPECT_EQ(platform::ExtractFilePath(c.Path), c.FilePath);
    EXPECT_EQ(platform::ExtractFileName(c.Path), c.FileName);
    EXPECT_EQ(platform::ExtractFileExt(c.Path), c.FileExt);
    EXPECT_EQ(platform::ChangeFileExt(c.Path, ".xml"), c.WithXml);
  }
  EXPECT_EQ(platform::ChangeFileExt("/out/a.txt", ""), "/out/a");
  const std::tuple<const char*, const char*, const char*> delimiters[] = {
      {"/out", "/out/", "/out"}, {"/out/", "/out/", "/out"}, {"", "", ""}, {"/", "/", "/"}};
  for (const auto& [in, included, excluded] : delimiters) {
    EXPECT_EQ(platform::IncludeTrailingPathDelimiter(in), included) << in;
    EXPECT_EQ(platform::ExcludeTrailingPathDelimiter(in), excluded) << in;
  }
}

TEST(Paths, ExpandFileNameAndExecutablePath) {
  testing_support::TempDir dir;
  testing_support::CurrentDirGuard guard(dir.Path());
  const std::string cwd = std::filesystem::current_path().string();
  const std::pair<const char*, std::string> cases[] = {
      {"journal.txt", cwd + "/journal.txt"},
      {"./a/../journal.txt", cwd + "/journal.txt"},
      {"sub/", cwd + "/sub/"},
      {"..", std::filesystem::path(cwd).parent_path().string()},
      {"/abs//x/./y", "/abs/x/y"},
      {"", ""}};
  for (const auto& [in, out] : cases) EXPECT_EQ(platform::ExpandFileName(in), out) << in;

  const std::string real = platform::ExecutablePath();
  EXPECT_EQ(platform::ExtractFileName(real), "test_platform");
  platform::SetExecutablePathForTest("/opt/jorvex/jorvex");
  EXPECT_EQ(platform::ExecutableDir(), "/opt/jorvex/");
  platform::SetExecutablePathForTest("");
  EXPECT_EQ(platform::ExecutablePath(), real);
}

}  // namespace
