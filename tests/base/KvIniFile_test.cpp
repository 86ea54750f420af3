#include "base/KvIniFile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/KvErrors.h"
#include "platform/TempDir.h"

namespace {

using testing_support::TempDir;

const char kSample[] =
    "; Jorvex settings\r\n"
    "[General]\r\n"
    "DTD = /opt/jorvex/gdpdu.dtd  \r\n"
    "SuppName=\"Quoted Name\"\r\n"
    "SuppLocation='single'\r\n"
    "SuppComment=a=b ;not a comment\r\n"
    "Half=\"open\r\n"
    "Empty=\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "  ;Indented=comment\r\n"
    "NoEquals\r\n"
    "Cont=one\\\r\n"
    "two=2\r\n"
    "\r\n"
    "[ kvd ]\r\n"
    "Path=/sig/\r\n"
    "[GENERAL]\r\n"
    "Extra=in the second section of that name\r\n";

TEST(KvIniFile, ReadsLikeTheProfileFunctions) {
  TempDir dir;
  dir.Write("Jorvex.ini", kSample);
  tKvIniFile ini(dir.Path("Jorvex.ini"));
  const struct {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"GENERAL", "dtd", "/opt/jorvex/gdpdu.dtd"},
      {"general", "SUPPNAME", "Quoted Name"},
      {"General", "SuppLocation", "single"},
      {"General", "SuppComment", "a=b ;not a comment"},
      {"General", "Half", "\"open"},
      {"General", "Empty", ""},
      {"General", "Dup", "first"},
      {"General", ";Indented", "<default>"},
      {"General", "NoEquals", "<default>"},
      {"General", "Cont", "one\\"},
      {"General", "two", "2"},
      {"KVD", "Path", "/sig/"},
      {"General", "Path", "<default>"},
      {"General", "Extra", "<default>"},  // only the first [General] is searched
      {"Missing", "DTD", "<default>"},
      {"", "DTD", "<default>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_TRUE(ini.SectionExists("kvd"));
  EXPECT_FALSE(ini.SectionExists("none"));
  EXPECT_TRUE(ini.ValueExists("GENERAL", "empty"));
  EXPECT_FALSE(ini.ValueExists("GENERAL", "NoEquals"));
}

TEST(KvIniFile, MissingFileReadsAsEmptyAndUnreadableFileFails) {
  TempDir dir;
  tKvIniFile missing(dir.Path("none.ini"));
  EXPECT_EQ(missing.ReadString("KVD", "Path", "/prog/"), "/prog/");
  EXPECT_FALSE(missing.SectionExists("KVD"));
  EXPECT_FALSE(dir.Exists("none.ini"));  // reading creates nothing

  try {
    tKvIniFile folder(dir.Path());
    FAIL() << "read a folder";
  } catch (const EKvIo& e) {
    EXPECT_EQ(e.Code(), EISDIR);
  }
}

TEST(KvIniFile, ByteOrderMarkAndLineEnds) {
  TempDir dir;
  dir.Write("a.ini", "\xEF\xBB\xBF[KVD]\nPath=/x/\n");
  EXPECT_EQ(tKvIniFile(dir.Path("a.ini")).ReadString("KVD", "Path", ""), "/x/");
}

TEST(KvIniFile, WritingCreatesTheFile) {
  TempDir dir;
  tKvIniFile ini(dir.Path("Jorvex.ini"));
  ini.WriteString("KVD", "Path", "/opt/jorvex/");
  EXPECT_EQ(dir.Read("Jorvex.ini"), "[KVD]\r\nPath=/opt/jorvex/\r\n");
  EXPECT_EQ(ini.ReadString("kvd", "path", ""), "/opt/jorvex/");
  EXPECT_EQ(tKvIniFile(dir.Path("Jorvex.ini")).ReadString("KVD", "Path", ""), "/opt/jorvex/");
}

TEST(KvIniFile, WritingKeepsEverythingElse) {
  TempDir dir;
  dir.Write("a.ini",
            "; head\r\n"
            "[General]\r\n"
            "dtd = old\r\n"
            "; note\r\n"
            "Name=x\r\n"
            "\r\n"
            "[Other]\r\n"
            "k=v");
  tKvIniFile ini(dir.Path("a.ini"));
  ini.WriteString("GENERAL", "DTD", "new");        // existing key, other spelling
  ini.WriteString("general", "SuppName", "Shop");  // new key in an existing section
  ini.WriteString("KVD", "Path", "/p/");           // new section
  EXPECT_EQ(dir.Read("a.ini"),
            "; head\r\n"
            "[General]\r\n"
            "DTD=new\r\n"
            "; note\r\n"
            "Name=x\r\n"
            "SuppName=Shop\r\n"
            "\r\n"
            "[Other]\r\n"
            "k=v\r\n"
            "\r\n"
            "[KVD]\r\n"
            "Path=/p/\r\n");
  tKvIniFile again(dir.Path("a.ini"));
  EXPECT_EQ(again.ReadString("General", "dtd", ""), "new");
  EXPECT_EQ(again.ReadString("General", "suppname", ""), "Shop");
  EXPECT_EQ(again.ReadString("Other", "k", ""), "v");
}

TEST(KvIniFile, RefusesWhatCouldNotBeReadBack) {
  TempDir dir;
  tKvIniFile ini(dir.Path("a.ini"));
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } bad[] = {
      {"A]", "k", "v"}, {"A\n", "k", "v"}, {"A", "", "v"},   {"A", " ", "v"},
      {"A", "k=", "v"}, {"A", ";k", "v"},  {"A", "[k", "v"}, {"A", "k", "line\r\nbreak"},
  };
  for (const auto& b : bad) {
    EXPECT_THROW(ini.WriteString(b.section, b.key, b.value), EKvParam) << b.section << "/" << b.key;
  }
  EXPECT_FALSE(dir.Exists("a.ini"));
}

TEST(KvIniFile, SaveFailureNamesTheFile) {
  TempDir dir;
  tKvIniFile ini(dir.Path("missing/a.ini"));
  try {
    ini.WriteString("KVD", "Path", "/p/");
    FAIL() << "saved";
  } catch (const EKvIo& e) {
    EXPECT_NE(std::string(e.what()).find(dir.Path("missing/a.ini")), std::string::npos) << e.what();
  }
}

}  // namespace
