#include "eval/KvFiscalDataSourceAscii.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/KvErrorCodes.h"
#include "base/RaiseTestHelp.h"
#include "platform/TempDir.h"

namespace {

using raise_test::MessageOf;
using testing_support::TempDir;

TEST(FiscalDataSourceTextFileDOS, ReadsCountsAndReportsProgress) {
  const TempDir dir;
  dir.Write("j.txt", "first\r\n\r\nthird line\nlast");  // 24 bytes
  tFiscalDataSourceTextFileDOS source(dir.Path("j.txt"));
  std::vector<std::string> lines;
  std::vector<int32_t> progress{source.Progress()};
  while (!source.Eof())
    lines.emplace_back(source.ReadLine()), progress.push_back(source.Progress());
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "", "third line", "last"}));
  EXPECT_EQ(progress, (std::vector<int32_t>{0, 29, 37, 83, 100}));
  EXPECT_EQ(source.LineNumber(), 4);

  dir.Write("empty.txt", "");
  tFiscalDataSourceTextFileDOS empty(dir.Path("empty.txt"));
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.Progress(), 0);  // size 0 is taken as 1
}

// A text file that is not a tKvTextFileDos goes through the copying read.
class tListFile final : public tKvTextFile {
 public:
  bool Eof() override { return next_ >= 2; }
  int32_t ReadLine(std::string& text) override {
    if (Eof()) return kErrFileRead;
    text = next_++ == 0 ? "a" : "b c";
    return 0;
  }
  int32_t WriteText(std::string_view) override { return kErrFileWrite; }
  int32_t WriteLine(std::string_view) override { return kErrFileWrite; }
  int32_t Flush() override { return 0; }

 private:
  int next_ = 0;
};

TEST(FiscalDataSourceTextFile, ReadsAnyTextFile) {
  tListFile file;
  tKvFiscalDataSourceTextFile source(&file);
  EXPECT_EQ(source.ReadLine(), "a");
  EXPECT_EQ(source.ReadLine(), "b c");
  EXPECT_TRUE(source.Eof());
  int code = 0;
  EXPECT_THAT(MessageOf<EKvIo>([&] { source.ReadLine(); }, &code),
              ::testing::HasSubstr("ReadLine: Read error -2111"));
  EXPECT_EQ(code, kErrFileRead);
}

}  // namespace
