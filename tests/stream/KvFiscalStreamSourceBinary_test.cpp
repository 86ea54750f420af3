#include "stream/KvFiscalStreamSourceBinary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FiscalStreamTestHelp.h"

using namespace fisc_test;

namespace {

// Reads count bytes at position from a window; returns the bytes read or
// the exception message.
std::string ReadAt(tKvKPosStreamFileMem& file, int64_t start, int64_t length, int64_t position,
                   int32_t count) {
  file.SetPosition(start);
  tKvFiscalStreamSourceBinary source(file, length);
  file.SetPosition(position);
  std::string buf(static_cast<std::size_t>(count), '?');
  try {
    source.Read(buf.data(), count, tKvKPosReadContext{});
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
    int64_t start, length, position;
    int32_t count;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // Window 2..4 (start 2, length 3).
      {2, 3, 2, 3, "234"},
      {2, 3, 4, 1, "4"},
      {2, 3, 3, 2, "34"},
      // The last byte of a read must not lie even one past the window.
      {2, 3, 4, 2, eof},
      {2, 3, 3, 3, eof},
      {2, 3, 5, 1, eof},
      // No limit: the end of the data bounds the read.
      {0, 0, 7, 3, "789"},
      {0, 0, 8, 3, eof},
      {0, 0, 10, 1, eof},
      // A window reaching past the data.
      {5, 100, 8, 2, "89"},
      {5, 100, 9, 2, eof},
      // Nothing to read.
      {0, 0, 10, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "start " << c.start << " length " << c.length
                                      << " position " << c.position << " count " << c.count);
    EXPECT_EQ(ReadAt(file, c.start, c.length, c.position, c.count), c.expected);
  }
}

TEST(FiscalStreamSourceBinary, StartIsTheFilePositionAtCreation) {
  tKvKPosStreamFileMem file;
  file.WriteBuffer("abcdef", 6);
  file.SetPosition(4);
  tKvFiscalStreamSourceBinary source(file, 2);
  EXPECT_EQ(source.Start(), 4);
  EXPECT_EQ(source.Length(), 2);
  EXPECT_EQ(source.ReadByte(), 'e');
  EXPECT_EQ(source.ReadByte(), 'f');
  EXPECT_THROW(source.ReadByte(), EKvMisc);
  EXPECT_THROW(source.Read(nullptr, -1, tKvKPosReadContext{}), EKvParam);
}

}  // namespace
