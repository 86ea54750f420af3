#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "platform/TempDir.h"

namespace {

TEST(Paths, SplitChangeAndDelimiters) {
  const struct {
    const char* path;
    const char* file_path;
    const char* file_name;
    const char* file_ext;
    const char* with_xml;  // ChangeFileExt(path, ".xml")
  } cases[] = {{"/data/in/journal.txt", "/data/in/", "journal.txt", ".txt", "/data/in/journal.xml"},
               {"journal.txt", "", "journal.txt", ".txt", "journal.xml"},
               {"/data/in/", "/data/in/", "", "", "/data/in/.xml"},
               {"", "", "", "", ".xml"},
               {"/a.b/name", "/a.b/", "name", "", "/a.b/name.xml"},
               {"/x/archive.tar.gz", "/x/", "archive.tar.gz", ".gz", "/x/archive.tar.xml"},
               {"/x/.hidden", "/x/", ".hidden", ".hidden", "/x/.xml"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform::ExtractFilePath(c.path), c.file_path);
    EXPECT_EQ(platform::ExtractFileName(c.path), c.file_name);
    EXPECT_EQ(platform::ExtractFileExt(c.path), c.file_ext);
    EXPECT_EQ(platform::ChangeFileExt(c.path, ".xml"), c.with_xml);
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
