#include "check/CheckReport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace check {
namespace {

tCheckResult Sample() {
  tCheckResult result{tVerdict::kErrors, {}, tFindings(1)};
  result.Findings.SetLinesRead("a.csv", 3);
  result.Findings.Add({tCode::kDateNotReal, "a.csv", 2, 4, "DAY", "31.02.2024", "no such day"});
  result.Findings.Add({tCode::kDateNotReal, "a.csv", 3, 4, "DAY", "30.02.2024", "no such day"});
  result.Findings.Add({tCode::kFileUndeclared, "b \"q\"\x01\xFF.csv", 0, 0, {}, {}, "undeclared"});
  return result;
}

TEST(CheckReport, TextGivesCountsPlacesAndVerdict) {
  const std::string text = TextReport("exp", Sample(), false);
  EXPECT_NE(text.find("a.csv: 3 lines read\n  C403 error x2: "), std::string::npos) << text;
  EXPECT_NE(text.find("  a.csv:2:4 C403 [DAY] \"31.02.2024\": no such day\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("30.02.2024"), std::string::npos) << "one example per code and file";
  EXPECT_EQ(TextReport("exp", Sample(), true), "export check: 3 errors, 0 warnings\n");
}

TEST(CheckReport, JsonIsEscapedValidUtf8) {
  const std::string json = JsonReport("exp", Sample());
  EXPECT_NE(json.find("\"schema_version\": 1,"), std::string::npos);
  EXPECT_NE(json.find("{\"file\": \"a.csv\", \"lines_read\": 3, \"findings\": {\"C403\": 2}}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"b \\\"q\\\"\\u0001\xEF\xBF\xBD.csv\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"id\": \"C108\", \"severity\": \"error\", \"meaning\": "),
            std::string::npos);
  tCheckResult unreadable{tVerdict::kUnreadable, "no index", tFindings(1)};
  EXPECT_NE(JsonReport("exp", unreadable)
                .find("\"verdict\": \"unreadable\",\n  \"reason\": \"no index\""),
            std::string::npos);
}

}  // namespace
}  // namespace check

// The README and the manual page print the code table; they follow it.
TEST(FindingCodeTable, PrintedAsDefined) {
  const auto read = [](const char* file) {
    std::ifstream in(std::string(JORVEX_SOURCE_DIR) + "/" + file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string readme = read("README.md"), manual = read("packaging/jorvex-check.1");
  for (const check::tCodeInfo& info : check::AllCodes()) {
    const std::string severity(check::SeverityName(info.Severity));
    const std::string id(info.Id), meaning(info.Meaning);
    std::string roff;  // the manual page writes a hyphen as "\-"
    for (char c : meaning) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(readme.find("| " + id + " | " + severity + " | " + meaning + " |"), std::string::npos)
        << id;
    EXPECT_NE(manual.find(".B " + id + "\n" + severity + ": " + roff), std::string::npos) << id;
  }
}
