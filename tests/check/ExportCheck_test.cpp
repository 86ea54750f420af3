#include "check/ExportCheck.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <set>

#include "check/CheckReport.h"
#include "platform/TempDir.h"

namespace check {
namespace {

using testing_support::TempDir;
using Files = std::vector<std::pair<std::string, std::string>>;

const std::string kDtdName = "gdpdu-01-09-2004.dtd";
const std::string kDtdPath = std::string(JORVEX_SOURCE_DIR) + "/data/" + kDtdName;

// A small export: Head (key K) and Detail (key N, K_LINK referencing Head).
// In the index, the first "@" of each marker is replaced by the case's text.
const std::string kIndex =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE DataSet SYSTEM \"gdpdu-01-09-2004.dtd\">\n"
    "<DataSet>@E<Version>1</Version><Media><Name>M</Name>\n"
    "<Table><URL>h.csv</URL><Name>Head</Name><VariableLength><VariablePrimaryKey><Name>K</"
    "Name><Numeric/>"
    "</VariablePrimaryKey><VariableColumn><Name>T</Name><AlphaNumeric/></VariableColumn></"
    "VariableLength></Table>\n"
    "<Table><URL>d.csv</URL><Name>Detail</Name>@T<VariableLength>@V<VariablePrimaryKey><Name>N</"
    "Name><Numeric/>"
    "</VariablePrimaryKey><VariableColumn><Name>K_LINK</Name>@L</VariableColumn>@C\n"
    "<ForeignKey><Name>K_LINK</Name>@F<References>@R</References>@A</ForeignKey></VariableLength></"
    "Table>\n"
    "@X</Media>@M</DataSet>\n";

struct tCase {
  const char* Name;
  Files Edits;                  // marker ("@T") -> text; "file" -> contents; "-file" removes it
  std::set<std::string> Codes;  // codes below C400 expected
};

Files MakeExport(const Files& edits) {
  std::string index = kIndex;
  Files files = {{"h.csv", "1;\"a\"\r\n"},
                 {"d.csv", "7;1\r\n"},
                 {kDtdName, testing_support::TempDir::ReadFile(kDtdPath)}};
  std::map<std::string, std::string> markers = {{"@L", "<Numeric/>"}, {"@R", "Head"}};
  for (const auto& [key, text] : edits) {
    if (key.starts_with("@")) {
      markers[key] = text;
    } else if (key.starts_with("-")) {
      const std::string removed = key.substr(1);
      std::erase_if(files, [&removed](const auto& file) { return file.first == removed; });
    } else {
      files.emplace_back(key, text);
    }
  }
  for (const char* marker : {"@E", "@T", "@V", "@L", "@C", "@F", "@R", "@A", "@X", "@M"}) {
    index.replace(index.find(marker), 2, markers[marker]);
  }
  if (markers.count("@index")) index = markers["@index"];
  if (!markers.count("@noindex"))
    files.emplace_back(markers.count("@indexname") ? markers["@indexname"] : "index.xml", index);
  return files;
}

std::set<std::string> DescriptionCodes(const tCheckResult& result) {
  std::set<std::string> codes;
  for (const auto& [key, count] : result.Findings.Counts()) {
    if (key.second < tCode::kNotNumeric) codes.insert(std::string(InfoOf(key.second).Id));
  }
  return codes;
}

tCheckOptions Options() {
  tCheckOptions options;
  options.KnownDtdFile = kDtdPath;
  return options;
}

const std::string kFixed =
    "<Table><URL>f.txt</URL><Name>F</Name><FixedLength><Length>8</Length>"
    "<FixedColumn><Name>A</Name><AlphaNumeric/><FixedRange><From>1</From><To>4</To></FixedRange></"
    "FixedColumn>"
    "<FixedColumn><Name>B</Name><AlphaNumeric/><FixedRange><From>4</From><Length>2</Length></"
    "FixedRange></FixedColumn>"
    "<FixedColumn><Name>C</Name><AlphaNumeric/><FixedRange><From>8</From><To>9</To></FixedRange></"
    "FixedColumn>"
    "</FixedLength></Table>";

const std::vector<tCase> kCases = {
    {"clean", {}, {}},
    {"not well-formed", {{"@C", "<Oops>"}}, {"C201"}},
    {"invalid", {{"@T", "<URL>x</URL>"}}, {"C202"}},
    {"DTD missing", {{"-" + kDtdName, ""}}, {"C203"}},
    {"DTD altered", {{"-" + kDtdName, ""}, {kDtdName, "<!ELEMENT DataSet ANY>"}}, {"C204", "C202"}},
    {"DTD not a DTD", {{"-" + kDtdName, ""}, {kDtdName, "<!ELEMENT"}}, {"C204", "C208"}},
    {"DTD outside",
     {{"@index", "<?xml version=\"1.0\"?><!DOCTYPE DataSet SYSTEM \"../g.dtd\"><DataSet/>"}},
     {"C205", "C108"}},
    {"entities",
     {{"@index",
       "<?xml version=\"1.0\"?><!DOCTYPE DataSet SYSTEM \"gdpdu-01-09-2004.dtd\" [<!ENTITY a "
       "\"b\">]>"
       "<DataSet><Version>&a;</Version><Media><Name>M</Name><AcceptNoTables/></Media></DataSet>"},
      {"-h.csv", ""},
      {"-d.csv", ""}},
     {"C206", "C314"}},
    {"no doctype",
     {{"@index", "<DataSet><Version>1</Version><Media><Name>M</Name></Media></DataSet>"},
      {"-h.csv", ""},
      {"-d.csv", ""},
      {"-" + kDtdName, ""}},
     {"C207", "C313"}},
    {"fk column", {{"@F", "<Name>Q</Name>"}}, {"C301", "C305"}},
    {"fk table", {{"@R", "Nope"}}, {"C302"}},
    {"fk no key",
     {{"@X",
       "<Table><URL>x.csv</URL><Name>X</Name><VariableLength><VariableColumn><Name>A</Name>"
       "<Numeric/></VariableColumn></VariableLength></Table>"},
      {"@R", "X"},
      {"x.csv", ""}},
     {"C304"}},
    {"alias twice",
     {{"@A",
       "<Alias><From>K_LINK</From><To>K</To></Alias><Alias><From>K_LINK</From><To>K</To></Alias>"}},
     {"C309"}},
    {"alias partial",
     {{"@C", "<VariableColumn><Name>Q</Name><Numeric/></VariableColumn>"},
      {"@F", "<Name>Q</Name>"},
      {"@A", "<Alias><From>K_LINK</From><To>K</To></Alias>"}},
     {"C305", "C310"}},
    {"fk arity",
     {{"@C", "<VariableColumn><Name>Q</Name><Numeric/></VariableColumn>"},
      {"@F", "<Name>Q</Name>"}},
     {"C305"}},
    {"fk type", {{"@L", "<AlphaNumeric/>"}}, {"C306"}},
    {"alias", {{"@A", "<Alias><From>X</From><To>K</To></Alias>"}}, {"C307"}},
    {"alias to", {{"@A", "<Alias><From>K_LINK</From><To>T</To></Alias>"}}, {"C308"}},
    {"no key",
     {{"@X",
       "<Table><URL>x.csv</URL><Name>Head</Name><VariableLength><VariableColumn><Name>A</Name>"
       "<Numeric/></VariableColumn></VariableLength></Table>"},
      {"x.csv", ""}},
     {"C303", "C324"}},
    {"maps",
     {{"@C",
       "<VariableColumn><Name>Z</Name><Numeric/><Map><From>1</From><To>a</To></Map></"
       "VariableColumn>"
       "<VariableColumn><Name>Y</Name><AlphaNumeric/><Map><From>HHMM</From><To>HH:MM</To></Map></"
       "VariableColumn>"}},
     {"C311", "C312"}},
    {"fixed", {{"@X", kFixed}, {"f.txt", "abcdefgh"}}, {"C316", "C317", "C318"}},
    {"fixed range",
     {{"@X", kFixed.substr(0, kFixed.find("<To>4")) +
                 "<To>0</To></FixedRange></FixedColumn></FixedLength></Table>"},
      {"f.txt", ""}},
     {"C315"}},
    {"scalars and symbols",
     {{"@T",
       "<DecimalSymbol>.</DecimalSymbol><DigitGroupingSymbol>.</"
       "DigitGroupingSymbol><SkipNumBytes>x</SkipNumBytes>"
       "<Range><From>0</From></Range>"},
      {"@V", "<ColumnDelimiter>\"</ColumnDelimiter>"}},
     {"C319", "C320", "C321", "C323"}},
    {"dates and names",
     {{"@L", "<Numeric/><Description>" + std::string(256, 'd') + "</Description>"},
      {"@C",
       "<VariableColumn><Name>N</Name><Date><Format>DD.MM</Format></Date></VariableColumn>"
       "<VariableColumn><Name>a&amp;b</Name><AlphaNumeric/></VariableColumn>"}},
     {"C202", "C322", "C326", "C327", "C328"}},
    {"commands and extensions",
     {{"@E", "<Extension><Name>e</Name><URL>e.xml</URL></Extension>"},
      {"@M", "<Command>rm</Command>"}},
     {"C329", "C330", "C331"}},
    // the package
    {"no index", {{"@noindex", ""}}, {"C101"}},
    {"index below", {{"@indexname", "sub/index.xml"}}, {"C102"}},
    {"missing file", {{"-d.csv", ""}}, {"C103"}},
    {"absolute URL",
     {{"@X",
       "<Table><URL>/etc/x</URL><VariableLength><VariableColumn><Name>A</Name><Numeric/></"
       "VariableColumn></VariableLength></Table>"}},
     {"C104"}},
    {"URL outside",
     {{"@X",
       "<Table><URL>a/../../x</URL><VariableLength><VariableColumn><Name>A</Name><Numeric/></"
       "VariableColumn></VariableLength></Table>"}},
     {"C105"}},
    {"URL by case", {{"-d.csv", ""}, {"D.csv", "7;1\r\n"}}, {"C106"}},
    {"entry twice", {{"h.csv", "2;\"b\"\r\n"}}, {"C107"}},
    {"URLs by case",
     {{"@X",
       "<Table><URL>H.csv</URL><Name>H2</Name><VariableLength><VariableColumn><Name>A</"
       "Name><Numeric/></VariableColumn></VariableLength></Table>"}},
     {"C106", "C107"}},
    {"undeclared", {{"extra.csv", "x"}}, {"C108"}},
    {"dotted URL",
     {{"@X",
       "<Table><URL>./sub//x.csv</URL><Name>X</Name><VariableLength><VariableColumn><Name>A</"
       "Name><Numeric/></VariableColumn></VariableLength></Table>"},
      {"sub/x.csv", "1\r\n"}},
     {}},
};

TEST(ExportCheck, EachCaseGivesItsCodes) {
  for (const tCase& c : kCases) {
    auto source = tExportSource::OpenMemory(MakeExport(c.Edits));
    const tCheckResult result = CheckSource(*source, Options());
    const std::set<std::string> codes = DescriptionCodes(result);
    EXPECT_EQ(codes, c.Codes) << c.Name << "\n" << TextReport(c.Name, result, false);
    const bool unreadable = codes.count("C101") + codes.count("C102") + codes.count("C201") > 0;
    EXPECT_EQ(result.Verdict == tVerdict::kUnreadable, unreadable) << c.Name;
  }
}

}  // namespace
}  // namespace check

namespace check {
namespace {

// The same export as a folder, through its index.xml, and as a ZIP file
// (whatever its name) gives the same report.
TEST(ExportCheck, FolderIndexAndZipAgree) {
  TempDir dir;
  const Files files = MakeExport({{"extra.csv", "x"}, {"@F", "<Name>Q</Name>"}});
  std::filesystem::create_directory(dir.Path("e"));
  int error = 0;
  zip_t* archive = zip_open(dir.Path("e.bin").c_str(), ZIP_CREATE, &error);
  for (const auto& [name, data] : files) {
    dir.Write("e/" + name, data);
    zip_file_add(archive, name.c_str(), zip_source_buffer(archive, data.data(), data.size(), 0), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);

  const std::string folder = TextReport("x", CheckExport(dir.Path("e"), Options()), false);
  EXPECT_NE(folder.find("C108"), std::string::npos) << folder;
  EXPECT_EQ(TextReport("x", CheckExport(dir.Path("e/index.xml"), Options()), false), folder);
  EXPECT_EQ(TextReport("x", CheckExport(dir.Path("e.bin"), Options()), false), folder);

  for (const char* path : {"none", "e/h.csv"}) {
    const tCheckResult result = CheckExport(dir.Path(path), Options());
    EXPECT_EQ(result.Verdict, tVerdict::kUnreadable) << path;
    EXPECT_FALSE(result.Reason.empty());
  }
}

}  // namespace
}  // namespace check
