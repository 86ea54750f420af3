#include "stream/KvFiscalStreamSourceBinary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"

using namespace fisc_test;

namespace {

// Reads count bytes at position from a window, through Read or through
// the primitive that takes a memory file's bytes in place; returns the bytes
// read or the exception message.
std::string ReadAt(tKvKPosStreamFileMem& file, int64_t start, int64_t length, int64_t position,
                   int32_t count, bool primitive) {
  file.SetPosition(start);
  tKvFiscalStreamSourceBinary source(file, length);
  file.SetPosition(position);
  std::string buf(static_cast<std::size_t>(count), '?');
  try {
    if (primitive) source.ReadBytes(buf.data(), count);
    if (!primitive) source.Read(buf.data(), count, tKvKPosReadContext{});
  } catch (const EKvRoot& e) {
    return e.what();
  }
  return buf;
}

TEST(FiscalStreamSourceBinary, WindowBounds) {
  tKvKPosStreamFileMem file;
  file.WriteBuffer("0123456789", 10);
  const std::string eof = "[tKvFiscalStreamSourceBinary] EOF";
  struct Case {
    int64_t Start, Length, Position;
    int32_t Count;
    std::string Expected;
  };
  // Window 2..4 (start 2, length 3): the last byte of a read must not lie
  // even one past it. No limit (0): the end of the data bounds the read. A
  // window reaching past the data.
  const std::vector<Case> cases = {{2, 3, 2, 3, "234"}, {2, 3, 4, 1, "4"},    {2, 3, 3, 2, "34"},
                                   {2, 3, 4, 2, eof},   {2, 3, 3, 3, eof},    {2, 3, 5, 1, eof},
                                   {0, 0, 7, 3, "789"}, {0, 0, 8, 3, eof},    {0, 0, 10, 1, eof},
                                   {0, 0, 10, 0, ""},   {5, 100, 8, 2, "89"}, {5, 100, 9, 2, eof}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "start " << c.Start << " length " << c.Length
                                      << " position " << c.Position << " count " << c.Count);
    EXPECT_EQ(ReadAt(file, c.Start, c.Length, c.Position, c.Count, false), c.Expected);
    EXPECT_EQ(ReadAt(file, c.Start, c.Length, c.Position, c.Count, true), c.Expected);
  }
  tKvFiscalStreamSourceBinary source(file, 0);
  EXPECT_THROW(source.Read(nullptr, -1, tKvKPosReadContext{}), EKvParam);
}

}  // namespace
