#include "app/Comline.h"

#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/TempDir.h"

namespace {

using testing_support::CurrentDirGuard;
using testing_support::TempDir;
using Params = std::vector<std::string>;

// Every test runs in a fresh current folder, so that no stray CMDLINE.CFG
// takes part.
class ComlineTest : public testing::Test {
 protected:
  ComlineTest() : cwd_(dir_.Path()) {}
  ~ComlineTest() override { ComlineSetArguments({}); }

  static Params List() {
    Params list;
    for (int i = 1; i <= ComlineParamCount(); ++i) list.push_back(ComlineParam(i));
    return list;
  }

  TempDir dir_;
  CurrentDirGuard cwd_;
};

// CMDLINE.CFG comes first, without comments, blank lines and the debugging
// switches; "@@file" arguments are replaced by the file's lines (not
// expanded again; missing files and folders are skipped).
TEST_F(ComlineTest, ConfigAndResponseFiles) {
  dir_.Write("CMDLINE.CFG",
             "/L\r\n; a comment\r\n\r\n   \r\n/Dummy stays out\r\n/heapdebug=1\r\n"
             "  leading blanks stay\r\nx;y");
  dir_.Write("opts.txt", "/V\r\nout\r\n@@nested.txt\r\n");
  dir_.Write("abs.txt", "/Q");
  std::filesystem::create_directory(dir_.Path("sub"));
  ComlineSetArguments({"in.txt", "/HEAPDEBUG", "/dummyX", ";arg", " ", "@@opts.txt",
                       "@@missing.txt", "@@sub", "@@" + dir_.Path("abs.txt"), "/X"});
  EXPECT_EQ(List(), (Params{"/L", "  leading blanks stay", "x;y", "in.txt", "/V", "out",
                            "@@nested.txt", "/Q", "/X"}));
  EXPECT_EQ(ComlineParam(10), "");
  EXPECT_EQ(ComlineParam(-1), "");
  EXPECT_EQ(ComlineParam(0), platform::ExecutablePath());
}

TEST_F(ComlineTest, LoadedOnFirstUseAndCappedAt100) {
  std::string config;
  Params args;
  for (int i = 0; i < 60; ++i) {
    config += "cfg" + std::to_string(i) + "\r\n";
    args.push_back("arg" + std::to_string(i));
  }
  dir_.Write("CMDLINE.CFG", config);  // written before the first use: it counts
  ComlineSetArguments(args);
  ASSERT_EQ(ComlineParamCount(), kComlineMaxParams);
  EXPECT_EQ(ComlineParam(1) + ComlineParam(61) + ComlineParam(100), "cfg0arg0arg39");
  dir_.Write("CMDLINE.CFG", "");  // loaded once: later changes do not count
  EXPECT_EQ(ComlineParamCount(), kComlineMaxParams);
}

TEST_F(ComlineTest, Matching) {
  const struct {
    Params Arguments;
    const char* Name;
    bool Matched;
    const char* Value;
    Params Left;
  } cases[] = {
      {{"/L"}, "/L", true, "", {}},
      {{"/l"}, "/L", true, "", {}},
      {{"/L=x"}, "/l", true, "x", {}},
      {{"/L:x=y"}, "/L", true, "x=y", {}},
      {{"/L="}, "/L", true, "", {}},
      {{"/LOG"}, "/L", false, "", {"/LOG"}},
      {{"/"}, "/L", false, "", {"/"}},
      {{"-L"}, "/L", false, "", {"-L"}},
      {{"a", "/CH=ON", "b", "/ch:Off", "c"}, "/CH", true, "Off", {"a", "b", "c"}},
      {{"/CH=x", "/CH"}, "/ch", true, "", {}},  // the last match gives the value
      {{"/INT", "/INSIKA"}, "/INSIKA", true, "", {"/INT"}},
      {{"/S=\xE4"}, "/s", true, "\xE4", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Arguments) + " " + c.Name);
    ComlineSetArguments(c.Arguments);
    std::string value = "stale";
    EXPECT_EQ(ComlineOption(c.Name, value), c.Matched);
    EXPECT_EQ(value, c.Value);
    EXPECT_EQ(List(), c.Left);
    ComlineSetArguments(c.Arguments);
    EXPECT_EQ(ComlineSwitch(c.Name), c.Matched);
    EXPECT_EQ(List(), c.Left);
  }
}

}  // namespace
