#include "platform/WholeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iterator>

#include "platform/Interrupt.h"
#include "platform/TempDir.h"

namespace {

using platform::WholeFile;
using testing_support::TempDir;
using Replace = WholeFile::Replace;

long Entries(const TempDir& dir) {
  return std::distance(std::filesystem::directory_iterator(dir.Path()), {});
}

// What stands under the name after each way a file ends: committed with or
// without replacing, released, failed part-way (still failed once space is
// freed: nothing more is written), interrupted, its folder gone.
TEST(WholeFile, WhatAppearsUnderTheName) {
  const std::string big(WholeFile::kBufferSize + 10, 'b');  // written past the buffer
  const std::string whole = "a" + big + "z";
  struct Case {
    const char* what;
    bool old_file;
    Replace replace;
    int64_t budget;  // bytes until the device is full; -1: never
    int signal;
    int commit;                  // Commit's result; -1: released without Commit
    const std::string* content;  // under the name afterwards; nullptr: nothing
  };
  const std::string old = "old";
  const Case cases[] = {
      {"new", false, Replace::kNo, -1, 0, 0, &whole},
      {"replaced", true, Replace::kYes, -1, 0, 0, &whole},
      {"not replaced", true, Replace::kNo, -1, 0, EEXIST, &old},
      {"released", true, Replace::kYes, -1, 0, -1, &old},
      {"full device", false, Replace::kNo, 100, 0, ENOSPC, nullptr},
      {"interrupted", false, Replace::kNo, -1, SIGINT, ECANCELED, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.old_file) dir.Write("f", old);
    {
      WholeFile file;
      ASSERT_EQ(file.Open(dir.Path("f")), 0);
      platform::SetWholeFileFaultForTesting(c.budget, ENOSPC);
      file.Append("a");
      file.Append(big);
      platform::SetWholeFileFaultForTesting(-1, 0);
      EXPECT_EQ(file.error(), c.budget < 0 ? 0 : ENOSPC);
      file.Append("z");
      platform::SetInterruptForTesting(c.signal);
      const int commit = c.commit < 0 ? -1 : file.Commit(c.replace, WholeFile::SyncFolder::kYes);
      EXPECT_EQ(commit, c.commit);
      platform::SetInterruptForTesting(0);
    }
    EXPECT_EQ(dir.Exists("f") ? dir.Read("f") : "-", c.content ? *c.content : "-");
    EXPECT_EQ(Entries(dir), c.content ? 1 : 0) << "a temporary remains";
  }
}

// Two writers of one name never share bytes: the first commit wins, the
// second finds the name taken. A rename into a vanished folder fails.
// The bytes appear as appended (with a line end or not), in pieces shorter
// than, as long as and longer than the buffer, whatever its size.
TEST(WholeFile, BytesAsAppendedWhateverTheBufferSize) {
  for (size_t bufferSize : {size_t{1}, size_t{7}, WholeFile::kBufferSize}) {
    TempDir dir;
    std::string expected;
    WholeFile file(bufferSize);
    ASSERT_EQ(file.Open(dir.Path("f")), 0);
    for (size_t size : {size_t{0}, size_t{1}, size_t{3}, bufferSize, size_t{5}, bufferSize + 2}) {
      const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
      size % 2 == 0 ? file.Append(piece) : file.Append(piece, "\r\n");
      expected += size % 2 == 0 ? piece : piece + "\r\n";
    }
    ASSERT_EQ(file.Commit(Replace::kNo, WholeFile::SyncFolder::kNo), 0);
    EXPECT_EQ(dir.Read("f"), expected) << bufferSize;
  }
}

// A file made durable and dropped from the cache behind its end reads back
// as written, also the second file of the same object.
TEST(WholeFile, DroppedBehindAsWritten) {
  TempDir dir;
  WholeFile file(WholeFile::kLargeBufferSize, WholeFile::Cache::kDropBehind);
  // Given up while its step-wise syncs run: nothing is left, and the
  // descriptor outlives them.
  ASSERT_EQ(file.Open(dir.Path("gone")), 0);
  for (int step = 0; step < 24; ++step) file.Append(std::string(size_t{1} << 20, 'g'));
  file.Discard();
  EXPECT_EQ(Entries(dir), 0);
  for (const char* name : {"a", "b"}) {
    std::string expected;
    ASSERT_EQ(file.Open(dir.Path(name)), 0);
    for (size_t size = 1; expected.size() < (size_t{40} << 20); size = size * 3 % 400'009) {
      file.Append(std::string(size, static_cast<char>('a' + expected.size() % 26)));
      expected.append(size, static_cast<char>('a' + expected.size() % 26));
    }
    ASSERT_EQ(file.Commit(Replace::kNo, WholeFile::SyncFolder::kNo), 0);
    EXPECT_TRUE(dir.Read(name) == expected) << name;
  }
}

TEST(WholeFile, WritersOfOneNameAndAFailedRename) {
  TempDir dir;
  WholeFile first, second, gone;
  ASSERT_EQ(first.Open(dir.Path("f")), 0);
  ASSERT_EQ(second.Open(dir.Path("f")), 0);
  first.Append("first");
  second.Append("second");
  EXPECT_EQ(first.Commit(Replace::kNo, WholeFile::SyncFolder::kNo), 0);
  EXPECT_EQ(second.Commit(Replace::kNo, WholeFile::SyncFolder::kNo), EEXIST);
  EXPECT_EQ(dir.Read("f"), "first");
  EXPECT_EQ(gone.Open(dir.Path("sub/g")), ENOENT);
  std::filesystem::create_directory(dir.Path("sub"));
  ASSERT_EQ(gone.Open(dir.Path("sub/g")), 0);
  std::filesystem::remove(dir.Path("sub"));
  EXPECT_EQ(gone.Commit(Replace::kYes, WholeFile::SyncFolder::kNo), ENOENT);
  EXPECT_EQ(Entries(dir), 1);
}

}  // namespace
