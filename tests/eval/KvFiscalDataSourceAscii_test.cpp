#include "eval/KvFiscalDataSourceAscii.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/KvErrorCodes.h"
#include "eval/InputTestHelp.h"
#include "platform/TempDir.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing_support::TempDir;

std::vector<std::string> ReadAll(tKvFiscalDataSourceAscii& source) {
  std::vector<std::string> lines;
  while (!source.Eof()) lines.emplace_back(source.ReadLine());
  return lines;
}

TEST(FiscalDataSourceTextFileDOS, ReadsLinesAndCountsThem) {
  const TempDir dir;
  dir.Write("j.txt", "first\r\n\r\nthird line\nlast");
  tFiscalDataSourceTextFileDOS source(dir.Path("j.txt"));
  EXPECT_EQ(source.LineNumber(), 0);
  EXPECT_EQ(ReadAll(source), (std::vector<std::string>{"first", "", "third line", "last"}));
  EXPECT_EQ(source.LineNumber(), 4);
  EXPECT_TRUE(source.Eof());
}

TEST(FiscalDataSourceTextFileDOS, ProgressRunsFromZeroToHundred) {
  const TempDir dir;
  dir.Write("j.txt", "0123456789\r\n0123456789\r\n");  // 24 bytes
  tFiscalDataSourceTextFileDOS source(dir.Path("j.txt"));
  EXPECT_EQ(source.Progress(), 0);
  source.ReadLine();
  EXPECT_EQ(source.Progress(), 50);
  source.ReadLine();
  EXPECT_EQ(source.Progress(), 100);

  dir.Write("empty.txt", "");
  tFiscalDataSourceTextFileDOS empty(dir.Path("empty.txt"));
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.Progress(), 0);  // size 0 is taken as 1
}

TEST(FiscalDataSourceTextFileDOS, OverlongLineFailsAndReadingGoesOn) {
  const TempDir dir;
  dir.Write("j.txt", "short\r\n" + std::string(100, 'x') + "\r\nafter\r\n");
  tFiscalDataSourceTextFileDOS source(dir.Path("j.txt"), 64);
  EXPECT_EQ(source.ReadLine(), "short");
  try {
    source.ReadLine();
    FAIL() << "no exception";
  } catch (const EKvIo& e) {
    EXPECT_EQ(e.Code(), kErrFileOutOfMemory);
    EXPECT_THAT(e.what(), StartsWith("[tFiscalDataSourceTextFileDOS] "
                                     "tKvFiscalDataSourceTextFile.ReadLine: Read error -2101 "
                                     "(line too long)"));
  }
  EXPECT_EQ(source.LineNumber(), 2);  // the failed line is counted
  EXPECT_EQ(source.ReadLine(), "after");
  EXPECT_EQ(source.LineNumber(), 3);
}

// A text file that is not a tKvTextFileDos goes through the copying read.
class tListFile final : public tKvTextFile {
 public:
  explicit tListFile(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  bool Eof() override { return next_ >= lines_.size(); }
  int32_t ReadLine(std::string& text) override {
    if (Eof()) return kErrFileRead;
    text = lines_[next_++];
    return 0;
  }
  int32_t WriteText(std::string_view) override { return kErrFileWrite; }
  int32_t WriteLine(std::string_view) override { return kErrFileWrite; }
  int32_t Flush() override { return 0; }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

TEST(FiscalDataSourceTextFile, ReadsAnyTextFile) {
  tListFile file({"a", "b c"});
  tKvFiscalDataSourceTextFile source(&file);
  EXPECT_EQ(source.File(), &file);
  EXPECT_EQ(ReadAll(source), (std::vector<std::string>{"a", "b c"}));
  try {
    source.ReadLine();
    FAIL() << "no exception";
  } catch (const EKvIo& e) {
    EXPECT_EQ(e.Code(), kErrFileRead);
    EXPECT_THAT(e.what(), HasSubstr("tKvFiscalDataSourceTextFile.ReadLine: Read error -2111"));
  }
}

}  // namespace
