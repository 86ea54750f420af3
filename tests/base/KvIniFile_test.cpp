#include "base/KvIniFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "base/KvErrors.h"
#include "base/RaiseTestHelp.h"
#include "platform/TempDir.h"

namespace {

using raise_test::MessageOf;
using testing_support::TempDir;

// A byte-order mark, CR LF and bare LF line ends.
const char kSample[] =
    "\xEF\xBB\xBF; Jorvex settings\r\n"
    "[General]\r\n"
    "DTD = /opt/jorvex/gdpdu.dtd  \r\n"
    "SuppName=\"Quoted Name\"\n"
    "SuppLocation='single'\r\n"
    "SuppComment=a=b ;not a comment\r\n"
    "Half=\"open\r\n"
    "Empty=\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "  ;Indented=comment\r\n"
    "NoEquals\r\n"
    "Cont=one\\\r\n"
    "two=2\n"
    "\r\n"
    "[ kvd ]\r\n"
    "Path=/sig/\r\n"
    "[GENERAL]\r\n"
    "Extra=in the second section of that name\r\n";

TEST(KvIniFile, ReadsLikeTheProfileFunctions) {
  TempDir dir;
  dir.Write("Jorvex.ini", kSample);
  tKvIniFile ini(dir.Path("Jorvex.ini"));
  // "Extra": only the first [General] is searched.
  // clang-format off
  const struct {
    const char* Section;
    const char* Key;
    const char* Expected;
  } cases[] = {
      {"GENERAL", "dtd", "/opt/jorvex/gdpdu.dtd"}, {"general", "SUPPNAME", "Quoted Name"},
      {"General", "SuppLocation", "single"}, {"General", "SuppComment", "a=b ;not a comment"},
      {"General", "Half", "\"open"}, {"General", "Empty", ""},
      {"General", "Dup", "first"}, {"General", ";Indented", "<default>"},
      {"General", "NoEquals", "<default>"}, {"General", "Cont", "one\\"},
      {"General", "two", "2"}, {"KVD", "Path", "/sig/"},
      {"General", "Path", "<default>"}, {"General", "Extra", "<default>"},
      {"Missing", "DTD", "<default>"}, {"", "DTD", "<default>"}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ReadString(c.Section, c.Key, "<default>"), c.Expected)
        << c.Section << "/" << c.Key;
  }
  EXPECT_TRUE(ini.SectionExists("kvd"));
  EXPECT_FALSE(ini.SectionExists("none"));
  EXPECT_TRUE(ini.ValueExists("GENERAL", "empty"));
  EXPECT_FALSE(ini.ValueExists("GENERAL", "NoEquals"));
}

TEST(KvIniFile, WritingKeepsEverythingElse) {
  TempDir dir;
  tKvIniFile created(dir.Path("new.ini"));
  created.WriteString("KVD", "Path", "/opt/jorvex/");
  EXPECT_EQ(dir.Read("new.ini"), "[KVD]\r\nPath=/opt/jorvex/\r\n");

  dir.Write("a.ini", "; head\r\n[General]\r\ndtd = old\r\n; note\r\nName=x\r\n\r\n[Other]\r\nk=v");
  tKvIniFile ini(dir.Path("a.ini"));
  ini.WriteString("GENERAL", "DTD", "new");        // existing key, other spelling
  ini.WriteString("general", "SuppName", "Shop");  // new key in an existing section
  ini.WriteString("KVD", "Path", "/p/");           // new section
  EXPECT_EQ(dir.Read("a.ini"),
            "; head\r\n[General]\r\nDTD=new\r\n; note\r\nName=x\r\nSuppName=Shop\r\n\r\n"
            "[Other]\r\nk=v\r\n\r\n[KVD]\r\nPath=/p/\r\n");
  EXPECT_EQ(ini.ReadString("general", "suppname", ""), "Shop");
  EXPECT_EQ(tKvIniFile(dir.Path("a.ini")).ReadString("General", "dtd", ""), "new");
}

TEST(KvIniFile, MissingUnreadableAndUnsavable) {
  TempDir dir;
  tKvIniFile missing(dir.Path("none.ini"));
  EXPECT_EQ(missing.ReadString("KVD", "Path", "/prog/"), "/prog/");
  EXPECT_FALSE(dir.Exists("none.ini"));  // reading creates nothing
  int code = 0;
  MessageOf<EKvIo>([&] { tKvIniFile folder(dir.Path()); }, &code);
  EXPECT_EQ(code, EISDIR);
  tKvIniFile ini(dir.Path("a.ini"));
  const std::tuple<const char*, const char*, const char*> bad[] = {
      {"A]", "k", "v"}, {"A\n", "k", "v"}, {"A", "", "v"},   {"A", " ", "v"},
      {"A", "k=", "v"}, {"A", ";k", "v"},  {"A", "[k", "v"}, {"A", "k", "line\r\nbreak"}};
  for (const auto& [section, key, value] : bad) {
    EXPECT_THROW(ini.WriteString(section, key, value), EKvParam) << section << "/" << key;
  }
  EXPECT_FALSE(dir.Exists("a.ini"));
  tKvIniFile unsaved(dir.Path("missing/a.ini"));
  EXPECT_THAT(MessageOf<EKvIo>([&] { unsaved.WriteString("KVD", "Path", "/p/"); }),
              ::testing::HasSubstr(dir.Path("missing/a.ini")));
}

}  // namespace
