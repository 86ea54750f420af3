#include "check/ExportSource.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>

#include "base/KvErrors.h"
#include "platform/TempDir.h"

namespace check {
namespace {

using testing_support::TempDir;
using Files = std::vector<std::pair<std::string, std::string>>;

std::string ReadAll(tExportSource& source, std::string_view name) {
  return source.ReadWhole(name, 1000);
}

// Writes files into a ZIP at path, with a folder entry "sub/".
void WriteZip(const std::string& path, const Files& files) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  ASSERT_GE(zip_dir_add(archive, "sub", 0), 0);
  for (const auto& [name, data] : files) {
    zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, 0), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

TEST(ExportSource, FolderListsFilesRecursivelyWithoutLinks) {
  TempDir dir;
  std::filesystem::create_directories(dir.Path("sub/deep"));
  dir.Write("index.xml", "<x/>");
  dir.Write("sub/deep/a.csv", "1;2\r\n");
  std::filesystem::create_symlink("/etc/passwd", dir.Path("link.csv"));
  const auto source = tExportSource::OpenFolder(dir.Path());
  EXPECT_EQ(source->Entries(), (std::vector<std::string>{"index.xml", "sub/deep/a.csv"}));
  EXPECT_EQ(ReadAll(*source, "sub/deep/a.csv"), "1;2\r\n");
  EXPECT_EQ(source->Open("link.csv"), nullptr);
  EXPECT_THROW(source->ReadWhole("index.xml", 3), EKvIo);
  EXPECT_THROW(source->ReadWhole("absent.csv", 3), EKvIo);
  EXPECT_THROW(tExportSource::OpenFolder(dir.Path("none")), EKvIo);
}

TEST(ExportSource, ZipListsEntriesAndADuplicateTwice) {
  TempDir dir;
  const std::string big(200000, 'x');
  WriteZip(dir.Path("e.zip"), {{"index.xml", "<x/>"}, {"sub/a.csv", big}, {"sub/b.csv", "second"}});
  // The format allows one name twice; libzip does not write it, so rename
  // the last entry in place (local header and central folder).
  std::string bytes = dir.Read("e.zip");
  for (size_t at; (at = bytes.find("sub/b.csv")) != std::string::npos;) bytes[at + 4] = 'a';
  dir.Write("e.zip", bytes);

  const auto source = tExportSource::OpenZip(dir.Path("e.zip"));
  EXPECT_EQ(source->Entries(), (std::vector<std::string>{"index.xml", "sub/a.csv", "sub/a.csv"}));
  EXPECT_EQ(source->ReadWhole("sub/a.csv", big.size()), big);
  EXPECT_EQ(source->Open("sub"), nullptr);

  dir.Write("bad.zip", "PK\3\4 not a zip");
  EXPECT_THROW(tExportSource::OpenZip(dir.Path("bad.zip")), EKvIo);
}

TEST(ExportSource, MemoryKeepsOrderAndDuplicates) {
  const auto source = tExportSource::OpenMemory({{"b", "1"}, {"a", "22"}, {"b", "3"}});
  EXPECT_EQ(source->Entries(), (std::vector<std::string>{"b", "a", "b"}));
  EXPECT_EQ(ReadAll(*source, "a"), "22");
  EXPECT_EQ(ReadAll(*source, "b"), "1");
}

}  // namespace
}  // namespace check
