#include "platform/WholeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "platform/Interrupt.h"
#include "platform/TempDir.h"

namespace {

using platform::WholeFile;
using testing_support::TempDir;
using Replace = WholeFile::Replace;
using Sync = WholeFile::SyncFolder;

size_t EntryCount(const TempDir& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++n;
  return n;
}

// What appears under the name for each way a file ends: committed with or
// without replacing an older file, released, failed part-way, interrupted.
TEST(WholeFile, WhatAppearsUnderTheName) {
  const std::string big(WholeFile::kBufferSize + 10, 'b');
  struct Case {
    const char* what;
    bool old_file;
    Replace replace;
    int64_t fault_budget;  // -1: no fault
    int interrupt;
    int expected;               // Commit's result; -1: released without Commit
    const char* content;        // under the name afterwards; nullptr: none
  } cases[] = {
      {"new", false, Replace::kNo, -1, 0, 0, "a|big|z"},
      {"replaced", true, Replace::kYes, -1, 0, 0, "a|big|z"},
      {"not replaced", true, Replace::kNo, -1, 0, EEXIST, "old"},
      {"released", true, Replace::kYes, -1, 0, -1, "old"},
      {"full device", false, Replace::kNo, 100, 0, ENOSPC, nullptr},
      {"full at the end", false, Replace::kYes, int64_t(big.size()) + 1, 0, ENOSPC, nullptr},
      {"interrupted", false, Replace::kNo, -1, 2, ECANCELED, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.old_file) dir.Write("f", "old");
    {
      WholeFile file;
      ASSERT_EQ(file.Open(dir.Path("f")), 0);
      platform::SetWholeFileFaultForTesting(c.fault_budget, ENOSPC);
      platform::SetInterruptForTesting(c.interrupt);
      file.Append("a|");
      file.Append(big);  // larger than the buffer: written directly
      file.Append("|z");
      EXPECT_EQ(file.size(), big.size() + 4);
      if (c.expected >= 0) {
        EXPECT_EQ(file.Commit(c.replace, Sync::kYes), c.expected);
      }
      platform::SetWholeFileFaultForTesting(-1, 0);
      platform::SetInterruptForTesting(0);
      if (c.fault_budget >= 0) {
        EXPECT_EQ(file.error(), ENOSPC);
      }
    }
    std::string expected = c.content ? c.content : "";
    if (expected == "a|big|z") expected = "a|" + big + "|z";
    EXPECT_EQ(dir.Exists("f"), c.content != nullptr);
    if (c.content) {
      EXPECT_EQ(dir.Read("f"), expected);
    }
    EXPECT_EQ(EntryCount(dir), c.content ? 1u : 0u) << "a temporary remains";
  }
}

// Once poisoned, nothing more reaches the file, even after space is freed.
TEST(WholeFile, AFailedWritePoisons) {
  TempDir dir;
  WholeFile file;
  ASSERT_EQ(file.Open(dir.Path("f")), 0);
  platform::SetWholeFileFaultForTesting(10, ENOSPC);
  file.Append(std::string(WholeFile::kBufferSize + 1, 'x'));
  platform::SetWholeFileFaultForTesting(-1, 0);
  EXPECT_EQ(file.error(), ENOSPC);
  file.Append(std::string(WholeFile::kBufferSize, 'y'));
  EXPECT_EQ(file.error(), ENOSPC);
  EXPECT_EQ(file.Commit(Replace::kYes, Sync::kNo), ENOSPC);
  EXPECT_EQ(EntryCount(dir), 0u);
}

// Two writers of one name never share bytes: the first commit wins, the
// second finds the name taken; a rename into a missing folder fails cleanly.
TEST(WholeFile, WritersOfOneNameAndAFailedRename) {
  TempDir dir;
  WholeFile first, second;
  ASSERT_EQ(first.Open(dir.Path("f")), 0);
  ASSERT_EQ(second.Open(dir.Path("f")), 0);
  first.Append("first");
  second.Append("second");
  EXPECT_EQ(first.Commit(Replace::kNo, Sync::kNo), 0);
  EXPECT_EQ(second.Commit(Replace::kNo, Sync::kNo), EEXIST);
  EXPECT_EQ(dir.Read("f"), "first");
  EXPECT_EQ(EntryCount(dir), 1u);

  WholeFile moved;
  ASSERT_EQ(moved.Open(dir.Path("sub/g")), ENOENT);
  std::filesystem::create_directory(dir.Path("sub"));
  ASSERT_EQ(moved.Open(dir.Path("sub/g")), 0);
  std::filesystem::remove(dir.Path("sub"));
  EXPECT_EQ(moved.Commit(Replace::kYes, Sync::kNo), ENOENT);
}

}  // namespace
