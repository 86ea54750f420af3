// Signature definition files: sections, joined certificate pieces, and ids
// that must not lead out of the folder.
#include "insika/FiscJnlSignDef.h"

#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/TempDir.h"

namespace {

using testing_support::TempDir;

TEST(SignDefTest, ReadsVersionAndJoinsCertificatePieces) {
  TempDir dir;
  const std::string longPiece(5000, 'F');
  struct Case {
    const char* Content;
    bool Found;
    bool HasStatus;
    std::string Version;
    std::string Certificate;
  } cases[] = {
      {"[STATUS]\nVersion=T.1\n", false, true, "T.1", ""},
      {"[certificate]\n1=ab\n2= cd \n4=ef\n[Status]\n", true, true, "", "abcd"},
      {"[CERTIFICATE]\n1=ab\n", true, false, "", "ab"},
      {"[STATUS]\nVersion=123456789012345678901234\n[CERTIFICATE]\n2=x\n", false, true,
       "12345678901234567890", ""},
      {"[CERTIFICATE]\n1=", false, false, "", ""},
  };
  for (const Case& c : cases) {
    dir.Write("DE1-2.kvd", c.Content);
    tSignDefRec rec;
    rec.TimVersion = "stale";
    EXPECT_EQ(ReadSignDef(dir.Path(), "DE1", 2, rec), c.Found) << c.Content;
    EXPECT_EQ(rec.HasStatus, c.HasStatus) << c.Content;
    EXPECT_EQ(rec.TimVersion, c.Version) << c.Content;
    EXPECT_EQ(rec.Certificate, c.Certificate) << c.Content;
  }
  // Never cut, and read from the program folder when the folder is blank.
  dir.Write("DE1-3.kvd", "[CERTIFICATE]\n1=" + longPiece + "\n2=" + longPiece + "\n");
  platform::SetExecutablePathForTest(dir.Path("jorvex"));
  tSignDefRec rec;
  EXPECT_TRUE(ReadSignDef(" ", "DE1", 3, rec));
  platform::SetExecutablePathForTest("");
  EXPECT_EQ(rec.Certificate, longPiece + longPiece);
  EXPECT_FALSE(ReadSignDef(dir.Path(), "DE1", 4, rec));
  // Ids that could name a file outside the folder are never looked up.
  std::filesystem::create_directory(dir.Path("kvd"));
  for (const char* name : {"out-1.kvd", "kvd/..-1.kvd", "kvd/.-1.kvd", "kvd/a\x01-1.kvd"}) {
    dir.Write(name, "[CERTIFICATE]\n1=ab\n");
  }
  for (const char* id : {"../out", "..\\out", "..", ".", "a\x01", "x/../../out"}) {
    EXPECT_FALSE(ReadSignDef(dir.Path("kvd"), id, 1, rec)) << id;
  }
}

}  // namespace
