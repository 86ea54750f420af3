#include "base/KvTextFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <vector>

#include "base/KvErrorCodes.h"
#include "base/KvErrors.h"
#include "base/RaiseTestHelp.h"
#include "platform/TempDir.h"

namespace {

using raise_test::MessageOf;
using testing_support::TempDir;
using Lines = std::vector<std::string>;

// Reads the whole file line by line; a failing read gives "<error N>".
Lines ReadLines(const std::string& path, size_t maxLine = tKvTextFileDos::kDefaultMaxLineLength) {
  tKvTextFileDos file(path, tKvTextFileDos::kModeReset, maxLine);
  Lines lines;
  std::string line = "stale";
  while (!file.Eof()) {
    const int32_t code = file.ReadLine(line);
    lines.push_back(code == 0 ? line : "<error " + std::to_string(code) + ">");
  }
  return lines;
}

// Line ends; lines longer than the maximum (10 here, or longer than the read
// buffer) are skipped and reported once, reading goes on after them.
TEST(KvTextFile, LineEndsAndOverlongLines) {
  const std::string tooLong = "E" + std::string(10, 'x'), huge(700000, 'h');
  const std::string e = "<error " + std::to_string(kErrFileOutOfMemory) + ">";
  // A last line without line end; a lone CR stays in its line; a line of
  // exactly the maximum.
  // clang-format off
  const std::pair<std::string, Lines> cases[] = {
      {"", {}}, {"a\r\nb\r\n", {"a", "b"}}, {"a\r\nb", {"a", "b"}}, {"a\nb\n", {"a", "b"}},
      {"\r\n\r\n", {"", ""}}, {"a\rb\r\n", {"a\rb"}}, {"last\r", {"last"}}, {"x\r\r\n", {"x\r"}},
      {std::string("n\0l\r\n\xFF\xE4\r\n", 9), {std::string("n\0l", 3), "\xFF\xE4"}},
      {"0123456789\r\nok\r\n", {"0123456789", "ok"}},
      {tooLong + "\r\nnext\r\n", {e, "next"}}, {"a\r\n" + tooLong, {"a", e}},
      {huge + "\r\nafter\r\n", {e, "after"}}, {"b\n" + huge, {"b", e}},
      {huge + "\n" + huge + "\nc", {e, e, "c"}},
      // a UTF-8 byte-order mark only at the very start; a part of one is text
      {"\xEF\xBB\xBF" "a\r\n\xEF\xBB\xBF" "b", {"a", "\xEF\xBB\xBF" "b"}},
      {"\xEF\xBB\xBF", {}}, {"\xEF\xBB\xBF\r\n", {""}}, {"\xEF\xBB", {"\xEF\xBB"}}};
  // clang-format on
  TempDir dir;
  for (const auto& [content, lines] : cases) {
    SCOPED_TRACE(testing::PrintToString(content.substr(0, 40)));
    dir.Write("in.txt", content);
    EXPECT_EQ(ReadLines(dir.Path("in.txt"), 10), lines);
  }
  // A large maximum lets the buffer grow for long lines.
  dir.Write("in.txt", huge + "\r\nz");
  EXPECT_EQ(ReadLines(dir.Path("in.txt"), 700000), (Lines{huge, "z"}));
  EXPECT_EQ(ReadLines(dir.Path("in.txt"), 699999)[0], e);
}

TEST(KvTextFile, EofPositionsAndFailures) {
  TempDir dir;
  dir.Write("in.txt", "one\r\ntwo");
  tKvTextFileDos file(dir.Path("in.txt"), tKvTextFileDos::kModeReset);
  EXPECT_EQ(file.FileSize(), 8);
  std::string_view line;
  ASSERT_EQ(file.ReadLineView(line), 0);
  EXPECT_EQ(file.FilePos(), 5);
  ASSERT_EQ(file.ReadLineView(line), 0);
  EXPECT_EQ(line, "two");
  EXPECT_TRUE(file.Eof());
  EXPECT_EQ(file.ReadLineView(line), kErrFileRead);
  // A read failure is reported, not taken for the end (reading the
  // process's own memory at offset 0 fails with EIO).
  tKvTextFileDos mem("/proc/self/mem", tKvTextFileDos::kModeReset);
  std::string text;
  EXPECT_FALSE(mem.Eof());
  EXPECT_EQ(mem.ReadLine(text), EIO);
  // Reading a file opened for writing and the other way round.
  EXPECT_EQ(file.WriteText("x"), EBADF);
  EXPECT_EQ(file.Flush(), EBADF);
  tKvTextFileDos writer(dir.Path("out.txt"), tKvTextFileDos::kModeRewrite);
  EXPECT_TRUE(writer.Eof());
  EXPECT_EQ(writer.ReadLine(text), EBADF);
  // A full device: buffered lines fail when they go out, and are not retried.
  tKvTextFileDos full("/dev/full", tKvTextFileDos::kModeRewrite);
  EXPECT_EQ(full.WriteText("x"), ENOSPC);
  EXPECT_EQ(full.WriteLine("y"), 0);
  EXPECT_EQ(full.Flush(), ENOSPC);
  EXPECT_EQ(full.Flush(), 0);
  EXPECT_EQ(full.WriteLine("z"), 0);
  EXPECT_EQ(full.Close(), ENOSPC);
}

TEST(KvTextFile, OpenModes) {
  TempDir dir;
  const std::string missing = dir.Path("no/such/file.txt");
  const std::pair<int, const char*> modes[] = {
      {0, "Reset"}, {1, "AppendRewrite"}, {2, "Rewrite"}, {3, "AppendRewrite"}};
  for (const auto& [mode, name] : modes) {
    int code = 0;
    EXPECT_EQ(MessageOf<EKvIo>([&, mode = mode] { tKvTextFileDos file(missing, mode); }, &code),
              "[tKvTextFileDos] File: " + missing + "; Mode: " + name +
                  "\rCode: 2 (No such file or directory)");
    EXPECT_EQ(code, ENOENT);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.Path("no")));
  for (int mode : {4, -1, 256}) {
    EXPECT_EQ(MessageOf<EKvParam>([&] { tKvTextFileDos file(dir.Path("f"), mode); }),
              "[tKvTextFileDos] Create: invalid Mode parameter: " + std::to_string(mode));
  }
  EXPECT_FALSE(dir.Exists("f"));

  // Mode 1 creates or appends, 2 empties, 3 deletes only a file it created
  // and never wrote to (any write counts; closing early does not keep it).
  // Actions: L WriteLine("x"), T WriteText(""), C Close, - none.
  // clang-format off
  const struct {
    const char* Before;  // nullptr: no file
    int Mode;
    char Action;
    const char* After;   // nullptr: no file
  } cases[] = {{nullptr, 1, 'L', "x\r\n"}, {"a\r\n", 1, 'L', "a\r\nx\r\n"}, {nullptr, 1, '-', ""},
               {"a\r\n", 2, '-', ""}, {nullptr, 3, '-', nullptr}, {nullptr, 3, 'T', ""},
               {"a\r\n", 3, '-', "a\r\n"}, {"a\r\n", 3, 'L', "a\r\nx\r\n"}, {nullptr, 3, 'C', nullptr}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Mode) + (c.Before ? " existing " : " new ") + c.Action);
    std::filesystem::remove(dir.Path("t.txt"));
    if (c.Before) dir.Write("t.txt", c.Before);
    {
      tKvTextFileDos file(dir.Path("t.txt"), c.Mode);
      EXPECT_EQ(c.Action == 'L'   ? file.WriteLine("x")
                : c.Action == 'T' ? file.WriteText("")
                : c.Action == 'C' ? file.Close()
                                  : 0,
                0);
    }
    EXPECT_EQ(dir.Exists("t.txt") ? dir.Read("t.txt") : "<none>", c.After ? c.After : "<none>");
  }
}

// Lines of every length around both buffers' sizes (64 KiB writing, 256 KiB
// reading), written as lines (CR LF) or as text (LF), come back exactly.
TEST(KvTextFile, RoundTripAcrossBufferBoundaries) {
  TempDir dir;
  const std::string path = dir.Path("out.txt");
  tKvTextFileDos file(path, tKvTextFileDos::kModeRewrite);
  EXPECT_EQ(file.WriteText("head;"), 0);
  EXPECT_EQ(TempDir::ReadFile(path), "head;");  // WriteText goes out at once
  EXPECT_EQ(file.WriteLine("tail"), 0);
  EXPECT_EQ(file.Flush(), 0);
  EXPECT_EQ(TempDir::ReadFile(path), "head;tail\r\n");
  std::vector<size_t> lengths;
  for (size_t i = 0; i < 6000; ++i) lengths.push_back(i % 37);
  for (int round = 0; round < 3; ++round) {
    lengths.insert(lengths.end(),
                   {0, 1, 4095, 65535, 65536, 70000, 262143, 262144, 262145, 600000});
  }
  std::mt19937 random(7);
  Lines lines = {"head;tail"};
  std::string expected = "head;tail\r\n";
  for (size_t length : lengths) {
    std::string line(length, 'x');
    for (char& c : line) c = static_cast<char>('a' + random() % 26);
    const bool asText = random() % 2;
    ASSERT_EQ(asText ? file.WriteText(line + "\n") : file.WriteLine(line), 0);
    expected += line + (asText ? "\n" : "\r\n");
    lines.push_back(line);
  }
  EXPECT_EQ(file.FilePos(), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.WriteLine("x"), EBADF);  // closed
  EXPECT_EQ(TempDir::ReadFile(path), expected);
  EXPECT_EQ(ReadLines(path), lines);
}

}  // namespace
