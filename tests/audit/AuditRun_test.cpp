// /AUDIT in a whole run: the three reports beside the log, the export and
// the view unchanged by it; and the rule table as the README and the
// manual page print it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/JorvexMain.h"
#include "app/LogTestHelp.h"
#include "audit/AuditRules.h"

namespace {

namespace fs = std::filesystem;
using tFiles = std::map<std::string, std::string>;
using testing_support::TempDir;

const std::string kSource = JORVEX_SOURCE_DIR;

std::string ReadSource(const char* file) {
  std::ifstream in(kSource + "/" + file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class AuditRunTest : public log_test::RunFixture {
 protected:
  AuditRunTest() {
    program_.Write("Jorvex.ini",
                   "[GENERAL]\nDTD=" + kSource + "/data/gdpdu-01-09-2004.dtd\nSuppName=Test\n");
  }

  // Every file the run wrote, by its path below the destination.
  tFiles Run(const std::string& name, std::vector<std::string> options) {
    const std::string dest = dir_.Path(name);
    std::vector<std::string> args = {kSource + "/examples/sample-native.txt", dest, "/Q", "/V"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(JorvexMain(args), kExitOk);
    tFiles files;
    for (const auto& entry : fs::recursive_directory_iterator(dest)) {
      if (entry.is_regular_file()) {
        files[fs::relative(entry.path(), dest).string()] = TempDir::ReadFile(entry.path().string());
      }
    }
    return files;
  }
};

TEST_F(AuditRunTest, ReportsBesideTheLogAndNothingElseChanges) {
  tFiles plain = Run("plain", {});
  tFiles audited = Run("audited", {"/AUDIT"});
  for (const char* report : {"AuditReport.txt", "AuditReport.json", "AuditReport.html"}) {
    ASSERT_EQ(audited.count(report), 1u) << report;
    EXPECT_FALSE(audited[report].empty()) << report;
    audited.erase(report);
  }
  EXPECT_NE(audited["ExportInfo.txt"].find("Audit: 0 error(s), 0 warning(s) in 3 period(s)"),
            std::string::npos);
  plain.erase("ExportInfo.txt");
  audited.erase("ExportInfo.txt");
  EXPECT_EQ(audited, plain);  // the export and the view, byte for byte
}

// The README and the manual page print the rule table; they follow it.
TEST(AuditRuleTable, PrintedAsDefined) {
  const std::string readme = ReadSource("README.md"), manual = ReadSource("packaging/jorvex.1");
  const auto roff = [](std::string_view text) {
    std::string out;  // the manual page writes a hyphen as "\-"
    for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
  };
  for (const audit::tRuleInfo& r : audit::AllRules()) {
    const std::string id(r.Id), severity(audit::SeverityName(r.Severity));
    EXPECT_NE(readme.find("| " + id + " | " + severity + " | " + std::string(r.Compares) + " | " +
                          std::string(r.From) + " |"),
              std::string::npos)
        << id;
    EXPECT_NE(manual.find(".B " + id + "\n" + severity + ": " + roff(r.Compares) +
                          "\n.br\nfrom: " + roff(r.From) + "\n"),
              std::string::npos)
        << id;
  }
  for (std::string_view decision : audit::RuleDecisions()) {
    EXPECT_NE(readme.find("- " + std::string(decision)), std::string::npos) << decision;
    EXPECT_NE(manual.find(roff(decision)), std::string::npos) << decision;
  }
}

}  // namespace
