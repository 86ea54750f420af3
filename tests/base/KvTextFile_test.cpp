#include "base/KvTextFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "platform/TempDir.h"

namespace {

using testing_support::TempDir;

// Reads the whole file line by line; a failing read ends the list with
// "<error N>".
std::vector<std::string> ReadLines(const std::string& path,
                                   size_t maxLine = tKvTextFileDos::kDefaultMaxLineLength) {
  tKvTextFileDos file(path, tKvTextFileDos::kModeReset, maxLine);
  std::vector<std::string> lines;
  std::string line = "stale";
  while (!file.Eof()) {
    int32_t code = file.ReadLine(line);
    lines.push_back(code == 0 ? line : "<error " + std::to_string(code) + ">");
  }
  return lines;
}

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EKvRoot& e) {
    return e.what();
  }
  return "<no exception>";
}

TEST(KvTextFile, LineEnds) {
  using Lines = std::vector<std::string>;
  const struct {
    std::string content;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},  // last line without line end
      {"a\nb\n", {"a", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"a\rb\r\n", {"a\rb"}},  // a lone CR stays in its line
      {"last\r", {"last"}},
      {"x\r\r\n", {"x\r"}},
      {std::string("n\0l\r\n\xFF\xE4\r\n", 9), {std::string("n\0l", 3), "\xFF\xE4"}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.content));
    dir.Write("in.txt", c.content);
    EXPECT_EQ(ReadLines(dir.Path("in.txt")), c.lines);
  }
}

TEST(KvTextFile, EofAfterTheLastLineAndReadingPastIt) {
  TempDir dir;
  dir.Write("in.txt", "one\r\ntwo");
  tKvTextFileDos file(dir.Path("in.txt"), tKvTextFileDos::kModeReset);
  EXPECT_EQ(file.FileSize(), 8);
  std::string_view line;
  EXPECT_FALSE(file.Eof());
  ASSERT_EQ(file.ReadLineView(line), 0);
  EXPECT_EQ(line, "one");
  EXPECT_EQ(file.FilePos(), 5);
  ASSERT_EQ(file.ReadLineView(line), 0);
  EXPECT_EQ(line, "two");
  EXPECT_EQ(file.FilePos(), 8);
  EXPECT_TRUE(file.Eof());
  EXPECT_EQ(file.ReadLineView(line), kErrFileRead);
  EXPECT_EQ(line, "");
  EXPECT_EQ(MessageOf([&] {
              std::string text;
              file.ReadLineChecked(text);
            }),
            "[tKvTextFileDos] Read error\rCode: -2111 (File read error)");
}

// Lines of every length around the buffer size, and a few much longer ones,
// come back exactly.
TEST(KvTextFile, LinesAcrossBufferBoundaries) {
  std::mt19937 random(7);
  std::vector<std::string> lines;
  std::string content;
  size_t lengths[] = {0, 1, 100, 4095, 4096, 70000, 262143, 262144, 262145, 600000, 3};
  for (int round = 0; round < 3; ++round) {
    for (size_t length : lengths) {
      std::string line(length, 'x');
      for (char& c : line) c = static_cast<char>('a' + random() % 26);
      lines.push_back(line);
      content += line + (random() % 2 ? "\r\n" : "\n");
    }
  }
  TempDir dir;
  dir.Write("in.txt", content);
  EXPECT_EQ(ReadLines(dir.Path("in.txt")), lines);

  tKvTextFileDos file(dir.Path("in.txt"), tKvTextFileDos::kModeReset);
  std::string_view line;
  while (!file.Eof()) ASSERT_EQ(file.ReadLineView(line), 0);
  EXPECT_EQ(file.FilePos(), static_cast<int64_t>(content.size()));
}

TEST(KvTextFile, OverlongLinesAreSkippedAndReported) {
  const std::string tooLong = "E" + std::string(10, 'x');
  const std::string huge(700000, 'h');  // longer than the read buffer: skipped while reading
  const int32_t kLong = kErrFileOutOfMemory;
  const struct {
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      {"0123456789\r\nok\r\n", {"0123456789", "ok"}},  // exactly the maximum
      {tooLong + "\r\nnext\r\n", {"<error -2101>", "next"}},
      {"a\r\n" + tooLong, {"a", "<error -2101>"}},
      {huge + "\r\nafter\r\n", {"<error -2101>", "after"}},
      {"b\n" + huge, {"b", "<error -2101>"}},
      {huge + "\n" + huge + "\nc", {"<error -2101>", "<error -2101>", "c"}},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content.substr(0, 40));
    dir.Write("in.txt", c.content);
    EXPECT_EQ(ReadLines(dir.Path("in.txt"), 10), c.lines);
  }
  // A large maximum lets the buffer grow for long lines.
  dir.Write("in.txt", huge + "\r\nz");
  EXPECT_EQ(ReadLines(dir.Path("in.txt"), 700000), (std::vector<std::string>{huge, "z"}));
  EXPECT_EQ(ReadLines(dir.Path("in.txt"), 699999)[0], "<error " + std::to_string(kLong) + ">");
}

TEST(KvTextFile, ReadFailureIsReportedNotTakenForTheEnd) {
  // Reading the process's own memory at offset 0 fails with EIO.
  tKvTextFileDos file("/proc/self/mem", tKvTextFileDos::kModeReset);
  EXPECT_FALSE(file.Eof());
  std::string line;
  EXPECT_EQ(file.ReadLine(line), EIO);
}

TEST(KvTextFile, OpenFailuresNameFileAndMode) {
  TempDir dir;
  std::string missing = dir.Path("no/such/file.txt");
  const struct {
    int mode;
    const char* name;
  } modes[] = {{0, "Reset"}, {1, "AppendRewrite"}, {2, "Rewrite"}, {3, "AppendRewrite"}};
  for (const auto& m : modes) {
    SCOPED_TRACE(m.mode);
    try {
      tKvTextFileDos file(missing, m.mode);
      FAIL() << "opened";
    } catch (const EKvIo& e) {
      EXPECT_EQ(e.Code(), ENOENT);
      EXPECT_EQ(std::string(e.what()), "[tKvTextFileDos] File: " + missing + "; Mode: " + m.name +
                                           "\rCode: 2 (No such file or directory)");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("no")));
  try {
    tKvTextFileDos file(dir.Path(), tKvTextFileDos::kModeReset);
    FAIL() << "opened a folder";
  } catch (const EKvIo& e) {
    EXPECT_EQ(e.Code(), EISDIR);
  }
}

TEST(KvTextFile, InvalidMode) {
  TempDir dir;
  for (int mode : {4, -1, 255, 256}) {
    EXPECT_EQ(MessageOf([&] { tKvTextFileDos file(dir.Path("f"), mode); }),
              "[tKvTextFileDos] Create: invalid Mode parameter: " + std::to_string(mode));
  }
  EXPECT_THROW(tKvTextFileDos(dir.Path("f"), 4), EKvParam);
  EXPECT_FALSE(dir.Exists("f"));
}

TEST(KvTextFile, WriteModes) {
  TempDir dir;
  {
    tKvTextFileDos file(dir.Path("append.txt"), tKvTextFileDos::kModeAppendRewrite);  // created
    EXPECT_FALSE(file.AppendedToExisting());
    EXPECT_EQ(file.WriteLine("first"), 0);
  }
  {
    tKvTextFileDos file(dir.Path("append.txt"), tKvTextFileDos::kModeAppendRewrite);
    EXPECT_EQ(file.WriteLine("second"), 0);
  }
  EXPECT_EQ(dir.Read("append.txt"), "first\r\nsecond\r\n");

  dir.Write("rewrite.txt", "old content\r\n");
  { tKvTextFileDos file(dir.Path("rewrite.txt"), tKvTextFileDos::kModeRewrite); }
  EXPECT_EQ(dir.Read("rewrite.txt"), "");

  { tKvTextFileDos file(dir.Path("unused.txt"), tKvTextFileDos::kModeAppendRewrite); }
  EXPECT_TRUE(dir.Exists("unused.txt"));  // only mode 3 cleans up
}

TEST(KvTextFile, Mode3DeletesOnlyAFileItCreatedAndNeverWrote) {
  TempDir dir;
  const std::string path = dir.Path("log.txt");
  { tKvTextFileDos file(path, tKvTextFileDos::kModeAppendTemp); }
  EXPECT_FALSE(dir.Exists("log.txt"));

  {
    tKvTextFileDos file(path, tKvTextFileDos::kModeAppendTemp);
    EXPECT_EQ(file.WriteText(""), 0);  // any write counts
  }
  EXPECT_EQ(dir.Read("log.txt"), "");

  dir.Write("log.txt", "kept\r\n");
  {
    tKvTextFileDos file(path, tKvTextFileDos::kModeAppendTemp);
    EXPECT_TRUE(file.AppendedToExisting());
  }
  EXPECT_EQ(dir.Read("log.txt"), "kept\r\n");
  {
    tKvTextFileDos file(path, tKvTextFileDos::kModeAppendTemp);
    EXPECT_EQ(file.WriteLine("more"), 0);
  }
  EXPECT_EQ(dir.Read("log.txt"), "kept\r\nmore\r\n");

  {
    tKvTextFileDos file(dir.Path("closed.txt"), tKvTextFileDos::kModeAppendTemp);
    EXPECT_EQ(file.Close(), 0);  // closing early does not keep it
  }
  EXPECT_FALSE(dir.Exists("closed.txt"));
}

TEST(KvTextFile, WritingBuffersLinesAndFlushesText) {
  TempDir dir;
  const std::string path = dir.Path("out.txt");
  tKvTextFileDos file(path, tKvTextFileDos::kModeRewrite);
  EXPECT_EQ(file.WriteText("head;"), 0);
  EXPECT_EQ(TempDir::ReadFile(path), "head;");  // WriteText goes out at once
  EXPECT_EQ(file.WriteLine("tail"), 0);
  EXPECT_EQ(file.Flush(), 0);
  EXPECT_EQ(TempDir::ReadFile(path), "head;tail\r\n");

  // Many lines, and single texts larger than the buffer.
  std::string expected = "head;tail\r\n";
  const std::string big(200000, 'b');
  for (int i = 0; i < 20000; ++i) {
    std::string line = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 37), '.');
    ASSERT_EQ(file.WriteLine(line), 0);
    expected += line + "\r\n";
    if (i % 5000 == 0) {
      ASSERT_EQ(file.WriteLine(big), 0);
      ASSERT_EQ(file.WriteText(big), 0);
      expected += big + "\r\n" + big;
    }
  }
  EXPECT_EQ(file.FilePos(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(TempDir::ReadFile(path), expected);
  EXPECT_EQ(file.WriteLine("x"), EBADF);  // closed
}

TEST(KvTextFile, WrongDirectionAndWriteFailures) {
  TempDir dir;
  dir.Write("in.txt", "a\r\n");
  tKvTextFileDos reader(dir.Path("in.txt"), tKvTextFileDos::kModeReset);
  EXPECT_EQ(reader.WriteLine("x"), EBADF);
  EXPECT_EQ(reader.WriteText("x"), EBADF);
  EXPECT_EQ(reader.Flush(), EBADF);
  EXPECT_EQ(MessageOf([&] { reader.WriteLineChecked("x"); }),
            "[tKvTextFileDos] Write error\rCode: 9 (Bad file descriptor)");
  EXPECT_EQ(MessageOf([&] { reader.WriteLineCodeChecked("x"); }), "[tKvTextFileDos] Code: 9");

  tKvTextFileDos writer(dir.Path("out.txt"), tKvTextFileDos::kModeRewrite);
  std::string line;
  EXPECT_TRUE(writer.Eof());
  EXPECT_EQ(writer.ReadLine(line), EBADF);

  // A full device: buffered lines fail when they go out.
  tKvTextFileDos full("/dev/full", tKvTextFileDos::kModeRewrite);
  EXPECT_EQ(full.WriteText("x"), ENOSPC);
  EXPECT_EQ(full.WriteLine("y"), 0);
  EXPECT_EQ(full.Flush(), ENOSPC);
  EXPECT_EQ(full.Flush(), 0);  // the failed text is not retried
  EXPECT_EQ(full.WriteLine("z"), 0);
  EXPECT_EQ(full.Close(), ENOSPC);
}

}  // namespace
