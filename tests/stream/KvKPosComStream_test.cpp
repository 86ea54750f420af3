#include "stream/KvKPosComStream.h"

#include <gtest/gtest.h>

#include <string>

#include "FiscalStreamTestHelp.h"
#include "base/KvErrorCodes.h"
#include "base/RaiseTestHelp.h"

using namespace fisc_test;
using raise_test::MessageOf;

namespace {

TEST(SignatureRec, AssignBinaryLimitsAndEquality) {
  tKvKPosSignatureRec a;
  a.AssignBinary(std::string(1024, 'x'));
  EXPECT_EQ(a.View(), std::string(1024, 'x'));
  // Too long: raises and leaves the record as it was; empty bytes too.
  EXPECT_EQ(MessageOf<EKvParam>([&] { a.AssignBinary(std::string(1025, 'y')); }),
            "tKvKPosSignatureRec.AssignBinary: signature too long: 1025");
  a.AssignBinary("");
  EXPECT_EQ(a.View(), std::string(1024, 'x'));
  a.Init();
  EXPECT_EQ(a.Length + a.Data[0] + a.Data[1023], 0);

  tKvKPosSignatureRec b;
  b.AssignBinary("abc");
  tKvKPosSignatureRec c = b;
  c.Data[5] = 7;  // beyond Length: not compared
  EXPECT_TRUE(b.Equals(c));
  c.Data[1] = 'X';
  EXPECT_FALSE(b.Equals(c));
  c = b;
  c.Length = 2;
  EXPECT_FALSE(b.Equals(c));
  // A stray Length never reaches past the data.
  c.Length = 5000;
  EXPECT_EQ(c.View().size(), 1024u);
  c.Length = -3;
  EXPECT_TRUE(c.View().empty());
}

TEST(StreamFileMem, ReadWritePositions) {
  tKvKPosStreamFileMem f;
  EXPECT_TRUE(f.IsEnd());
  EXPECT_EQ(f.WriteBuffer("abcdef", 6), 0);
  EXPECT_EQ(f.GetSize(), 6);
  EXPECT_TRUE(f.IsEnd());
  EXPECT_EQ(f.SetPosition(2), 2);
  EXPECT_FALSE(f.IsEnd());
  char buf[8] = {};
  int32_t done = -1;
  EXPECT_EQ(f.ReadBuffer(buf, 8, done), 0);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(done)), "cdef");
  // Beyond the end: reads deliver nothing, a write fills the gap with zeros.
  f.SetPosition(8);
  EXPECT_EQ(f.ReadBuffer(buf, 1, done), 0);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(f.WriteBuffer("Z", 1), 0);
  EXPECT_EQ(f.Data(), std::string("abcdef\0\0Z", 9));
  EXPECT_EQ(f.WriteBuffer("Z", -1), kErrFileWrite);
  EXPECT_THROW(f.SetPosition(-1), EKvParam);
  f.Clear();
  EXPECT_EQ(f.GetSize() + f.GetPosition(), 0);
  EXPECT_EQ(MessageOf<EKvMisc>([&] { f.GetHandle(); }),
            "[tKvKPosStreamFileMem] Function not supported!");
}

}  // namespace
